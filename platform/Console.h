// What a command-line program asks of the system: its arguments as UTF-8, standard streams
// that pass bytes unchanged, and a second name for a file.
#pragma once

#include <cstdio>
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

// Gives the file target the second name link: a symbolic link, or on Windows a hard link
// (which needs no privilege) or else a copy.
void LinkFile(const std::filesystem::path& target, const std::filesystem::path& link, std::error_code& code);

}  // namespace kalamos
