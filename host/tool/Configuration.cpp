#include "host/tool/Configuration.h"

#include "metadata/MetaStore.h"
#include "platform/Text.h"
#include "shell/Tables.h"

namespace {
// Method numbers, fixed by the component's method table.
enum : LONG {
  MEnumDocHead = 4, MEnumDocTable = 5, MEnumRef = 6, MEnumRegDim = 7, MEnumRegRes = 8, MEnumValues = 9,
  MEnumObjects = 10, MEnumOwnedRefs = 11, MEnumValCount = 14, MEnumValInternal = 16, MRefInfo = 18,
};

std::string Utf8(const WideString& text) { return WideToUtf8(text.data(), text.size()); }

class TDumper {
public:
  explicit TDumper(TSession& session) : Session(session) {}

  // Walks a listing to its end; a failing call ends it. Each item is the array after the call.
  std::vector<std::vector<TVariant>> Walk(LONG method, const WideString& name) {
    std::vector<std::vector<TVariant>> items;
    for (;;) {
      TCallOutcome outcome;
      HRESULT hr = Session.Call(method, {TVariant::Text(name)}, outcome);
      PrintReports(Session);
      if (FAILED(hr) || !outcome.Return.IsInt() || outcome.Return.AsInt() == 0) return items;
      items.push_back(std::move(outcome.Params));
    }
  }

  std::vector<WideString> Names(LONG method, const WideString& name) {
    std::vector<WideString> names;
    for (auto& item : Walk(method, name)) names.push_back(item.size() > 1 ? item[1].AsWide() : WideString());
    return names;
  }

  // A single call with the given arguments; null when it fails.
  TJson Single(LONG method, std::vector<TVariant> args) {
    TCallOutcome outcome;
    HRESULT hr = Session.Call(method, args, outcome);
    PrintReports(Session);
    if (FAILED(hr)) return nullptr;
    if (outcome.Return.IsInt()) return outcome.Return.AsInt();
    if (outcome.Return.IsText()) return Utf8(outcome.Return.AsWide());
    return nullptr;
  }

  TJson Attributes(LONG method, const WideString& name) {
    TJson list = TJson::array();
    for (auto& item : Walk(method, name)) {
      auto text = [&](size_t i) { return i < item.size() ? Utf8(item[i].AsWide()) : std::string(); };
      auto number = [&](size_t i) { return i < item.size() ? item[i].AsInt() : 0; };
      list.push_back(TJson{{"name", text(1)}, {"type", number(2)}, {"kind", text(3)},
                           {"length", number(4)}, {"precision", number(5)}, {"ref", text(6)}});
    }
    return list;
  }

  TJson Pairs(LONG method, const WideString& name) {
    TJson list = TJson::array();
    for (auto& item : Walk(method, name))
      list.push_back(TJson::array({Utf8(item.size() > 1 ? item[1].AsWide() : WideString()),
                                   item.size() > 2 ? item[2].AsInt() : 0}));
    return list;
  }

  TSession& Session;
};
}  // namespace

bool ReadConfiguration(const TSessionOptions& options, const std::string& path, TJson& out, int& status) {
  TSession session(options);
  if (!StartAndLoad(session, path, status)) return false;
  TDumper dumper(session);

  // The English half of each kind table entry, in kind-index order.
  TJson objects = TJson::object();
  std::vector<std::vector<WideString>> byKind;
  for (int kind = 0; kind < KindCount; ++kind) {
    std::string entry = KindEntry(kind);
    std::string english = entry.substr(0, entry.find(':'));
    std::vector<WideString> names = dumper.Names(MEnumObjects, AnsiToWide(english));
    TJson list = TJson::array();
    for (auto& n : names) list.push_back(Utf8(n));
    objects[AnsiToUtf8(english)] = std::move(list);
    byKind.push_back(std::move(names));
  }
  const auto& documents = byKind[7];
  const auto& catalogues = byKind[5];
  const auto& registers = byKind[6];
  const auto& enumerations = byKind[9];

  out = TJson::object();
  out["objects"] = std::move(objects);

  TJson docs = TJson::array();
  for (auto& n : documents)
    docs.push_back(TJson{{"name", Utf8(n)},
                         {"head", dumper.Attributes(MEnumDocHead, n)},
                         {"table", dumper.Attributes(MEnumDocTable, n)}});
  out["documents"] = std::move(docs);

  TJson refs = TJson::array();
  for (auto& n : catalogues) {
    TJson owned = TJson::array();
    for (auto& o : dumper.Names(MEnumOwnedRefs, n)) owned.push_back(Utf8(o));
    TJson settings = TJson::array();
    for (LONG i = 1; i <= 7; ++i) settings.push_back(dumper.Single(MRefInfo, {TVariant::Text(n), TVariant::Int(i)}));
    refs.push_back(TJson{{"name", Utf8(n)},
                         {"attributes", dumper.Attributes(MEnumRef, n)},
                         {"owned", std::move(owned)},
                         {"settings", std::move(settings)}});
  }
  out["catalogues"] = std::move(refs);

  TJson regs = TJson::array();
  for (auto& n : registers)
    regs.push_back(TJson{{"name", Utf8(n)},
                         {"dimensions", dumper.Pairs(MEnumRegDim, n)},
                         {"resources", dumper.Pairs(MEnumRegRes, n)}});
  out["registers"] = std::move(regs);

  TJson enums = TJson::array();
  for (auto& n : enumerations) {
    TJson values = TJson::array();
    for (auto& v : dumper.Names(MEnumValues, n))
      values.push_back(TJson{{"name", Utf8(v)},
                             {"internal", dumper.Single(MEnumValInternal, {TVariant::Text(n), TVariant::Text(v)})}});
    enums.push_back(TJson{{"name", Utf8(n)},
                          {"count", dumper.Single(MEnumValCount, {TVariant::Text(n)})},
                          {"values", std::move(values)}});
  }
  out["enumerations"] = std::move(enums);
  return true;
}

std::string JsonText(const TJson& value, int indent) {
  return value.dump(indent, ' ', false, TJson::error_handler_t::replace);
}
