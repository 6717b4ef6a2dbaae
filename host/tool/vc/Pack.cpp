#include <cerrno>
#include <system_error>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/Pack.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Vc.h"
#include "platform/Storage.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
// Well-formed UTF-8 with a Cyrillic letter (U+0400..U+04FF, lead bytes D0-D3): a text meant
// for packing with conversion. Plain 1251 text is almost never well-formed UTF-8.
bool HoldsUtf8Cyrillic(const std::string& text) {
  if (!IsValidUtf8(text)) return false;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0xD0 && c <= 0xD3) return true;
  }
  return false;
}
}  // namespace

int RunPack(const std::string& textFile, const std::string& directory, bool oem, bool raw,
            const std::vector<std::string>& streams) {
  std::error_code error;
  // A directory opens as a stream on Linux and fails only on the first read.
  if (std::filesystem::is_directory(PathOf(textFile), error)) {
    Err("ostrak: " + textFile + Say(": is a directory, not a configuration text\n", ": это папка, а не текст конфигурации\n"));
    return ExitFailed;
  }
  std::ifstream in(PathOf(textFile), std::ios::binary);
  if (!in) {
    const int reason = errno;
    Err(Say("ostrak: cannot read ", "ostrak: не читается ") + textFile + (reason ? ": " + std::generic_category().message(reason) : "") + "\n");
    return ExitFailed;
  }
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure& failure) {
    Err(Say("ostrak: cannot read ", "ostrak: не читается ") + textFile + ": " + failure.code().message() + "\n");
    return ExitFailed;
  }
  if (in.bad()) {
    Err(Say("ostrak: cannot read ", "ostrak: не читается ") + textFile + "\n");
    return ExitFailed;
  }
  if (raw && HoldsUtf8Cyrillic(text))
    Err(Say("ostrak: warning: ", "ostrak: внимание: ") + textFile +
        Say(" is UTF-8 text with Cyrillic letters, so probably not code page 1251; "
            "its bytes are packed as they are (without --raw it would be converted)\n",
            " — текст в UTF-8 с кириллицей, то есть, вероятно, не в кодировке 1251; его байты упакованы как "
            "есть (без --raw он был бы перекодирован)\n"));
  if (!raw) {
    if (!IsValidUtf8(text)) {
      Err("ostrak: " + textFile + Say(" is not UTF-8 text (use --raw to pack its bytes as they are)\n",
                                      " — не текст в UTF-8 (--raw упакует его байты как есть)\n"));
      return ExitFailed;
    }
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    unsigned codePage = oem ? 866 : 1251;
    std::string converted = Utf8ToCodePage(text, codePage);
    // A character the code page lacks would silently become '?' and rename an object.
    if (CodePageToUtf8(converted, codePage) != text) {
      Err("ostrak: " + textFile + Say(" holds characters that code page ", ": в нем есть символы, которых нет в кодировке ") +
          std::to_string(codePage) + Say(" lacks\n", "\n"));
      return ExitFailed;
    }
    text = std::move(converted);
  }

  // Further streams, their bytes as they are: PATH=FILE, the storages in PATH parted by "/".
  std::vector<TStorageEntry> entries{{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), PackStreamBytes(text + "\r\n}")}};
  for (const std::string& stream : streams) {
    const size_t equals = stream.find('=');
    const size_t slash = stream.rfind('/', equals);
    if (equals == std::string::npos || equals == 0 || slash + 1 == equals) {
      Err("ostrak: --stream " + stream + Say(": write PATH=FILE, e.g. ", ": пишите ПУТЬ=ФАЙЛ, например ") +
          "\"TypedText/ModuleText_Number1/MD Programm text=module.bin\"\n");
      return ExitUsage;
    }
    std::ifstream file(PathOf(stream.substr(equals + 1)), std::ios::binary);
    if (!file) {
      Err(Say("ostrak: cannot read ", "ostrak: не читается ") + stream.substr(equals + 1) + "\n");
      return ExitFailed;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string storage = slash == std::string::npos ? std::string() : stream.substr(0, slash);
    const std::string name = stream.substr(slash == std::string::npos ? 0 : slash + 1, equals - (slash == std::string::npos ? 0 : slash + 1));
    entries.push_back({Utf8ToWide(storage), Utf8ToWide(name), std::move(bytes)});
  }

  std::filesystem::path dir = PathOf(directory);
  std::filesystem::create_directories(dir, error);
  if (!std::filesystem::is_directory(dir, error)) {
    Err(Say("ostrak: cannot make the directory ", "ostrak: не удается создать каталог ") + directory + "\n");
    return ExitFailed;
  }
  std::filesystem::path target = dir / "vellum.md";
  std::u8string target8 = target.u8string();
  // The closing brace ends the list that encloses the top-level lists, as in real files.
  HRESULT hr = WriteCompoundFile(Utf8ToWide(std::string(target8.begin(), target8.end())), entries);
  if (FAILED(hr)) {
    Err(Say("ostrak: cannot write ", "ostrak: не удается записать ") + directory + "/vellum.md: 0x" + HresultDigits(hr) + "\n");
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace kalamos
