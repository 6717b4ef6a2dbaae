// Storages' times and class ids, read from and written into the compound file's directory
// itself. Neither storage library serves both: libgsf reads no class ids, Wine's structured
// storage neither reports nor sets storages' times. The directory is the same on every system.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/Storage.h"

namespace kalamos {

// What a storage's directory entry holds beside its name: created and modified as FILETIMEs
// (100 ns since 1601, 0 when none) and the class id.
struct TStorageStamp {
  uint64_t Created = 0, Modified = 0;
  std::array<unsigned char, 16> ClassId{};
  bool operator==(const TStorageStamp&) const = default;
};

// Every storage's stamp by its path (names parted by "/", UTF-8; "" the root). False with why.
bool ReadStamps(const std::string& file, std::map<std::string, TStorageStamp>& stamps, std::string& why);
// Writes a compound file of the entries (as WriteCompoundFile takes them), each storage
// stamped as stamps say: the same bytes on every system. False with why.
bool WriteContainer(const std::string& file, const std::vector<TStorageEntry>& entries,
                    const std::map<std::string, TStorageStamp>& stamps, std::string& why);
// Writes the stamps of the storages named into the file's directory entries, in place.
bool WriteStamps(const std::string& file, const std::map<std::string, TStorageStamp>& stamps, std::string& why);

}  // namespace kalamos
