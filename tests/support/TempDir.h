// A fresh, empty directory in the system's temporary folder (/tmp natively, Wine's or
// Windows' %TEMP% in the Windows build), removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

#include "platform/Ole.h"

class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The directory as the script would hand it to Load: 8-bit text in code page 1251.
  std::string Ansi() const;
  // The directory as UTF-8 text, for messages and for files the test writes itself.
  std::string Utf8() const;
  // The directory as a wide string, for the platform storage calls.
  WideString Wide() const;
  const std::filesystem::path& Path() const { return Dir; }

  // A file in the directory, in the same three forms (the name is UTF-8).
  std::string AnsiFile(const std::string& name) const;
  std::string Utf8File(const std::string& name) const;
  WideString WideFile(const std::string& name) const;

private:
  std::filesystem::path Dir;
};
