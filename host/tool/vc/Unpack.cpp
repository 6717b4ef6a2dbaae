// ostrak unpack: a container as a folder of files.
#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "host/tool/ground/Ground.h"
#include "host/tool/model/Source.h"
#include "host/tool/vc/Vc.h"
#include "host/tool/answers/Contents.h"
#include "host/tool/model/Model.h"
#include "host/tool/container/Streams.h"
#include "host/tool/folder/Codec.h"
#include "host/tool/folder/Directory.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/folder/Manifest.h"
#include "platform/Text.h"

namespace kalamos {

namespace fs = std::filesystem;

// Named, not anonymous: the tool's library is compiled as one unit.
namespace unpacking {

constexpr std::string_view DescriptionPath = "Metadata/Main MetaData Stream";
struct TWalked {
  TStorageStamp RootStamp;
  std::vector<TManifestEntry> Storages;  // in walk order, storages before what they hold
  std::vector<std::pair<size_t, TContainerStream>> Streams;  // with the count of storages before it
};

// Every storage and stream, children in the order of their UTF-8 names on every platform.
void Walk(TStorage& storage, const std::string& prefix, int depth, TWalked& walked) {
  std::vector<TStorageChild> children;
  if (depth > 32 || FAILED(ListChildren(storage, children))) return;
  std::vector<std::pair<std::string, TStorageChild>> named;
  for (TStorageChild& child : children) named.emplace_back(WideToUtf8(child.Name), std::move(child));
  std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [name, child] : named) {
    const std::string path = prefix + name;
    if (child.IsStorage) {
      TStorage inner;
      if (FAILED(OpenChildStorage(storage, child.Name, inner))) continue;
      TManifestEntry entry;
      entry.Storage = true;
      entry.Path = path;
      walked.Storages.push_back(std::move(entry));
      Walk(inner, path + "/", depth + 1, walked);
      continue;
    }
    TStream stream;
    uint64_t size = 0;
    if (FAILED(OpenChildStream(storage, child.Name, stream)) || FAILED(StreamSize(stream, size)) || size > 0xFFFFFFFFu)
      continue;
    std::string bytes(size_t(size), '\0');
    uint32_t read = 0;
    if (size && FAILED(StreamRead(stream, bytes.data(), uint32_t(size), read))) continue;
    bytes.resize(read);
    walked.Streams.push_back({walked.Storages.size(), {path, std::move(bytes)}});
  }
}

// File names are unique whatever the letter case, as Windows needs them.
class TNames {
public:
  std::string Take(const std::string& dir, const std::string& stem, const std::string& ext) {
    const std::string base = (dir.empty() ? "" : dir + "/") + stem;
    std::string name = base + ext;
    for (int n = 2; !Used.insert(AnsiUpper(Utf8ToAnsi(name))).second; ++n) name = base + " (" + std::to_string(n) + ")" + ext;
    return name;
  }

private:
  std::set<std::string> Used;
};

std::string Capitalised(const std::string& utf8) {
  std::string ansi = Utf8ToAnsi(utf8);
  if (!ansi.empty()) AnsiUpperInPlace(ansi.data(), 1);
  return AnsiToUtf8(ansi);
}

std::string SafePath(const std::string& path) {
  std::string out;
  size_t at = 0;
  for (;;) {
    const size_t slash = path.find('/', at);
    out += SafeFileName(path.substr(at, slash - at));
    if (slash == std::string::npos) return out;
    out += '/';
    at = slash + 1;
  }
}

// Text in the code page that comes back byte for byte from UTF-8: else it stays bytes. Only
// 0x98 has no character in 1251; 866 has one for every byte.
bool Convertible(std::string_view text, unsigned codePage) {
  if (codePage != 1251 || text.find('\x98') == std::string_view::npos) return true;
  return Utf8ToCodePage(CodePageToUtf8(text, codePage), codePage) == text;
}
bool AsText(std::string_view text, unsigned codePage, std::string& utf8) {
  if (!Convertible(text, codePage)) return false;
  utf8 = FromCodePage(text, codePage);
  return true;
}

struct TFileOut {
  std::string File, Bytes;
};

bool WriteWholeFile(const fs::path& path, const std::string& bytes, std::set<fs::path>& made) {
  std::error_code code;
  if (made.insert(path.parent_path()).second) fs::create_directories(path.parent_path(), code);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out.flush());
}

