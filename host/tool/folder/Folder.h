// A configuration container as a folder of files and back: unpack writes every stream as a
// file people can read (the description split per object, modules and forms as UTF-8 text),
// build writes the same container again. What file names cannot carry (storage paths, order,
// storage times, the forms of the bytes around the texts) is in the manifest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Storage.h"

namespace kalamos {

// The manifest's file name, at the folder's top.
inline constexpr const char* FolderManifest = "ostrak.manifest";

// Whether path is a folder unpack wrote (it holds the manifest).
bool IsUnpackedFolder(const std::string& path);
// Builds the folder into file; false with a message for people (file, line, what is wrong).
bool BuildFolder(const std::string& folder, const std::string& file, std::string& error);
// The container the folder stands for, built into a temporary file (again only when a file of
// the folder changed); removed when the tool ends.
bool FolderAsContainer(const std::string& folder, std::string& file, std::string& error);
// The command: the folder as a container again (a file, or DIR: its vellum.md).
int RunBuild(const std::string& folder, const std::string& container);

// The folder unpack puts the objects of a kind in ("Справочники"), "Прочее" for none.
std::string KindFolder(int kind);

// The pieces, for tests.
// A FILETIME as "2006-05-17 00:21:09" (UTC; ".fffffff" after it when not whole seconds), and back.
std::string TimeText(uint64_t fileTime);
bool ParseTime(std::string_view text, uint64_t& fileTime);
// How a text ends its lines: "crlf", "lf" (also none at all), or "asis" when they are mixed.
std::string LineEnds(std::string_view text);
// The text with CR LF made LF ("crlf", "lf"), unchanged for "asis"; and back.
std::string ToFileLines(std::string_view text, std::string_view ends);
std::string FromFileLines(std::string_view text, std::string_view ends);
// Where brace text goes wrong: 0 when its quotes and braces balance (a whole list: one "{"
// ... "}" with nothing but blanks around it when whole is set), otherwise the line (from 1)
// and why.
size_t BraceTrouble(std::string_view text, bool whole, std::string& why);
// A name fit for a file on every system: no characters Windows refuses, no device name.
std::string SafeFileName(std::string_view utf8);

}  // namespace kalamos
