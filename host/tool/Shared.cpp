#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <exception>
#if !defined(_WIN32)
#include <thread>
#endif
#include <filesystem>
#include <fstream>
#include <random>

#include "host/tool/Commands.h"
#include "host/tool/Out.h"
#include "host/tool/folder/Folder.h"
#include "platform/Console.h"
#include "platform/Storage.h"

namespace kalamos {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

namespace {
// Each 1251 byte's UTF-8 in the low three bytes, their count in bits 24-30, and bit 31 set
// for the bytes a JSON string escapes (they are the same in both code pages).
std::array<uint32_t, 256> MakeUtf8Codes() {
  std::array<uint32_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = AnsiToUtf8(std::string(1, char(b)));
    const size_t length = std::min<size_t>(utf8.size(), 3);
    uint32_t code = uint32_t(length) << 24;
    for (size_t i = 0; i < length; ++i) code |= uint32_t(static_cast<unsigned char>(utf8[i])) << (8 * i);
    if (b < 0x20 || b == '"' || b == '\\') code |= 0x80000000u;
    t[size_t(b)] = code;
  }
  return t;
}
}  // namespace

// Made before main; a static's constructor that converts text earlier (the table still all
// zeros) goes the slow way.
const std::array<uint32_t, 256> Utf8Codes = MakeUtf8Codes();

namespace {
bool TableMade() { return Utf8Codes['A'] != 0; }
}  // namespace

// U(text) through a table: names and synonyms are most of what text writes, and
// converting each into a string of its own costs more than the rest.
size_t AnsiToUtf8Into(char* out, std::string_view ansi) {
  if (!TableMade()) {
    const std::string text = AnsiToUtf8(ansi);
    std::memcpy(out, text.data(), text.size());
    return text.size();
  }
  uint32_t marks;
  return Utf8Into(out, ansi, marks);
}

size_t PlainAnsiToUtf8Into(char* out, std::string_view ansi) {
  if (!TableMade()) return SIZE_MAX;
  uint32_t marks;
  const size_t n = Utf8Into(out, ansi, marks);
  return marks & 0x80000000u ? SIZE_MAX : n;
}

std::string U(std::string_view ansi) {
  std::string text(ansi.size() * 3 + 1, '\0');
  text.resize(AnsiToUtf8Into(text.data(), ansi));
  return text;
}

void AppendU(std::string& out, std::string_view ansi) {
  // A piece at a time on the stack, each piece appended once.
  char piece[3 * 64 + 1];
  for (size_t at = 0; at < ansi.size(); at += 64)
    out.append(piece, AnsiToUtf8Into(piece, ansi.substr(at, 64)));
}


namespace {
std::string Utf8Of(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A temporary directory in which a container file of any name is "vellum.md", since Load
// takes a directory: a link natively, a hard link or else a copy on Windows. Removed with
// everything in it when the object goes.
class TContainerDir {
public:
  ~TContainerDir() {
    std::error_code ignored;
    if (!Dir.empty()) fs::remove_all(Dir, ignored);
  }
  // False, with a message, when the directory or the link cannot be made.
  bool Make(const fs::path& file, std::string& error) {
    std::error_code code;
    fs::path base = fs::temp_directory_path(code);
    if (code) return Fail(Say("no temporary folder: ", "нет папки для временных файлов: ") + code.message(), error);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && Dir.empty(); ++attempt) {
      fs::path candidate = base / ("ostrak-" + std::to_string(random()));
      if (fs::create_directory(candidate, code)) Dir = candidate;
    }
    if (Dir.empty()) return Fail(Say("cannot make a temporary folder in ", "не удается создать временную папку в ") + Utf8Of(base), error);
    fs::path target = fs::absolute(file, code);
    fs::path link = Dir / "vellum.md";
    LinkFile(target, link, code);
    if (code) return Fail(Say("cannot give ", "не удается дать ") + Utf8Of(file) + Say(" the name vellum.md: ", " имя vellum.md: ") + code.message(), error);
    return true;
  }
  std::string Directory() const { return Utf8Of(Dir); }

private:
  fs::path Dir;
  static bool Fail(const std::string& message, std::string& error) {
    error = message;
    return false;
  }
};
}  // namespace