// The description: a skeleton with "@"file"" where each object's list stood, and a file per object.
bool SplitDescription(const std::string& bytes, const TModel* model, const std::vector<std::string>& objectDirs,
                      TManifestEntry& entry, std::vector<TFileOut>& files) {
  const size_t start = bytes.size() > 3 && bytes[3] == '{' ? 3 : 7;
  if (bytes.size() < start) return false;
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[i])); };
  const size_t rest = bytes.size() - start;
  if (start == 3 && byte(0) == 0xFF && (byte(1) | byte(2) << 8) == (rest & 0xFFFF)) entry.Options["preamble"] = "short";
  else if (start == 7 && byte(0) == 0xFF && byte(1) == 0xFF && byte(2) == 0xFF &&
           (byte(3) | byte(4) << 8 | byte(5) << 16 | byte(6) << 24) == rest)
    entry.Options["preamble"] = "long";
  else entry.Options["preamble"] = Hex(std::string_view(bytes).substr(0, start));

  const TTextBuffer text = NormaliseStreamBytes(bytes);
  const bool oem = text.Bytes.compare(0, bytes.size(), bytes) != 0;
  const unsigned codePage = oem ? 866 : 1251;
  entry.Options["cp"] = std::to_string(codePage);
  const std::string_view body = std::string_view(bytes).substr(start);
  if (!Convertible(body, codePage)) return false;
  const std::string ends = LineEnds(body);
  entry.Options["eol"] = ends;

  // Only a description whose lists balance, and with no "@" of ours outside quotes, is split.
  std::string why;
  bool split = BraceTrouble(body, false, why) == 0;
  // One that never balanced is kept as it is, and build does not hold that against it.
  if (!split) entry.Options["braces"] = "unbalanced";
  for (size_t i = 0, quoted = 0; split && i < body.size(); ++i) {
    if (body[i] == '"') quoted ^= 1;
    else if (body[i] == '@' && !quoted) split = false;
  }
  const TTree& tree = model->Tree();
  std::vector<std::pair<int32_t, int32_t>> lists;  // node, object
  if (split) {
    std::set<int32_t> nodes;
    for (const TObject& object : model->Objects()) nodes.insert(object.Node);
    for (size_t i = 0; i < model->Objects().size(); ++i) {
      const int32_t node = model->Objects()[i].Node;
      bool nested = false;
      for (int32_t up = tree.Node(node).Parent; up > 0 && !nested; up = tree.Node(up).Parent) nested = nodes.count(up) > 0;
      if (!nested) lists.push_back({node, int32_t(i)});
    }
    std::sort(lists.begin(), lists.end(),
              [&](const auto& a, const auto& b) { return tree.Node(a.first).Begin < tree.Node(b.first).Begin; });
    for (const auto& [node, object] : lists) {
      const TTreeNode& n = tree.Node(node);
      if (n.Begin < start || n.End >= bytes.size() || std::string_view(body).substr(n.Begin - start, n.End - n.Begin + 1) != tree.Raw(node)) {
        split = false;
        break;
      }
    }
  }
  std::string skeleton;  // UTF-8
  size_t at = 0;
  if (split)
    for (const auto& [node, object] : lists) {
      const TTreeNode& n = tree.Node(node);
      const std::string file = objectDirs[size_t(object)] + "/Метаданные.txt";
      skeleton += FromCodePage(body.substr(at, n.Begin - start - at), codePage);
      skeleton += "@\"" + file + "\"";
      files.push_back({file, ToFileLines(FromCodePage(tree.Raw(node), codePage), ends)});
      at = n.End + 1 - start;
    }
  skeleton += FromCodePage(body.substr(at), codePage);
  files.push_back({entry.File, ToFileLines(skeleton, ends)});
  return true;
}

}  // namespace unpacking
using namespace unpacking;

