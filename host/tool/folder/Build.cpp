// ostrak build: a folder unpack wrote, edited or not, as a container again. Everything is
// read and checked before a byte is written; the container is written beside the target and
// renamed into place.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

#include "host/tool/ground/Ground.h"
#include "host/tool/folder/Codec.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/folder/Manifest.h"
#include "platform/Text.h"

namespace kalamos {

namespace fs = std::filesystem;

// Named, not anonymous: the tool's library is compiled as one unit.
namespace building {

std::string Utf8Path(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

class TReader {
public:
  explicit TReader(const std::string& folder) : Folder(folder), Root(PathOf(folder)) {}
  std::vector<std::string> Problems;
  std::set<std::string> Known;  // the files the manifest and the descriptions name

  bool Read(const std::string& file, std::string& bytes) {
    Known.insert(file);
    if (!ReadWholeFile(Folder + "/" + file, bytes)) return Say(file, 0, kalamos::Say("the file is missing, and the manifest names it", "файла нет, а манифест его называет")), false;
    return true;
  }
  // The file's text in the code page, line ends as the container had them; false when refused.
  bool Text(const std::string& file, const std::string& ends, unsigned codePage, std::string& out, std::string* utf8 = nullptr) {
    std::string bytes;
    if (!Read(file, bytes)) return false;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    std::string lines = FromFileLines(bytes, ends);
    size_t at = 0;
    switch (ToCodePage(lines, codePage, out, at)) {
      case TConverted::Ok: break;
      case TConverted::NotUtf8: return Say(file, LineOf(lines, at), kalamos::Say("the text is not UTF-8", "текст не в UTF-8")), false;
      case TConverted::Lacking: {
        char32_t c;
        const std::string one = lines.substr(at, DecodeUtf8(lines, at, c));
        return Say(file, LineOf(lines, at), kalamos::Say("character \"", "символ \"") + one + kalamos::Say("\" cannot be written in code page ", "\" не записать в кодировке ") + std::to_string(codePage)), false;
      }
    }
    if (utf8) *utf8 = std::move(lines);
    return true;
  }
  void Say(const std::string& file, size_t line, const std::string& why) {
    Problems.push_back(Folder + "/" + file + (line ? ":" + std::to_string(line) : "") + ": " + why);
  }
  static size_t LineOf(std::string_view text, size_t at) {
    return 1 + size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(std::min(at, text.size())), '\n'));
  }

  std::string Folder;
  fs::path Root;
};

std::string Prefix(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

int Nibble(char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; }

bool FromHexText(const std::string& text, std::string& bytes) {
  if (text.size() % 2) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = Nibble(text[i]), low = Nibble(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high << 4 | low);
  }
  return true;
}

// The description: the skeleton with each "@"file"" outside quotes replaced by that file's list.
bool Description(TReader& reader, const TManifestEntry& entry, std::string& bytes) {
  const unsigned codePage = entry.Options.count("cp") && entry.Options.at("cp") == "866" ? 866 : 1251;
  const std::string ends = entry.Options.count("eol") ? entry.Options.at("eol") : "crlf";
  // The skeleton's file names are UTF-8 whatever the code page: read it as UTF-8 text and
  // convert its pieces.
  std::string skeleton, utf8;
  if (!reader.Text(entry.File, ends, codePage, skeleton, &utf8)) return false;
  skeleton = std::move(utf8);
  std::string why;
  if (size_t line = entry.Options.count("braces") ? 0 : BraceTrouble(skeleton, false, why))
    return reader.Say(entry.File, line, why), false;
  std::string body;
  body.reserve(skeleton.size() * 4);
  bool quoted = false, ok = true;
  for (size_t i = 0; i < skeleton.size(); ++i) {
    const char c = skeleton[i];
    if (c == '"') quoted = !quoted;
    if (c != '@' || quoted || i + 1 >= skeleton.size() || skeleton[i + 1] != '"') {
      const size_t next = std::min(skeleton.find_first_of("\"@", i + 1), skeleton.size());
      std::string piece;
      size_t ignored;
      ToCodePage(std::string_view(skeleton).substr(i, next - i), codePage, piece, ignored);  // checked whole above
      body += piece;
      i = next - 1;
      continue;
    }
    const size_t close = skeleton.find('"', i + 2);
    if (close == std::string::npos) break;  // BraceTrouble has said so
    const std::string file = skeleton.substr(i + 2, close - i - 2);
    std::string list;
    if (file.empty() || file[0] == '/' || file.find("..") != std::string::npos || file.find(':') != std::string::npos) {
      reader.Say(entry.File, TReader::LineOf(skeleton, i), kalamos::Say("a file outside the folder: ", "ссылка на файл вне папки: ") + file);
      ok = false;
    } else if (reader.Text(file, ends, codePage, list)) {
      if (size_t line = BraceTrouble(list, true, why)) reader.Say(file, line, why), ok = false;
      else body += list;
    } else ok = false;
    i = close;
  }
  if (!ok) return false;

  const std::string preamble = entry.Options.count("preamble") ? entry.Options.at("preamble") : "short";
  if (preamble == "short") bytes = "\xFF" + Prefix(uint32_t(body.size()), 2);
  else if (preamble == "long") {
    // A length whose low byte is "{" would read as the short preamble: one LF more, which the parser drops.
    if ((body.size() & 0xFF) == '{') body += '\n';
    bytes = "\xFF\xFF\xFF" + Prefix(uint32_t(body.size()), 4);
  } else if (!FromHexText(preamble, bytes)) return reader.Say(FolderManifest, 0, kalamos::Say("a wrong preamble of the description", "неверная преамбула описания")), false;
  bytes += body;
  return true;
}

}  // namespace building
using namespace building;

