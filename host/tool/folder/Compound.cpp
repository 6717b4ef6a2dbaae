// A compound file written byte by byte by the tool itself: libgsf and Windows' structured
// storage each lay out sectors their own way, so the same folder built with each would give
// two containers. This writer gives one, on every system, and sets storages' times and class
// ids as it writes them. Sectors of 512 bytes (version 3), streams under 4,096 bytes in the
// mini stream, as both libraries write them and both read them.
#include "host/tool/folder/Directory.h"

#include <algorithm>
#include <fstream>

#include "host/tool/ground/Ground.h"
#include "platform/Text.h"

namespace kalamos {

namespace compound {

constexpr uint32_t FreeSector = 0xFFFFFFFF, EndOfChain = 0xFFFFFFFE, FatSector = 0xFFFFFFFD, DifatSector = 0xFFFFFFFC;
constexpr uint32_t NoEntry = 0xFFFFFFFF;
constexpr size_t Sector = 512, MiniSector = 64, MiniCutoff = 4096, PerSector = Sector / 4;
constexpr uint8_t StorageType = 1, StreamType = 2, RootType = 5;

struct TEntry {
  std::u16string Name;
  uint8_t Type = StreamType;
  uint32_t Left = NoEntry, Right = NoEntry, Child = NoEntry;
  TStorageStamp Stamp;
  uint32_t Start = EndOfChain;
  uint64_t Size = 0;
  const std::string* Bytes = nullptr;
  std::vector<uint32_t> Children;
};

// The order the directory's trees keep: shorter names first, then by each code unit in
// upper case (Latin, Latin-1 and Cyrillic letters, as the system's own comparison folds them).
char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return char16_t(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
  return c;
}
bool Before(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
  return false;
}
bool Same(const std::u16string& a, const std::u16string& b) { return !Before(a, b) && !Before(b, a); }

void Put16(std::string& out, size_t at, uint32_t value) {
  out[at] = char(value), out[at + 1] = char(value >> 8);
}
void Put32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + size_t(i)] = char(value >> (8 * i));
}
void Put64(std::string& out, size_t at, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[at + size_t(i)] = char(value >> (8 * i));
}

class TWriter {
public:
  bool Add(const TStorageEntry& entry, std::string& why) {
    const uint32_t storage = StorageOf(WideToUtf8(entry.storage), why);
    if (storage == NoEntry) return false;
    if (entry.stream.empty()) return true;
    TEntry stream;
    if (!NameOf(WideToUtf8(entry.stream), stream.Name, why)) return false;
    for (uint32_t child : Entries[storage].Children)
      if (Same(Entries[child].Name, stream.Name)) return why = kalamos::Say("two streams named ", "два потока с именем ") + WideToUtf8(entry.stream), false;
    stream.Bytes = &entry.bytes;
    stream.Size = entry.bytes.size();
    Entries[storage].Children.push_back(uint32_t(Entries.size()));
    Entries.push_back(std::move(stream));
    return true;
  }

  bool Stamp(const std::string& path, const TStorageStamp& stamp, std::string& why) {
    const auto found = Storages.find(path);
    if (found == Storages.end()) return why = kalamos::Say("no storage ", "нет хранилища ") + path, false;
    Entries[found->second].Stamp = stamp;
    return true;
  }

