// ostrak procs, callers and check: the modules' code through the code layer, each answer
// placed as get_module places modules.
#include "host/tool/answers/Code.h"

#include <fstream>
#include <iterator>

#include "code/Letters.h"
#include "code/Navigation.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/answers/Queries.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/folder/Manifest.h"

namespace kalamos {

namespace {
// The storage a stream stands in, by the prefix of its name: "TypedText/ModuleText_Number1/MD
// Programm text" stands in ModuleText.
bool StandsIn(const std::string& path, std::string_view prefix) {
  const size_t last = path.rfind('/');
  if (last == std::string::npos) return false;
  const size_t first = path.rfind('/', last - 1);
  const std::string_view storage = std::string_view(path).substr(first == std::string::npos ? 0 : first + 1);
  return storage.substr(0, prefix.size()) == prefix && storage.substr(prefix.size(), 7) == "_Number";
}

int CodeKind(int kind, code::TObjectKind& out) {
  switch (kind) {
    case KindReference: out = code::TObjectKind::Catalog; return 1;
    case KindDocument: out = code::TObjectKind::Document; return 1;
    case KindEnum: out = code::TObjectKind::Enum; return 1;
    case KindRegister: out = code::TObjectKind::Register; return 1;
    case KindReport: out = code::TObjectKind::Report; return 1;
    case KindProcessing: out = code::TObjectKind::Processing; return 1;
    case KindDocJournal: out = code::TObjectKind::Journal; return 1;
    case KindConst: out = code::TObjectKind::Constant; return 1;
    default: return 0;
  }
}

// Where a module stands, for JSON and for people.
TJson Placed(const TContents& contents, const TCodeBase& base, int module) {
  const TModel& model = *contents.Model;
  const int32_t object = base.Objects[size_t(module)];
  TJson placed{{"stream", base.Streams[size_t(module)]->Stream->Path},
                {"kind", object >= 0 ? TJson(KindEnglish(model.Object(object).Kind)) : TJson(nullptr)},
                {"object", object >= 0 ? TJson(U(model.Object(object).Name)) : TJson(nullptr)},
                {"place", base.Streams[size_t(module)]->Words}};
  if (const auto file = base.Files.find(base.Streams[size_t(module)]->Stream->Path); file != base.Files.end())
    placed["file"] = file->second;
  return placed;
}

// A line of code as grep shows it: without the blanks it starts with.
std::string Trimmed(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t");
  return std::string(first == std::string_view::npos ? std::string_view() : line.substr(first));
}

// Where a module stands for people: its file in an unpacked folder (as editors and grep name
// places), else its object and place.
std::string PlaceWords(const TContents& contents, const TCodeBase& base, int module) {
  if (const auto file = base.Files.find(base.Streams[size_t(module)]->Stream->Path); file != base.Files.end())
    return file->second;
  return OwnerWords(contents, *base.Streams[size_t(module)]) + ": " + base.Streams[size_t(module)]->Words;
}

// The modules of the object a name gives (all of them for none); -1 with the refusal in
// answer when there is no such object.
bool ModulesNamed(const TContents& contents, const TCodeBase& base, const std::string& name, std::vector<int>& modules,
                  TAnswer& answer) {
  int32_t object = -2;
  if (!name.empty() && (object = OneObjectNamed(*contents.Model, name, answer)) < 0) return false;
  for (int m = 0; m < base.Set.Count(); ++m)
    if (object == -2 || base.Objects[size_t(m)] == object) modules.push_back(m);
  return true;
}

TJson ProcedureJson(const TContents& contents, const TCodeBase& base, int module, const code::TProcedure& p) {
  TJson params = TJson::array();
  for (const code::TParameter& parameter : p.Parameters)
    params.push_back(TJson{{"name", parameter.Name},
                           {"by_value", parameter.ByValue},
                           {"default", parameter.Default ? TJson(*parameter.Default) : TJson(nullptr)}});
  TJson entry = Placed(contents, base, module);
  entry["name"] = p.Name;
  entry["function"] = p.IsFunction;
  entry["export"] = p.Exported;
  entry["forward"] = p.Forward;
  entry["params"] = std::move(params);
  entry["line"] = p.FirstLine;
  entry["end_line"] = p.LastLine;
  return entry;
}
}  // namespace

void ReadFolderFiles(const std::string& path, TCodeBase& base) {
  if (!IsUnpackedFolder(path)) return;
  std::ifstream in(PathOf(path + "/" + FolderManifest), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TManifest manifest;
  size_t line = 0;
  std::string why;
  // A manifest that does not read has already stopped the folder from standing for a container.
  if (!ReadManifest(text, manifest, line, why)) return;
  for (const TManifestEntry& entry : manifest.Entries)
    if (!entry.Storage) base.Files[entry.Path] = entry.File;
}

void BuildCode(const TContents& contents, TCodeBase& base) {
  // The objects' modules in the objects' order, then the configuration's own, as module and
  // grep show them.
  std::vector<const TPlacedStream*> streams;
  for (size_t o = 0; o < contents.Model->Objects().size(); ++o)
    for (const TPlacedStream* stream : contents.StreamsOf(int32_t(o))) streams.push_back(stream);
  for (const TPlacedStream* stream : contents.StreamsOf(-1)) streams.push_back(stream);
  for (const TPlacedStream* placed : streams) {
    const TPlacedStream& stream = *placed;
    if (stream.Kind != TStreamKind::Module || StandsIn(stream.Stream->Path, "UserHelp")) continue;
    const TStreamText text = TextOfStream(stream);
    if (text.Damaged) continue;
    const int module = base.Set.Add(stream.Stream->Path, text.Text);
    base.Streams.push_back(&stream);
    base.Objects.push_back(stream.Object);
    if (stream.Object < 0 && StandsIn(stream.Stream->Path, "ModuleText")) base.Set.SetGlobal(module);
  }
  for (const TObject& object : contents.Model->Objects()) {
    code::TObjectKind kind;
    if (CodeKind(object.Kind, kind)) base.Known.Add(kind, U(object.Name));
  }
}

TAnswer AnswerProcedures(const TContents& contents, const TCodeBase& base, const std::string& object) {
  TAnswer answer;
  std::vector<int> modules;
  if (!ModulesNamed(contents, base, object, modules, answer)) return answer;
  TJson list = TJson::array();
  for (int m : modules) {
    const code::TModule& module = base.Set.Module(m);
    for (size_t p = 0; p < module.Procedures.size(); ++p) {
      const code::TProcedure& procedure = module.Procedures[p];
      list.push_back(ProcedureJson(contents, base, m, procedure));
      answer.Text += PlaceWords(contents, base, m) + ":" + std::to_string(procedure.FirstLine) +
                     (procedure.LastLine != procedure.FirstLine ? "-" + std::to_string(procedure.LastLine) : "") + ": " +
                     code::SignatureText(module, int(p)) + "\n";
    }
  }
  if (list.empty()) answer.Status = ExitFailed;
  answer.Json = TJson{{"procedures", std::move(list)}};
  return answer;
}

namespace {
// The procedure NAME names: the global module's export, or with Object.NAME / Kind.Object.NAME
// that object's.
bool TargetNamed(const TContents& contents, const TCodeBase& base, const std::string& name, code::TProcedureRef& target,
                 TAnswer& answer) {
  const size_t dot = name.rfind('.');
  const std::string procedure = dot == std::string::npos ? name : name.substr(dot + 1);
  const std::string key = code::Folded(procedure);
  std::vector<int> modules;
  if (dot != std::string::npos) {
    if (!ModulesNamed(contents, base, name.substr(0, dot), modules, answer)) return false;
  } else if (base.Set.Global() >= 0) {
    modules.push_back(base.Set.Global());
  }
  for (int m : modules) {
    const code::TModule& module = base.Set.Module(m);
    for (size_t p = 0; p < module.Procedures.size(); ++p) {
      const code::TProcedure& candidate = module.Procedures[p];
      if (candidate.Key != key || candidate.Forward) continue;
      if (dot == std::string::npos && !candidate.Exported) continue;
      target = {m, int(p)};
      return true;
    }
  }
  answer = Refused(ExitFailed, dot == std::string::npos
                                   ? Say("the global module exports no procedure ", "в глобальном модуле нет экспортной процедуры ") + procedure
                                   : Say("no procedure ", "нет процедуры ") + procedure +
                                         Say(" in the modules of ", " в модулях ") + name.substr(0, dot));
  return false;
}
}  // namespace

TAnswer AnswerCallers(const TContents& contents, const TCodeBase& base, const std::string& name) {
  TAnswer answer;
  code::TProcedureRef target;
  if (name.empty()) return Refused(ExitUsage, Say("callers: NAME is empty", "callers: пустое ИМЯ"));
  if (!TargetNamed(contents, base, name, target, answer)) return answer;
  TJson calls = TJson::array();
  for (const code::TCallRef& ref : base.Set.CallersOf(target)) {
    const code::TModule& module = base.Set.Module(ref.Module);
    const code::TCall& call = module.Calls[size_t(ref.Call)];
    TJson entry = Placed(contents, base, ref.Module);
    entry["line"] = call.Line;
    entry["column"] = call.Column;
    entry["in"] = call.Procedure >= 0 ? TJson(module.Procedures[size_t(call.Procedure)].Name) : TJson(nullptr);
    calls.push_back(std::move(entry));
    answer.Text += PlaceWords(contents, base, ref.Module) + ":" + std::to_string(call.Line) + ":" +
                   std::to_string(call.Column) + ": " + Trimmed(module.LineText(call.Line)) + "\n";
  }
  if (calls.empty()) answer.Status = ExitFailed;
  answer.Json = TJson{{"calls", std::move(calls)}};
  return answer;
}

TAnswer AnswerCheck(const TContents& contents, const TCodeBase& base, const std::string& object) {
  TAnswer answer;
  std::vector<int> modules;
  if (!ModulesNamed(contents, base, object, modules, answer)) return answer;
  TJson list = TJson::array();
  for (int m : modules) {
    for (const code::TDiagnostic& d : base.Set.Check(m, base.Known)) {
      const bool error = d.Severity == code::TSeverity::Error;
      TJson entry = Placed(contents, base, m);
      entry["line"] = d.Line;
      entry["column"] = d.Column;
      entry["severity"] = error ? "error" : "warning";
      entry["code"] = d.Code;
      entry["message"] = d.Message;
      entry["name"] = d.Name.empty() ? TJson(nullptr) : TJson(d.Name);
      list.push_back(std::move(entry));
      answer.Text += PlaceWords(contents, base, m) + ":" + std::to_string(d.Line) + ":" + std::to_string(d.Column) + ": " +
                     (error ? "ошибка" : "предупреждение") + ": " + d.Message + " [" + d.Code + "]\n";
    }
  }
  if (!list.empty()) answer.Status = ExitFailed;
  answer.Json = TJson{{"diagnostics", std::move(list)}};
  return answer;
}

TAnswer AnswerProcedure(const TContents& contents, const TCodeBase& base, const std::string& name,
                        const std::string& object) {
  TAnswer answer;
  std::vector<int> modules;
  if (object.empty()) {
    if (base.Set.Global() >= 0) modules.push_back(base.Set.Global());
  } else if (!ModulesNamed(contents, base, object, modules, answer)) {
    return answer;
  }
  const std::string key = code::Folded(name);
  for (int m : modules) {
    const code::TModule& module = base.Set.Module(m);
    for (size_t p = 0; p < module.Procedures.size(); ++p) {
      const code::TProcedure& procedure = module.Procedures[p];
      if (procedure.Key != key || procedure.Forward) continue;
      TJson lines = TJson::array();
      answer.Text = PlaceWords(contents, base, m) + ": " + code::SignatureText(module, int(p)) + "\n";
      const std::vector<std::string> comment = code::CommentAbove(module, int(p));
      for (const std::string& line : comment) answer.Text += "// " + line + "\n";
      const size_t width = std::to_string(procedure.LastLine).size();
      for (int line = procedure.FirstLine; line <= procedure.LastLine; ++line) {
        const std::string text(module.LineText(line));
        lines.push_back(text);
        const std::string number = std::to_string(line);
        answer.Text += std::string(width - number.size() + 2, ' ') + number + ": " + text + "\n";
      }
      answer.Json = Placed(contents, base, m);
      answer.Json["signature"] = code::SignatureText(module, int(p));
      answer.Json["comment"] = comment;
      answer.Json["line"] = procedure.FirstLine;
      answer.Json["end_line"] = procedure.LastLine;
      answer.Json["lines"] = std::move(lines);
      return answer;
    }
  }
  return Refused(ExitFailed, Say("no procedure ", "нет процедуры ") + name +
                                 (object.empty() ? Say(" in the global module", " в глобальном модуле")
                                                 : Say(" in the modules of ", " в модулях ") + object));
}

namespace {
int RunOnCode(const std::string& path, bool json, TAnswer (*answer)(const TContents&, const TCodeBase&, const std::string&),
              const std::string& name) {
  TContents contents;
  if (!LoadContentsOrSay(path, contents)) return ExitFailed;
  TCodeBase base;
  BuildCode(contents, base);
  ReadFolderFiles(path, base);
  return PrintAnswer(answer(contents, base, name), json);
}
}  // namespace

int RunProcedures(const std::string& path, const std::string& object, bool json) {
  return RunOnCode(path, json, AnswerProcedures, object);
}
int RunCallers(const std::string& path, const std::string& name, bool json) {
  return RunOnCode(path, json, AnswerCallers, name);
}
int RunCheck(const std::string& path, const std::string& object, bool json) {
  return RunOnCode(path, json, AnswerCheck, object);
}

}  // namespace kalamos
