#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/Pack.h"
#include "host/tool/Commands.h"
#include "platform/Text.h"

namespace {
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// True when every sequence in text is well-formed UTF-8.
bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (extra == 9 || (extra == 1 && c < 0xC2) || (extra > 0 && i + extra >= text.size())) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}
}  // namespace

int RunPack(const std::string& textFile, const std::string& directory, bool oem, bool raw) {
  std::ifstream in(PathOf(textFile), std::ios::binary);
  if (!in) {
    Err("ostrak: cannot read " + textFile + "\n");
    return ExitFailed;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!raw) {
    if (!ValidUtf8(text)) {
      Err("ostrak: " + textFile + " is not UTF-8 text (use --raw to pack its bytes as they are)\n");
      return ExitFailed;
    }
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    unsigned codePage = oem ? 866 : 1251;
    std::string converted = Utf8ToCodePage(text, codePage);
    // A character the code page lacks would silently become '?' and rename an object.
    if (CodePageToUtf8(converted, codePage) != text) {
      Err("ostrak: " + textFile + " holds characters that code page " + std::to_string(codePage) + " lacks\n");
      return ExitFailed;
    }
    text = std::move(converted);
  }

  std::error_code error;
  std::filesystem::path dir = PathOf(directory);
  std::filesystem::create_directories(dir, error);
  if (!std::filesystem::is_directory(dir, error)) {
    Err("ostrak: cannot make the directory " + directory + "\n");
    return ExitFailed;
  }
  std::filesystem::path target = dir / "vellum.md";
  std::u8string target8 = target.u8string();
  // The closing brace ends the list that encloses the top-level lists, as in real files.
  HRESULT hr = WriteConfigurationContainer(std::string(target8.begin(), target8.end()), PackStreamBytes(text + "\r\n}"));
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
    Err("ostrak: cannot write " + directory + "/vellum.md: " + code + "\n");
    return ExitFailed;
  }
  return ExitOk;
}
