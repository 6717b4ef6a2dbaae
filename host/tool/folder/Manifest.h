// The manifest of an unpacked folder: one line per storage and per stream, in the order
// they are written, fields parted by tabs (a tab, line end or backslash inside a field as
// "\t", "\n", "\\"; other control characters as "\xHH").
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/tool/folder/Directory.h"

namespace kalamos {

struct TManifestEntry {
  bool Storage = false;
  std::string Path;                           // storages and stream name, UTF-8, parted by "/"; "" the root
  TStorageStamp Stamp;                        // storages
  std::string File;                           // streams: the file, relative to the folder, parted by "/"
  std::string How;                            // bytes, module, form, description
  std::map<std::string, std::string> Options; // eol, deflate, prefix, preamble, cp
};

struct TManifest {
  std::vector<TManifestEntry> Entries;
};

std::string WriteManifest(const TManifest& manifest);
// False with the line (from 1) and why.
bool ReadManifest(const std::string& text, TManifest& manifest, size_t& line, std::string& why);

}  // namespace kalamos
