// The language server's workspace inside: what its two halves (documents kept in step, and
// the answers to an editor's questions) share.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/tool/answers/Code.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/lsp/Lsp.h"
#include "host/tool/lsp/LspComponent.h"

namespace kalamos {


struct TLspWorkspace::TState {
  std::string Path;      // the folder or container, as given
  std::filesystem::path Folder;  // the unpacked folder; empty for a container
  bool Unpacked = false;
  TContents Contents;
  TCodeBase Base;
  std::map<std::string, int> ModuleByFile;  // file relative to the folder -> module
  std::vector<std::string> FileOf;          // module -> file relative to the folder ("" none)
  std::vector<std::optional<TComponentUse>> Component;  // per module, found when first asked

  const TModel& Model() const { return *Contents.Model; }
  const code::TModule& Module(int m) const { return Base.Set.Module(m); }
  const TComponentUse& ComponentOf(int m) {
    if (size_t(m) >= Component.size()) Component.resize(size_t(Base.Set.Count()));
    if (!Component[size_t(m)]) Component[size_t(m)] = FindComponentUse(Module(m));
    return *Component[size_t(m)];
  }
  void Replace(int m, std::string_view text) {
    Base.Set.Replace(m, text);
    if (size_t(m) < Component.size()) Component[size_t(m)].reset();
  }
  int Add(const std::string& name, std::string_view text) {
    const int m = Base.Set.Add(name, text);
    Base.Streams.push_back(nullptr);
    Base.Objects.push_back(-1);
    FileOf.emplace_back();
    return m;
  }
  // The object's description file in the folder, relative to it; empty when there is none.
  std::string ObjectFile(int32_t object) const {
    if (!Unpacked) return {};
    const TObject& o = Model().Object(object);
    std::string name = "#";
    if (o.Name.empty()) name += o.Id;
    else name = U(o.Name);
    std::string file = KindFolder(o.Kind);
    file += '/';
    file += SafeFileName(name);
    file += "/Метаданные.txt";
    std::error_code code;
    return std::filesystem::exists(Folder / PathOf(file), code) ? file : std::string();
  }
};

}  // namespace kalamos
