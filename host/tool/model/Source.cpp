#include "host/tool/model/Source.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

#include "host/tool/folder/Folder.h"
#include "host/tool/ground/Ground.h"
#include "platform/Storage.h"

namespace kalamos {

namespace fs = std::filesystem;

namespace {
// The store's reasons in the user's language; another reason as the store gives it.
std::string CauseWords(std::string_view cause) {
  static const std::pair<std::string_view, std::string_view> words[] = {
      {"the metadata stream is empty", "поток описания пуст"},
      {"the metadata stream ends early", "поток описания обрывается раньше своей длины"},
      {"the metadata stream is too large", "поток описания слишком велик"},
      {"the metadata stream cannot be read", "поток описания не читается"},
      {"the metadata stream size is unknown", "длина потока описания неизвестна"},
      {"no storage Metadata", "в контейнере нет хранилища \"Metadata\""},
      {"no stream Main MetaData Stream", "в хранилище \"Metadata\" нет потока \"Main MetaData Stream\""},
      {"the configuration file cannot be opened", "файл конфигурации не открывается"},
  };
  for (const auto& [english, russian] : words)
    if (cause == english) return Say(english, russian);
  return std::string(cause);
}
}  // namespace

std::string DiagnoseContainer(const std::string& file, const std::string& shown, std::string_view cause) {
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
  if (!cause.empty()) return shown + ": " + CauseWords(cause);
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

}  // namespace kalamos