  // The whole file.
  std::string Bytes() {
    for (TEntry& entry : Entries)
      if (entry.Type != StreamType) Link(entry);
    // Sectors in this order: large streams, the mini stream, the mini FAT, the directory, the
    // FAT, the DIFAT.
    std::vector<uint32_t> fat;
    auto chain = [&](size_t count) {
      const uint32_t start = count ? uint32_t(fat.size()) : EndOfChain;
      for (size_t i = 0; i < count; ++i) fat.push_back(i + 1 < count ? uint32_t(fat.size() + 1) : EndOfChain);
      return start;
    };
    std::vector<uint32_t> miniFat;
    uint64_t miniBytes = 0;
    for (TEntry& entry : Entries) {
      if (entry.Type != StreamType) continue;
      if (entry.Size >= MiniCutoff) {
        entry.Start = chain((entry.Size + Sector - 1) / Sector);
      } else if (entry.Size > 0) {
        const size_t count = (entry.Size + MiniSector - 1) / MiniSector;
        entry.Start = uint32_t(miniFat.size());
        for (size_t i = 0; i < count; ++i) miniFat.push_back(i + 1 < count ? uint32_t(miniFat.size() + 1) : EndOfChain);
        miniBytes += count * MiniSector;
      }
    }
    Entries[0].Size = miniBytes;
    Entries[0].Start = chain((miniBytes + Sector - 1) / Sector);
    const size_t miniFatSectors = (miniFat.size() + PerSector - 1) / PerSector;
    const uint32_t miniFatStart = chain(miniFatSectors);
    const size_t directorySectors = (Entries.size() + 3) / 4;
    const uint32_t directoryStart = chain(directorySectors);
    // The FAT covers itself and the DIFAT: grown until it does.
    size_t fatSectors = 0, difatSectors = 0;
    for (;;) {
      const size_t total = fat.size() + fatSectors + difatSectors;
      const size_t needFat = (total + PerSector - 1) / PerSector;
      const size_t needDifat = needFat > 109 ? (needFat - 109 + PerSector - 2) / (PerSector - 1) : 0;
      if (needFat == fatSectors && needDifat == difatSectors) break;
      fatSectors = needFat, difatSectors = needDifat;
    }
    const uint32_t fatStart = uint32_t(fat.size());
    fat.insert(fat.end(), fatSectors, FatSector);
    const uint32_t difatStart = uint32_t(fat.size());
    fat.insert(fat.end(), difatSectors, DifatSector);
    const size_t sectors = fat.size();
    fat.resize(fatSectors * PerSector, FreeSector);

    std::string out((sectors + 1) * Sector, '\0');
    auto at = [](uint32_t sector) { return (size_t(sector) + 1) * Sector; };
    // Data; the mini stream's sectors follow each other, so a mini sector is at an offset.
    for (const TEntry& entry : Entries) {
      if (entry.Type != StreamType || entry.Size == 0) continue;
      const size_t place = entry.Size >= MiniCutoff ? at(entry.Start) : at(Entries[0].Start) + entry.Start * MiniSector;
      std::copy(entry.Bytes->begin(), entry.Bytes->end(), out.begin() + std::ptrdiff_t(place));
    }
    for (size_t i = 0; i < miniFatSectors * PerSector; ++i)
      Put32(out, at(miniFatStart) + 4 * i, i < miniFat.size() ? miniFat[i] : FreeSector);
    for (size_t i = 0; i < directorySectors * 4; ++i) WriteEntry(out, at(directoryStart) + 128 * i, i);
    for (size_t i = 0; i < fat.size(); ++i) Put32(out, at(fatStart) + 4 * i, fat[i]);
    // The DIFAT: the first 109 FAT sectors in the header, the rest 127 a sector, chained.
    for (size_t d = 0; d < difatSectors; ++d) {
      const size_t base = at(uint32_t(difatStart + d));
      for (size_t i = 0; i < PerSector - 1; ++i) {
        const size_t n = 109 + d * (PerSector - 1) + i;
        Put32(out, base + 4 * i, n < fatSectors ? fatStart + uint32_t(n) : FreeSector);
      }
      Put32(out, base + Sector - 4, d + 1 < difatSectors ? difatStart + uint32_t(d + 1) : EndOfChain);
    }
    // The header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), out.begin());
    Put16(out, 0x18, 0x3E);
    Put16(out, 0x1A, 3);
    Put16(out, 0x1C, 0xFFFE);
    Put16(out, 0x1E, 9);
    Put16(out, 0x20, 6);
    Put32(out, 0x2C, uint32_t(fatSectors));
    Put32(out, 0x30, directoryStart);
    Put32(out, 0x38, uint32_t(MiniCutoff));
    Put32(out, 0x3C, miniFatSectors ? miniFatStart : EndOfChain);
    Put32(out, 0x40, uint32_t(miniFatSectors));
    Put32(out, 0x44, difatSectors ? difatStart : EndOfChain);
    Put32(out, 0x48, uint32_t(difatSectors));
    for (size_t i = 0; i < 109; ++i) Put32(out, 0x4C + 4 * i, i < fatSectors ? fatStart + uint32_t(i) : FreeSector);
    return out;
  }

  TWriter() {
    TEntry root;
    root.Name = u"Root Entry";
    root.Type = RootType;
    Entries.push_back(std::move(root));
    Storages[""] = 0;
  }

private:
  std::vector<TEntry> Entries;
  std::map<std::string, uint32_t> Storages;

