#include "host/tool/folder/Directory.h"

#include <fstream>
#include <set>
#include <vector>

#include "host/tool/ground/Ground.h"
#include "host/tool/container/CompoundDirectory.h"
#include "host/tool/folder/Codec.h"
#include "platform/Text.h"

namespace kalamos {

// Named, not anonymous: the tool's library is compiled as one unit.
namespace directory {

std::string TroubleWords(TDirectoryTrouble trouble) {
  switch (trouble) {
    case TDirectoryTrouble::NotCompound: return kalamos::Say("not a compound file", "не составной файл");
    case TDirectoryTrouble::SectorSize: return kalamos::Say("an unknown sector size", "неизвестный размер сектора");
    case TDirectoryTrouble::DifatLoop: return kalamos::Say("the DIFAT chain runs in a circle", "цепочка DIFAT замкнута в кольцо");
    case TDirectoryTrouble::FatPastEnd: return kalamos::Say("a FAT sector past the end of the file", "сектор FAT за концом файла");
    case TDirectoryTrouble::ChainDamaged: return kalamos::Say("the directory chain is damaged", "цепочка каталога повреждена");
    case TDirectoryTrouble::DirectoryPastEnd:
      return kalamos::Say("a directory sector past the end of the file", "сектор каталога за концом файла");
    case TDirectoryTrouble::NoRoot: return kalamos::Say("no root entry", "нет корневой записи");
    case TDirectoryTrouble::TreeDamaged:
    case TDirectoryTrouble::None: break;
  }
  return kalamos::Say("the directory tree is damaged", "дерево каталога повреждено");
}

// Every storage's entry by its path (names parted by "/", UTF-8; "" the root).
bool StoragePaths(const std::string& bytes, TCompoundDirectory& directory, std::map<std::string, size_t>& paths,
                  std::string& why) {
  const TDirectoryTrouble trouble = directory.Read(bytes.data(), bytes.size());
  if (trouble != TDirectoryTrouble::None) return why = TroubleWords(trouble), false;
  paths[""] = directory.EntryAt(0);
  std::vector<std::pair<uint32_t, std::string>> pending{{0, ""}};
  std::set<uint32_t> visited;
  while (!pending.empty()) {
    const auto [storage, prefix] = pending.back();
    pending.pop_back();
    std::vector<uint32_t> children;
    if (!directory.Children(storage, children, visited)) return why = TroubleWords(TDirectoryTrouble::TreeDamaged), false;
    for (uint32_t child : children) {
      if (directory.Type(child) != TCompoundDirectory::StorageType) continue;
      const std::string path = prefix + WideToUtf8(directory.Name(child));
      paths[path] = directory.EntryAt(child);
      pending.push_back({child, path + "/"});
    }
  }
  return true;
}

bool Slurp(const std::string& file, std::string& bytes) { return ReadWholeFile(file, bytes); }

}  // namespace directory
using namespace directory;

bool ReadStamps(const std::string& file, std::map<std::string, TStorageStamp>& stamps, std::string& why) {
  stamps.clear();
  std::string bytes;
  if (!Slurp(file, bytes)) return why = kalamos::Say("cannot read", "не прочитать"), false;
  TCompoundDirectory directory;
  std::map<std::string, size_t> paths;
  if (!StoragePaths(bytes, directory, paths, why)) return false;
  for (const auto& [path, at] : paths) {
    TStorageStamp& stamp = stamps[path];
    stamp.Created = directory.U64(at + 100);
    stamp.Modified = directory.U64(at + 108);
    for (size_t i = 0; i < 16; ++i) stamp.ClassId[i] = static_cast<unsigned char>(bytes[at + 80 + i]);
  }
  return true;
}

bool WriteStamps(const std::string& file, const std::map<std::string, TStorageStamp>& stamps, std::string& why) {
  std::string bytes;
  if (!Slurp(file, bytes)) return why = kalamos::Say("cannot read", "не прочитать"), false;
  TCompoundDirectory directory;
  std::map<std::string, size_t> paths;
  if (!StoragePaths(bytes, directory, paths, why)) return false;
  std::fstream out(PathOf(file), std::ios::binary | std::ios::in | std::ios::out);
  for (const auto& [path, stamp] : stamps) {
    auto found = paths.find(path);
    if (found == paths.end()) return why = kalamos::Say("no storage ", "нет хранилища ") + path, false;
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
