// What a command-line program asks of the system: its arguments as UTF-8, standard streams
// that pass bytes unchanged, and a second name for a file.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace kalamos {

// One command-line argument as UTF-8: Windows hands them over in the ANSI code page.
std::string ArgumentToUtf8(const char* argument);

// Standard output and error write bytes as they are, with bare line feeds.
void BinaryStandardStreams();

// Takes standard output over for a protocol: the stream returned writes (in binary) where
// standard output went, standard output itself goes to standard error from now on, and
// standard input reads bytes. Null when the descriptor cannot be duplicated.
std::FILE* TakeStandardOutput();

// Whether the user reads Russian: the language the environment asks for (LANGUAGE, the
// messages' own choice, else the locale LC_ALL, LC_MESSAGES or LANG names, the first one set)
// is Russian, or none is set and Windows speaks Russian to the user.
bool UserReadsRussian();
// The language the environment asks for, or null when it asks for none.
inline const char* EnvironmentLocale() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* value = std::getenv(name); value && *value) return value;
  return nullptr;
}

// Gives the file target the second name link: a symbolic link, or on Windows a hard link
// (which needs no privilege) or else a copy.
void LinkFile(const std::filesystem::path& target, const std::filesystem::path& link, std::error_code& code);

}  // namespace kalamos
