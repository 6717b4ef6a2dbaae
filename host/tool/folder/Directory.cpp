#include "host/tool/folder/Directory.h"

#include <fstream>
#include <set>
#include <vector>

#include "host/tool/Commands.h"
#include "host/tool/folder/Codec.h"
#include "platform/Text.h"

namespace kalamos {

// Named, not anonymous: the tool's library is compiled as one unit.
namespace directory {

constexpr uint32_t EndOfChain = 0xFFFFFFFE, NoStream = 0xFFFFFFFF, MaxSector = 0xFFFFFFFA;
constexpr size_t EntrySize = 128;

uint32_t U32(const std::string& bytes, size_t at) {
  if (at + 4 > bytes.size()) return NoStream;
  return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 | uint32_t(uint8_t(bytes[at + 2])) << 16 |
         uint32_t(uint8_t(bytes[at + 3])) << 24;
}
uint64_t U64(const std::string& bytes, size_t at) { return U32(bytes, at) | uint64_t(U32(bytes, at + 4)) << 32; }

// The directory of a compound file: where each storage's entry lies in the file.
class TDirectory {
public:
  bool Read(const std::string& bytes, std::string& why) {
    if (bytes.size() < 512 || bytes.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") != 0) return Fail(kalamos::Say("not a compound file", "не составной файл"), why);
    const unsigned shift = uint8_t(bytes[0x1E]) | uint8_t(bytes[0x1F]) << 8;
    if (shift != 9 && shift != 12) return Fail(kalamos::Say("an unknown sector size", "неизвестный размер сектора"), why);
    Sector = size_t(1) << shift;
    // The FAT's sectors: 109 in the header, the rest in a chain of DIFAT sectors.
    std::vector<uint32_t> fatSectors;
    const uint32_t fatCount = U32(bytes, 0x2C);
    for (size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(U32(bytes, 0x4C + 4 * i));
    std::set<uint32_t> seen;
    for (uint32_t difat = U32(bytes, 0x44); difat <= MaxSector && fatSectors.size() < fatCount;) {
      if (!seen.insert(difat).second) return Fail(kalamos::Say("the DIFAT chain runs in a circle", "цепочка DIFAT замкнута в кольцо"), why);
      const size_t at = Offset(difat);
      for (size_t i = 0; i + 1 < Sector / 4 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(U32(bytes, at + 4 * i));
      difat = U32(bytes, at + Sector - 4);
    }
    for (uint32_t fat : fatSectors) {
      const size_t at = Offset(fat);
      if (at + Sector > bytes.size()) return Fail(kalamos::Say("a FAT sector past the end of the file", "сектор FAT за концом файла"), why);
      for (size_t i = 0; i < Sector / 4; ++i) Fat.push_back(U32(bytes, at + 4 * i));
    }
    seen.clear();
    for (uint32_t sector = U32(bytes, 0x30); sector != EndOfChain;) {
      if (sector > MaxSector || sector >= Fat.size() || !seen.insert(sector).second) return Fail(kalamos::Say("the directory chain is damaged", "цепочка каталога повреждена"), why);
      if (Offset(sector) + Sector > bytes.size()) return Fail(kalamos::Say("a directory sector past the end of the file", "сектор каталога за концом файла"), why);
      for (size_t i = 0; i < Sector / EntrySize; ++i) Entries.push_back(Offset(sector) + i * EntrySize);
      sector = Fat[sector];
    }
    if (Entries.empty() || uint8_t(bytes[Entries[0] + 66]) != 5) return Fail(kalamos::Say("no root entry", "нет корневой записи"), why);
    Paths[""] = Entries[0];
    std::set<uint32_t> visited;
    return Walk(bytes, U32(bytes, Entries[0] + 76), "", visited, why);
  }
  std::map<std::string, size_t> Paths;  // storage path: the offset of its entry

private:
  size_t Sector = 512;
  std::vector<uint32_t> Fat;
  std::vector<size_t> Entries;
  size_t Offset(uint32_t sector) const { return (size_t(sector) + 1) * Sector; }
  static bool Fail(const std::string& text, std::string& why) {
    why = text;
    return false;
  }
  // Every entry under a storage's child, each once; a list, not recursion, since a writer may
  // chain thousands of siblings one under the other.
  bool Walk(const std::string& bytes, uint32_t child, const std::string& prefix, std::set<uint32_t>& visited, std::string& why) {
    std::vector<std::pair<uint32_t, std::string>> pending{{child, prefix}};
    while (!pending.empty()) {
      const auto [node, under] = pending.back();
      pending.pop_back();
      if (node == NoStream) continue;
      if (node >= Entries.size() || !visited.insert(node).second) return Fail(kalamos::Say("the directory tree is damaged", "дерево каталога повреждено"), why);
      const size_t at = Entries[node];
      pending.push_back({U32(bytes, at + 68), under});
      pending.push_back({U32(bytes, at + 72), under});
      if (uint8_t(bytes[at + 66]) != 1) continue;
      const unsigned length = uint8_t(bytes[at + 64]) | uint8_t(bytes[at + 65]) << 8;
      WideString name;
      for (unsigned i = 0; i + 2 < length && i < 64; i += 2)
        name += OLECHAR(uint8_t(bytes[at + i]) | uint8_t(bytes[at + i + 1]) << 8);
      const std::string path = under + WideToUtf8(name);
      Paths[path] = at;
      pending.push_back({U32(bytes, at + 76), path + "/"});
    }
    return true;
  }
};

bool Slurp(const std::string& file, std::string& bytes) { return ReadWholeFile(file, bytes); }

}  // namespace directory
using namespace directory;

bool ReadStamps(const std::string& file, std::map<std::string, TStorageStamp>& stamps, std::string& why) {
  stamps.clear();
  std::string bytes;
  if (!Slurp(file, bytes)) return why = kalamos::Say("cannot read", "не прочитать"), false;
  TDirectory directory;
  if (!directory.Read(bytes, why)) return false;
  for (const auto& [path, at] : directory.Paths) {
    TStorageStamp& stamp = stamps[path];
    stamp.Created = U64(bytes, at + 100);
    stamp.Modified = U64(bytes, at + 108);
    for (size_t i = 0; i < 16; ++i) stamp.ClassId[i] = static_cast<unsigned char>(bytes[at + 80 + i]);
  }
  return true;
}

bool WriteStamps(const std::string& file, const std::map<std::string, TStorageStamp>& stamps, std::string& why) {
  std::string bytes;
  if (!Slurp(file, bytes)) return why = kalamos::Say("cannot read", "не прочитать"), false;
  TDirectory directory;
  if (!directory.Read(bytes, why)) return false;
  std::fstream out(PathOf(file), std::ios::binary | std::ios::in | std::ios::out);
  for (const auto& [path, stamp] : stamps) {
    auto found = directory.Paths.find(path);
    if (found == directory.Paths.end()) return why = kalamos::Say("no storage ", "нет хранилища ") + path, false;
    char entry[36];
    for (size_t i = 0; i < 16; ++i) entry[i] = static_cast<char>(stamp.ClassId[i]);
    // The state bits between the class id and the times stay as they are.
    for (size_t i = 0; i < 4; ++i) entry[16 + i] = bytes[found->second + 96 + i];
    for (size_t i = 0; i < 8; ++i) entry[20 + i] = static_cast<char>(stamp.Created >> (8 * i));
    for (size_t i = 0; i < 8; ++i) entry[28 + i] = static_cast<char>(stamp.Modified >> (8 * i));
    out.seekp(std::streamoff(found->second + 80));
    out.write(entry, sizeof entry);
  }
  if (!out.flush()) return why = kalamos::Say("cannot write", "не записать"), false;
  return true;
}

}  // namespace kalamos