void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
#if !defined(_WIN32)
  std::exception_ptr failed;
  std::thread other([&] {
    try {
      second();
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    first();
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failed) std::rethrow_exception(failed);
#else
  first();
  second();
#endif
}

std::string Say(std::string_view english, std::string_view russian) {
  static const bool russian_ = UserReadsRussian();
  return std::string(russian_ ? russian : english);
}

void Out(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void Err(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void PrintReports(TSession& session) {
  for (const TErrorReport& report : session.Log().TakeReports())
    Err(std::to_string(report.Code) + ": " + report.Description + "\n");
}

std::string DiagnoseContainer(const std::string& file, const std::string& shown) {
  std::error_code error;
  const fs::path path = PathOf(file);
  if (!fs::exists(path, error)) return shown + Say(": no such file", ": нет такого файла");
  if (fs::is_directory(path, error)) return shown + Say(": is a directory", ": это папка");
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    // The reason the system gives, in its own words (permission denied and the like).
    const int reason = errno;
    std::string why = reason ? std::generic_category().message(reason) : Say("cannot be read", "не читается");
    if (!why.empty()) why[0] = char(std::tolower(static_cast<unsigned char>(why[0])));
    return shown + ": " + why;
  }
  char head[8] = {};
  if (!in.read(head, sizeof head) || std::memcmp(head, kCompoundFileSignature, sizeof head) != 0)
    return shown + Say(": not a compound file", ": это не составной файл (контейнер)");
  return shown + Say(": no readable configuration in the container (storage \"Metadata\", stream \"Main MetaData Stream\")",
                     ": в контейнере нет читаемой конфигурации (хранилище \"Metadata\", поток \"Main MetaData Stream\")");
}

std::string DiagnoseDirectory(const std::string& directory, const std::string& shownFile) {
  std::error_code error;
  fs::path dir = PathOf(directory);
  if (directory.find_first_not_of(" \t\r\n") == std::string::npos) return Say("no directory given", "не указан каталог");
  if (!fs::exists(dir, error)) return directory + Say(": no such directory or file", ": нет такого каталога или файла");
  if (!fs::is_directory(dir, error)) return directory + Say(": not a directory", ": это не каталог");
  return DiagnoseContainer(Utf8Of(dir / "vellum.md"), shownFile.empty() ? directory + "/vellum.md" : shownFile);
}

bool FindSource(const std::string& path, TSource& source, std::string& error) {
  std::error_code code;
  const fs::path given = PathOf(path);
  if (path.find_first_not_of(" \t\r\n") == std::string::npos) {
    error = Say("no directory given", "не указан каталог");
    return false;
  }
  // A folder unpack wrote stands for the container it builds.
  if (IsUnpackedFolder(path)) {
    source = {std::string(), std::string(), path};
    return FolderAsContainer(path, source.File, error);
  }
  if (fs::is_directory(given, code)) {
    source = {path, Utf8Of(given / "vellum.md"), path + "/vellum.md"};
    return true;
  }
  if (fs::exists(given, code)) {
    source = {std::string(), path, path};
    return true;
  }
  error = path + Say(": no such directory or file", ": нет такого каталога или файла");
  return false;
}

bool StartAndLoad(TSession& session, const std::string& path, std::string& error) {
  HRESULT hr = session.Start();
  if (FAILED(hr)) {
    error = session.StartError();
    return false;
  }
  std::string directory = path, shownFile;
  TContainerDir container;
  std::error_code code;
  TSource folder;
  if (IsUnpackedFolder(path)) {
    if (!FindSource(path, folder, error)) return false;
    if (!container.Make(PathOf(folder.File), error)) return false;
    directory = container.Directory();
    shownFile = path;
  } else if (fs::is_regular_file(PathOf(path), code)) {
    if (!container.Make(PathOf(path), error)) return false;
    directory = container.Directory();
    shownFile = path;
  }
  auto reports = [&session] {
    std::string text;
    for (const TErrorReport& report : session.Log().TakeReports())
      text += std::to_string(report.Code) + ": " + report.Description + "\n";
    return text;
  };
  if (session.Load(directory, &hr)) {
    error = reports();
    return true;
  }
  error = reports() + DiagnoseDirectory(directory, shownFile);
  return false;
}

bool StartAndLoad(TSession& session, const std::string& path, int& status) {
  std::string said;
  const bool loaded = StartAndLoad(session, path, said);
  if (loaded) {
    Err(said);
    return true;
  }
  // The component's reports stand as they are, what ostrak saw after them.
  const size_t last = said.rfind('\n');
  Err(last == std::string::npos ? "ostrak: " + said + "\n"
                                : said.substr(0, last + 1) + "ostrak: " + said.substr(last + 1) + "\n");
  status = ExitFailed;
  return false;
}

}  // namespace kalamos
