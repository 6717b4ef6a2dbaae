#include "host/tool/MappedStream.h"

#include <set>
#include <vector>

namespace kalamos {

namespace mapped {

constexpr uint32_t EndOfChain = 0xFFFFFFFE, NoEntry = 0xFFFFFFFF, MaxSector = 0xFFFFFFFA;

class TCompound {
public:
  TCompound(const char* data, size_t size) : Data(data), Size(size) {}

  bool Find(std::string_view storage, std::string_view stream, size_t& offset, size_t& size) {
    if (!ReadHeader() || !ReadFat() || !ReadDirectory()) return false;
    const uint32_t folder = Child(0, storage, 1);
    const uint32_t entry = folder == NoEntry ? NoEntry : Child(folder, stream, 2);
    if (entry == NoEntry) return false;
    const size_t at = Entries[entry];
    const uint64_t length = U32(at + 120) | uint64_t(Sector == 512 ? 0 : U32(at + 124)) << 32;
    // A small stream lies in the mini stream, in pieces of 64 bytes.
    if (length < MiniCutoff || length >= Size) return false;
    const uint32_t first = U32(at + 116);
    const uint64_t sectors = (length + Sector - 1) / Sector;
    uint32_t sector = first;
    for (uint64_t i = 0; i + 1 < sectors; ++i) {
      if (sector >= Fat.size() || Fat[sector] != sector + 1) return false;
      sector = Fat[sector];
    }
    if (sector >= Fat.size() || Fat[sector] != EndOfChain) return false;
    offset = (size_t(first) + 1) * Sector;
    size = size_t(length);
    return offset < Size && size < Size - offset;
  }

private:
  const char* Data;
  size_t Size;
  size_t Sector = 512;
  static constexpr uint32_t MiniCutoff = 4096;
  std::vector<uint32_t> Fat;
  std::vector<size_t> Entries;

  uint32_t U32(size_t at) const {
    if (at + 4 > Size) return NoEntry;
    const auto* b = reinterpret_cast<const unsigned char*>(Data + at);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  size_t Offset(uint32_t sector) const { return (size_t(sector) + 1) * Sector; }
  bool Inside(uint32_t sector) const { return sector <= MaxSector && Offset(sector) + Sector <= Size; }

  bool ReadHeader() {
    static const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (Size < 512 || std::string_view(Data, 8) != std::string_view(signature, 8)) return false;
    const unsigned shift = unsigned(uint8_t(Data[0x1E])) | unsigned(uint8_t(Data[0x1F])) << 8;
    if (shift != 9 && shift != 12) return false;
    Sector = size_t(1) << shift;
    // Any other cutoff between the mini stream and sectors: libraries differ on which they
    // obey, so the library's read decides.
    return U32(0x38) == MiniCutoff;
  }

  bool ReadFat() {
    const uint32_t count = U32(0x2C);
    if (count > Size / Sector) return false;
    std::vector<uint32_t> fatSectors;
    for (size_t i = 0; i < 109 && fatSectors.size() < count; ++i) fatSectors.push_back(U32(0x4C + 4 * i));
    std::set<uint32_t> seen;
    for (uint32_t difat = U32(0x44); difat != EndOfChain && fatSectors.size() < count;) {
      if (!Inside(difat) || !seen.insert(difat).second) return false;
      for (size_t i = 0; i + 1 < Sector / 4 && fatSectors.size() < count; ++i) fatSectors.push_back(U32(Offset(difat) + 4 * i));
      difat = U32(Offset(difat) + Sector - 4);
    }
    if (fatSectors.size() != count) return false;
    Fat.reserve(count * (Sector / 4));
    for (uint32_t fat : fatSectors) {
      if (!Inside(fat)) return false;
      for (size_t i = 0; i < Sector / 4; ++i) Fat.push_back(U32(Offset(fat) + 4 * i));
    }
    return true;
  }

  bool ReadDirectory() {
    std::set<uint32_t> seen;
    for (uint32_t sector = U32(0x30); sector != EndOfChain;) {
      if (!Inside(sector) || sector >= Fat.size() || !seen.insert(sector).second) return false;
      for (size_t i = 0; i < Sector / 128; ++i) Entries.push_back(Offset(sector) + 128 * i);
      sector = Fat[sector];
    }
    return !Entries.empty() && uint8_t(Data[Entries[0] + 66]) == 5;
  }

  // The child of a storage by name (letters compared without case) and type; NoEntry when
  // there is none, or more than one.
  uint32_t Child(uint32_t parent, std::string_view name, uint8_t type) const {
    uint32_t found = NoEntry;
    std::vector<uint32_t> pending{U32(Entries[parent] + 76)};
    std::set<uint32_t> visited;
    while (!pending.empty()) {
      const uint32_t node = pending.back();
      pending.pop_back();
      if (node == NoEntry) continue;
      if (node >= Entries.size() || !visited.insert(node).second) return NoEntry;
      const size_t at = Entries[node];
      pending.push_back(U32(at + 68));
      pending.push_back(U32(at + 72));
      if (uint8_t(Data[at + 66]) != type || !SameName(at, name)) continue;
      if (found != NoEntry) return NoEntry;
      found = node;
    }
    return found;
  }

  bool SameName(size_t at, std::string_view name) const {
    const unsigned length = unsigned(uint8_t(Data[at + 64])) | unsigned(uint8_t(Data[at + 65])) << 8;
    if (length != 2 * (name.size() + 1)) return false;
    auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (size_t i = 0; i < name.size(); ++i) {
      const unsigned c = unsigned(uint8_t(Data[at + 2 * i])) | unsigned(uint8_t(Data[at + 2 * i + 1])) << 8;
      if (lower(c) != lower(uint8_t(name[i]))) return false;
    }
    return true;
  }
};

}  // namespace mapped

bool FindContiguousStream(const char* file, size_t fileSize, std::string_view storage, std::string_view stream,
                          size_t& offset, size_t& size) {
  mapped::TCompound compound(file, fileSize);
  return compound.Find(storage, stream, offset, size);
}

}  // namespace kalamos