  static bool NameOf(const std::string& utf8, std::u16string& name, std::string& why) {
    const WideString wide = Utf8ToWide(utf8);
    name.assign(wide.begin(), wide.end());
    if (name.empty() || name.size() > 31) return why = kalamos::Say("the name «", "имя «") + utf8 + kalamos::Say("» does not fit a compound file (1-31 characters)", "» не годится для составного файла (1-31 знак)"), false;
    for (char16_t c : name)
      if (c == u'/' || c == u'\\' || c == u':' || c == u'!') return why = kalamos::Say("the name «", "имя «") + utf8 + kalamos::Say("» does not fit a compound file", "» не годится для составного файла"), false;
    return true;
  }

  // The storage at path, made with every storage above it when new.
  uint32_t StorageOf(const std::string& path, std::string& why) {
    const auto found = Storages.find(path);
    if (found != Storages.end()) return found->second;
    const size_t slash = path.rfind('/');
    const uint32_t parent = StorageOf(slash == std::string::npos ? std::string() : path.substr(0, slash), why);
    if (parent == NoEntry) return NoEntry;
    TEntry storage;
    storage.Type = StorageType;
    storage.Start = 0;
    if (!NameOf(slash == std::string::npos ? path : path.substr(slash + 1), storage.Name, why)) return NoEntry;
    for (uint32_t child : Entries[parent].Children)
      if (Same(Entries[child].Name, storage.Name)) return why = kalamos::Say("two entries named ", "два элемента с именем ") + path, NoEntry;
    const uint32_t n = uint32_t(Entries.size());
    Entries[parent].Children.push_back(n);
    Entries.push_back(std::move(storage));
    Storages[path] = n;
    return n;
  }

  // A storage's children as a balanced tree in the directory's order, every node black.
  void Link(TEntry& storage) {
    std::vector<uint32_t> sorted = storage.Children;
    std::sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) { return Before(Entries[a].Name, Entries[b].Name); });
    storage.Child = Subtree(sorted, 0, sorted.size());
  }
  uint32_t Subtree(const std::vector<uint32_t>& sorted, size_t from, size_t to) {
    if (from >= to) return NoEntry;
    const size_t middle = from + (to - from) / 2;
    TEntry& node = Entries[sorted[middle]];
    node.Left = Subtree(sorted, from, middle);
    Entries[sorted[middle]].Right = Subtree(sorted, middle + 1, to);
    return sorted[middle];
  }

  void WriteEntry(std::string& out, size_t at, size_t index) const {
    if (index >= Entries.size()) {
      Put32(out, at + 68, NoEntry), Put32(out, at + 72, NoEntry), Put32(out, at + 76, NoEntry);
      return;
    }
    const TEntry& entry = Entries[index];
    for (size_t i = 0; i < entry.Name.size(); ++i) Put16(out, at + 2 * i, entry.Name[i]);
    Put16(out, at + 64, uint32_t(2 * (entry.Name.size() + 1)));
    out[at + 66] = char(entry.Type);
    out[at + 67] = 1;  // black
    Put32(out, at + 68, entry.Left);
    Put32(out, at + 72, entry.Right);
    Put32(out, at + 76, entry.Child);
    std::copy(entry.Stamp.ClassId.begin(), entry.Stamp.ClassId.end(), out.begin() + std::ptrdiff_t(at + 80));
    Put64(out, at + 100, entry.Stamp.Created);
    Put64(out, at + 108, entry.Stamp.Modified);
    Put32(out, at + 116, entry.Type == StorageType ? 0 : entry.Start);
    Put64(out, at + 120, entry.Size);
  }
};

}  // namespace compound

bool WriteContainer(const std::string& file, const std::vector<TStorageEntry>& entries,
                    const std::map<std::string, TStorageStamp>& stamps, std::string& why) {
  compound::TWriter writer;
  for (const TStorageEntry& entry : entries)
    if (!writer.Add(entry, why)) return false;
  for (const auto& [path, stamp] : stamps)
    if (!writer.Stamp(path, stamp, why)) return false;
  const std::string bytes = writer.Bytes();
  std::ofstream out(PathOf(file), std::ios::binary | std::ios::trunc);
  if (!out.write(bytes.data(), std::streamsize(bytes.size())) || !out.flush()) return why = kalamos::Say("cannot write", "не записать"), false;
  return true;
}

}  // namespace kalamos