bool IsUnpackedFolder(const std::string& path) {
  std::error_code code;
  return fs::is_regular_file(PathOf(path) / FolderManifest, code);
}

bool BuildFolder(const std::string& folder, const std::string& file, std::string& error) {
  TReader reader(folder);
  std::string text;
  if (!reader.Read(FolderManifest, text)) {
    error = folder + kalamos::Say(": no ", ": нет ") + FolderManifest + kalamos::Say(": not a folder ostrak unpack wrote", ": это не папка, распакованная ostrak unpack");
    return false;
  }
  TManifest manifest;
  size_t line = 0;
  std::string why;
  if (!ReadManifest(text, manifest, line, why)) {
    error = folder + "/" + FolderManifest + ":" + std::to_string(line) + ": " + why;
    return false;
  }

  std::vector<TStorageEntry> entries;
  std::map<std::string, TStorageStamp> stamps;
  for (const TManifestEntry& entry : manifest.Entries) {
    if (entry.Storage) {
      if (!entry.Path.empty()) entries.push_back({Utf8ToWide(entry.Path), WideString(), std::string()});
      stamps[entry.Path] = entry.Stamp;
      continue;
    }
    if (entry.File.empty() || entry.File[0] == '/' || entry.File.find("..") != std::string::npos ||
        entry.File.find(':') != std::string::npos) {
      reader.Say(FolderManifest, 0, kalamos::Say("a path outside the folder: ", "путь вне папки: ") + entry.File);
      continue;
    }
    const size_t slash = entry.Path.rfind('/');
    TStorageEntry stream{Utf8ToWide(slash == std::string::npos ? std::string() : entry.Path.substr(0, slash)),
                         Utf8ToWide(entry.Path.substr(slash == std::string::npos ? 0 : slash + 1)), std::string()};
    const std::string ends = entry.Options.count("eol") ? entry.Options.at("eol") : "crlf";
    std::string plain;
    if (entry.How == "bytes") {
      if (!reader.Read(entry.File, stream.bytes)) continue;
    } else if (entry.How == "module") {
      if (!reader.Text(entry.File, ends, 1251, plain)) continue;
      const std::string level = entry.Options.count("deflate") ? entry.Options.at("deflate") : "6";
      stream.bytes = DeflateRaw(plain, level.size() == 1 && level[0] >= '1' && level[0] <= '9' ? level[0] - '0' : 6);
    } else if (entry.How == "form") {
      if (!reader.Text(entry.File, ends, 1251, plain)) continue;
      // The short length while it fits, as the container had it; else 0xFFFF and 32 bits.
      const bool shortPrefix = entry.Options.count("prefix") && entry.Options.at("prefix") == "3" && plain.size() < 0xFFFF;
      stream.bytes = shortPrefix ? "\xFF" + Prefix(uint32_t(plain.size()), 2) : "\xFF\xFF\xFF" + Prefix(uint32_t(plain.size()), 4);
      stream.bytes += plain;
    } else if (!Description(reader, entry, stream.bytes)) {
      continue;
    }
    entries.push_back(std::move(stream));
  }

  // A file the manifest does not know would be lost without a word. What starts with "." is
  // not ours (.git, .gitattributes, editors' files).
  std::error_code code;
  std::set<std::string> objectDirs;  // KIND/NAME: what holds an object's files
  for (const std::string& known : reader.Known)
    if (std::count(known.begin(), known.end(), '/') == 2 && known.rfind("Контейнер/", 0) != 0)
      objectDirs.insert(known.substr(0, known.rfind('/')));
  for (auto item = fs::recursive_directory_iterator(reader.Root, code); !code && item != fs::recursive_directory_iterator();
       item.increment(code)) {
    const std::string leaf = Utf8Path(item->path().filename());
    if (!leaf.empty() && leaf[0] == '.') {
      if (item->is_directory(code)) item.disable_recursion_pending();
      continue;
    }
    if (item->is_directory(code)) continue;
    const std::string relative = Utf8Path(item->path().lexically_relative(reader.Root));
    if (reader.Known.count(relative)) continue;
    const size_t slash = relative.rfind('/');
    const bool ofObject = slash != std::string::npos && objectDirs.count(relative.substr(0, slash));
    reader.Say(relative, 0,
               ofObject ? kalamos::Say("a new file of an object: build adds no module, form or layout the object did not have "
                                       "(make them in the platform's designer); remove the file or give back its old name",
                                       "новый файл у объекта: модуль, форму или макет, которых у объекта не было, сборка не добавит "
                                       "(их надо создать в конфигураторе); удалите файл или верните прежнее имя")
                        : kalamos::Say("a file not of this configuration: the manifest does not know it", "файл не из этой конфигурации: манифест его не знает"));
  }

  if (!reader.Problems.empty()) {
    error.clear();
    for (const std::string& problem : reader.Problems) error += (error.empty() ? "" : "\n") + problem;
    return false;
  }

  // Beside the target, then renamed: never half a container in its place.
  const fs::path target = PathOf(file);
  std::random_device random;
  const fs::path temporary = target.parent_path() / (target.filename().u8string() + u8".ostrak-" + std::u8string(
      reinterpret_cast<const char8_t*>(std::to_string(random()).c_str())));
  // Every storage's times and class id as the manifest has them.
  if (!WriteContainer(Utf8Path(temporary), entries, stamps, why)) {
    fs::remove(temporary, code);
    error = kalamos::Say("cannot write ", "не записать ") + file + ": " + why;
    return false;
  }
  fs::rename(temporary, target, code);
  if (code) {
    fs::remove(temporary, code);
    error = kalamos::Say("cannot write ", "не записать ") + file + ": " + code.message();
    return false;
  }
  return true;
}

int RunBuild(const std::string& folder, const std::string& container) {
  std::error_code code;
  const fs::path given = PathOf(container);
  // DIR (made when it ends with a slash) gets DIR/vellum.md, as pack writes it.
  if (!container.empty() && (container.back() == '/' || container.back() == '\\')) fs::create_directories(given, code);
  const std::string file = fs::is_directory(given, code) ? Utf8Path(given / "vellum.md") : container;
  std::string error;
  if (!BuildFolder(folder, file, error)) {
    for (size_t at = 0; (at = error.find('\n', at)) != std::string::npos; at += 9) error.insert(at + 1, "ostrak: ");
    Err("ostrak: " + error + kalamos::Say("\nostrak: the container is not written\n", "\nostrak: контейнер не записан\n"));
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace kalamos
