// Where a configuration is read from, and why it cannot be, for people.
#pragma once

#include <string>
#include <string_view>

namespace kalamos {

// DIR (File is DIR/vellum.md), a container file of any name (Directory empty), or a folder
// unpack wrote (File: the container built from it). Shown names the container in messages.
struct TSource {
  std::string Directory, File, Shown;
};
// False, with a message for people, when path is none of these.
bool FindSource(const std::string& path, TSource& source, std::string& error);

// Why a directory holds no loadable container, for people; empty when nothing is seen.
// shownFile names the container in the message (default DIR/vellum.md).
std::string DiagnoseDirectory(const std::string& directory, const std::string& shownFile = "");
// Why a container file (UTF-8 path) cannot be loaded: missing, a directory, unreadable (the
// system's reason), not a compound file; else cause, what the reader said went wrong (in the
// store's English words, said in the user's language), or no configuration in it. shown
// names it.
std::string DiagnoseContainer(const std::string& file, const std::string& shown, std::string_view cause = {});

}  // namespace kalamos
