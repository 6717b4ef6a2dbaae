#include "host/tool/container/CompoundDirectory.h"

namespace kalamos {

uint32_t TCompoundDirectory::U32(size_t at) const {
  if (at + 4 > Size || at + 4 < at) return NoEntry;
  const auto* b = reinterpret_cast<const unsigned char*>(Data + at);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

TDirectoryTrouble TCompoundDirectory::Read(const char* data, size_t size) {
  Data = data, Size = size;
  Fat_.clear(), Entries.clear();
  if (size < 512 || std::string_view(data, 8) != std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
    return TDirectoryTrouble::NotCompound;
  const unsigned shift = unsigned(uint8_t(data[0x1E])) | unsigned(uint8_t(data[0x1F])) << 8;
  if (shift != 9 && shift != 12) return TDirectoryTrouble::SectorSize;
  Sector = size_t(1) << shift;
  // The FAT's sectors: 109 in the header, the rest in a chain of DIFAT sectors.
  std::vector<uint32_t> fatSectors;
  const uint32_t fatCount = U32(0x2C);
  for (size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(U32(0x4C + 4 * i));
  std::set<uint32_t> seen;
  for (uint32_t difat = U32(0x44); difat <= MaxSector && fatSectors.size() < fatCount;) {
    if (!seen.insert(difat).second) return TDirectoryTrouble::DifatLoop;
    const size_t at = Offset(difat);
    for (size_t i = 0; i + 1 < Sector / 4 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(U32(at + 4 * i));
    difat = U32(at + Sector - 4);
  }
  FatWhole_ = fatSectors.size() == fatCount;
  for (uint32_t fat : fatSectors) {
    const size_t at = Offset(fat);
    if (fat > MaxSector || at + Sector > size) return TDirectoryTrouble::FatPastEnd;
    for (size_t i = 0; i < Sector / 4; ++i) Fat_.push_back(U32(at + 4 * i));
  }
  seen.clear();
  for (uint32_t sector = U32(0x30); sector != EndOfChain;) {
    if (sector > MaxSector || sector >= Fat_.size() || !seen.insert(sector).second) return TDirectoryTrouble::ChainDamaged;
    if (Offset(sector) + Sector > size) return TDirectoryTrouble::DirectoryPastEnd;
    for (size_t i = 0; i < Sector / 128; ++i) Entries.push_back(Offset(sector) + i * 128);
    sector = Fat_[sector];
  }
  if (Entries.empty() || Type(0) != RootType) return TDirectoryTrouble::NoRoot;
  return TDirectoryTrouble::None;
}

WideString TCompoundDirectory::Name(uint32_t i) const {
  const size_t at = Entries[i];
  const unsigned length = unsigned(uint8_t(Data[at + 64])) | unsigned(uint8_t(Data[at + 65])) << 8;
  WideString name;
  for (unsigned k = 0; k + 2 < length && k < 64; k += 2)
    name += OLECHAR(uint8_t(Data[at + k]) | uint8_t(Data[at + k + 1]) << 8);
  return name;
}

bool TCompoundDirectory::Children(uint32_t storage, std::vector<uint32_t>& out, std::set<uint32_t>& visited) const {
  // A list, not recursion: a writer may chain thousands of siblings one under the other.
  std::vector<uint32_t> pending{U32(Entries[storage] + 76)};
  while (!pending.empty()) {
    const uint32_t node = pending.back();
    pending.pop_back();
    if (node == NoEntry) continue;
    if (node >= Entries.size() || !visited.insert(node).second) return false;
    pending.push_back(U32(Entries[node] + 68));
    pending.push_back(U32(Entries[node] + 72));
    out.push_back(node);
  }
  return true;
}

namespace {
// The one child of a storage with this name (letters compared without case) and type;
// NoEntry when there is none, or more than one.
uint32_t ChildNamed(const TCompoundDirectory& directory, uint32_t storage, std::string_view name, uint8_t type) {
  std::vector<uint32_t> children;
  std::set<uint32_t> visited;
  if (!directory.Children(storage, children, visited)) return TCompoundDirectory::NoEntry;
  auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  uint32_t found = TCompoundDirectory::NoEntry;
  for (uint32_t child : children) {
    const WideString own = directory.Name(child);
    if (directory.Type(child) != type || own.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = lower(unsigned(own[i])) == lower(uint8_t(name[i]));
    if (!same) continue;
    if (found != TCompoundDirectory::NoEntry) return TCompoundDirectory::NoEntry;
    found = child;
  }
  return found;
}
}  // namespace

bool FindContiguousStream(const char* file, size_t fileSize, std::string_view storage, std::string_view stream,
                          size_t& offset, size_t& size) {
  TCompoundDirectory directory;
  // Any other cutoff between the mini stream and sectors: libraries differ on which they obey,
  // so the library's read decides; so it does when the FAT is not whole.
  constexpr uint32_t MiniCutoff = 4096;
  if (directory.Read(file, fileSize) != TDirectoryTrouble::None || !directory.FatWhole() || directory.U32(0x38) != MiniCutoff)
    return false;
  const uint32_t folder = ChildNamed(directory, 0, storage, TCompoundDirectory::StorageType);
  const uint32_t entry =
      folder == TCompoundDirectory::NoEntry ? folder : ChildNamed(directory, folder, stream, TCompoundDirectory::StreamType);
  if (entry == TCompoundDirectory::NoEntry) return false;
  const size_t at = directory.EntryAt(entry);
  const size_t sector = directory.SectorSize();
  const uint64_t length = directory.U32(at + 120) | uint64_t(sector == 512 ? 0 : directory.U32(at + 124)) << 32;
  // A small stream lies in the mini stream, in pieces of 64 bytes.
  if (length < MiniCutoff || length >= fileSize) return false;
  const std::vector<uint32_t>& fat = directory.Fat();
  const uint32_t first = directory.U32(at + 116);
  uint32_t current = first;
  for (uint64_t i = 0; i + 1 < (length + sector - 1) / sector; ++i) {
    if (current >= fat.size() || fat[current] != current + 1) return false;
    current = fat[current];
  }
  if (current >= fat.size() || fat[current] != TCompoundDirectory::EndOfChain) return false;
  offset = directory.Offset(first);
  size = size_t(length);
  return offset < fileSize && size < fileSize - offset;
}

}  // namespace kalamos