int RunUnpack(const std::string& container, const std::string& folder) {
  TSource source;
  std::string error;
  if (!FindSource(container, source, error)) {
    Err("ostrak: " + error + "\n");
    return ExitFailed;
  }
  TWalked walked;
  {
    TStorage root;
    HRESULT hr = OpenRootStorage(Utf8ToWide(source.File), root);
    if (FAILED(hr)) {
      Err("ostrak: " + DiagnoseContainer(source.File, source.Shown) + "\n");
      return ExitFailed;
    }
    Walk(root, std::string(), 0, walked);
  }
  std::map<std::string, TStorageStamp> stamps;
  if (!ReadStamps(source.File, stamps, error)) {
    Err("ostrak: " + source.Shown + ": " + error + "\n");
    return ExitFailed;
  }
  walked.RootStamp = stamps[""];
  for (TManifestEntry& storage : walked.Storages) storage.Stamp = stamps[storage.Path];

  // The description first: it names the objects that the other streams' folders are named after.
  TManifest manifest;
  std::vector<TFileOut> files;
  std::unique_ptr<TModel> model;
  std::vector<std::string> objectDirs;
  TNames names;
  names.Take("", FolderManifest, "");
  const TContainerStream* description = nullptr;
  for (const auto& [storages, stream] : walked.Streams)
    if (stream.Path == DescriptionPath) description = &stream;
  TManifestEntry descriptionEntry;
  if (description && description->Bytes.empty()) description = nullptr;  // then it is bytes like any other
  if (description) {
    model = std::make_unique<TModel>(NormaliseStreamBytes(description->Bytes));
    for (const TObject& object : model->Objects()) {
      const std::string kind = KindFolder(object.Kind);
      const std::string name = object.Name.empty() ? "#" + std::string(object.Id) : U(object.Name);
      objectDirs.push_back(names.Take(kind, SafeFileName(name), ""));
    }
    descriptionEntry.Path = std::string(DescriptionPath);
    descriptionEntry.How = "description";
    descriptionEntry.File = names.Take("", "Метаданные", ".txt");
    if (!SplitDescription(description->Bytes, model.get(), objectDirs, descriptionEntry, files)) {
      descriptionEntry.How = "bytes";
      descriptionEntry.Options.clear();
      descriptionEntry.File = names.Take("Контейнер", "Metadata/Main MetaData Stream", "");
      files.push_back({descriptionEntry.File, description->Bytes});
    }
  }

  TManifestEntry rootEntry;
  rootEntry.Storage = true;
  rootEntry.Stamp = walked.RootStamp;
  manifest.Entries.push_back(rootEntry);
  size_t storagesWritten = 0;
  for (const auto& [storages, stream] : walked.Streams) {
    while (storagesWritten < storages) manifest.Entries.push_back(walked.Storages[storagesWritten++]);
    if (&stream == description) {
      manifest.Entries.push_back(descriptionEntry);
      continue;
    }
    TStreamKind kind;
    TStreamRole role;
    std::string id, words, key;
    PlaceOf(stream.Path, kind, id, words, key, &role);
    const int32_t object = model && !id.empty() ? model->ObjectById(id) : -1;
    TManifestEntry entry;
    entry.Path = stream.Path;
    entry.How = "bytes";
    std::string utf8;
    if (kind == TStreamKind::Module) {
      std::string plain;
      if (InflateRaw(stream.Bytes, plain) == TInflated::Ok && AsText(plain, 1251, utf8)) {
        entry.How = "module";
        entry.Options["eol"] = LineEnds(plain);
        // The level zlib gives these very bytes at; else the text alone is kept.
        std::string level = "6";
        for (int tried : {6, 9, 1, 2, 3, 4, 5, 7, 8})
          if (DeflateRaw(plain, tried) == stream.Bytes) {
            level = std::to_string(tried);
            break;
          }
        entry.Options["deflate"] = level;
        utf8 = ToFileLines(utf8, entry.Options["eol"]);
      }
    } else if (kind == TStreamKind::Form) {
      const size_t prefix = FormPrefix(stream.Bytes);
      const std::string_view text = std::string_view(stream.Bytes).substr(prefix);
      const uint32_t length = prefix == 3 ? uint32_t(static_cast<unsigned char>(stream.Bytes[1]) | static_cast<unsigned char>(stream.Bytes[2]) << 8)
                                          : prefix == 7 ? uint32_t(stream.Bytes.size() - 7) : 0;
      if (prefix && length == text.size() && AsText(text, 1251, utf8)) {
        entry.How = "form";
        entry.Options["prefix"] = std::to_string(prefix);
        entry.Options["eol"] = LineEnds(text);
        if (prefix == 7) {
          const auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(stream.Bytes[i])); };
          if ((byte(3) | byte(4) << 8 | byte(5) << 16 | byte(6) << 24) != text.size()) entry.How = "bytes";
        }
        utf8 = ToFileLines(utf8, entry.Options["eol"]);
      }
    }
    if (entry.How == "bytes") entry.Options.clear();
    const bool text = entry.How != "bytes";
    const std::string name = stream.Path.substr(stream.Path.rfind('/') + 1);
    const bool layout = role == TStreamRole::Layout;
    // Named after the object and its place; what has no words keeps its storages' names.
    if (object >= 0 && role != TStreamRole::Unplaced && words.find('/') == std::string::npos && (text || layout))
      entry.File = names.Take(objectDirs[size_t(object)], SafeFileName(Capitalised(words)), text ? ".txt" : ".mxl");
    else if (object >= 0) {
      const size_t mark = stream.Path.find("_Number" + id);
      const size_t below = stream.Path.find('/', mark);
      entry.File = names.Take(objectDirs[size_t(object)], SafePath(stream.Path.substr(below + 1)), "");
    } else if (role == TStreamRole::GlobalModule && text)
      entry.File = names.Take("", "Глобальный модуль", ".txt");
    else entry.File = names.Take("Контейнер", SafePath(stream.Path), text ? ".txt" : "");
    files.push_back({entry.File, text ? utf8 : stream.Bytes});
    manifest.Entries.push_back(std::move(entry));
  }
  while (storagesWritten < walked.Storages.size()) manifest.Entries.push_back(walked.Storages[storagesWritten++]);

  // Into an empty folder, or over an earlier unpack (what starts with "." stays: .git and the like).
  const fs::path target = PathOf(folder);
  std::error_code code;
  if (fs::exists(target, code)) {
    if (!fs::is_directory(target, code)) {
      Err("ostrak: " + folder + kalamos::Say(": not a folder\n", ": это не папка\n"));
      return ExitFailed;
    }
    const bool ours = fs::exists(target / FolderManifest, code);
    for (const fs::directory_entry& item : fs::directory_iterator(target, code)) {
      const std::u8string leaf = item.path().filename().u8string();
      if (!leaf.empty() && leaf[0] == u8'.') continue;
      if (!ours) {
        Err("ostrak: " + folder + kalamos::Say(": the folder is not empty and not an unpacked one (no ", ": папка не пуста и не похожа на распакованную (нет ") + FolderManifest + ")\n");
        return ExitFailed;
      }
    }
    if (ours)
      for (const fs::directory_entry& item : fs::directory_iterator(target, code)) {
        const std::u8string leaf = item.path().filename().u8string();
        if (leaf.empty() || leaf[0] != u8'.') fs::remove_all(item.path(), code);
      }
  }
  std::set<fs::path> made;
  for (const TFileOut& file : files)
    if (!WriteWholeFile(target / PathOf(file.File), file.Bytes, made)) {
      Err(kalamos::Say("ostrak: cannot write ", "ostrak: не записать ") + folder + "/" + file.File + "\n");
      return ExitFailed;
    }
  if (!WriteWholeFile(target / FolderManifest, WriteManifest(manifest), made)) {
    Err(kalamos::Say("ostrak: cannot write ", "ostrak: не записать ") + folder + "/" + FolderManifest + "\n");
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace kalamos
