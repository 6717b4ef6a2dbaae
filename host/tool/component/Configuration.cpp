#include "host/tool/component/Component.h"

#include "metadata/MetaStore.h"
#include "methods/Functions.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

// A text parameter in UTF-8, straight from its BSTR; anything else is no text.
std::string TextOf(const TVariant& value) {
  const VARIANT* v = value.Get();
  if (v->vt != VT_BSTR || !v->bstrVal) return std::string();
  return WideToUtf8(v->bstrVal, SysStringLen(v->bstrVal));
}

class TDumper {
public:
  TDumper(TSession& session, std::string& said) : Session(session), Said(said) {}

  // Walks a listing to its end; a failing call ends it. Each item is the array after the call.
  std::vector<std::vector<TVariant>> Walk(LONG method, const WideString& name) {
    std::vector<std::vector<TVariant>> items;
    for (;;) {
      TCallOutcome outcome;
      HRESULT hr = Session.Call(method, {TVariant::Text(name)}, outcome);
      Keep();
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
    Keep();
    if (FAILED(hr)) return nullptr;
    if (outcome.Return.IsInt()) return outcome.Return.AsInt();
    if (outcome.Return.IsText()) return WideToUtf8(outcome.Return.AsWide());
    return nullptr;
  }

  TJson Attributes(LONG method, const WideString& name) {
    TJson list = TJson::array();
    for (auto& item : Walk(method, name)) {
      auto text = [&](size_t i) { return i < item.size() ? TextOf(item[i]) : std::string(); };
      auto number = [&](size_t i) { return i < item.size() ? item[i].AsInt() : 0; };
      list.push_back(TJson{{"name", text(1)}, {"type", number(2)}, {"kind", text(3)},
                           {"length", number(4)}, {"precision", number(5)}, {"ref", text(6)}});
    }
    return list;
  }

  TJson Pairs(LONG method, const WideString& name) {
    TJson list = TJson::array();
    for (auto& item : Walk(method, name))
      list.push_back(TJson::array({item.size() > 1 ? TextOf(item[1]) : std::string(),
                                   item.size() > 2 ? item[2].AsInt() : 0}));
    return list;
  }

  // The component's reports of a call, kept for the caller to show.
  void Keep() { Said += TakeReportsText(Session); }

  TSession& Session;
  std::string& Said;
};
}  // namespace

bool ReadConfiguration(const TSessionOptions& options, const std::string& path, TConfigurationSink& sink,
                       std::string& said) {
  TSession session(options);
  if (!StartAndLoad(session, path, said)) return false;
  TDumper dumper(session, said);

  // The English half of each kind table entry, in kind-index order.
  TJson objects = TJson::object();
  std::vector<std::vector<WideString>> byKind;
  for (int kind = 0; kind < KindCount; ++kind) {
    std::string entry = KindEntry(kind);
    std::string english = entry.substr(0, entry.find(':'));
    std::vector<WideString> names = dumper.Names(MethodEnumObjects, AnsiToWide(english));
    TJson list = TJson::array();
    for (auto& n : names) list.push_back(WideToUtf8(n));
    objects[AnsiToUtf8(english)] = std::move(list);
    byKind.push_back(std::move(names));
  }
  const auto& documents = byKind[KindDocument];
  const auto& catalogues = byKind[KindReference];
  const auto& registers = byKind[KindRegister];
  const auto& enumerations = byKind[KindEnum];
  sink.Objects(std::move(objects));

  sink.Open("documents");
  for (auto& n : documents)
    sink.Item(TJson{{"name", WideToUtf8(n)},
                    {"head", dumper.Attributes(MethodEnumDocHead, n)},
                    {"table", dumper.Attributes(MethodEnumDocTable, n)}});

  sink.Open("catalogues");
  for (auto& n : catalogues) {
    TJson owned = TJson::array();
    for (auto& o : dumper.Names(MethodEnumOwnedRefs, n)) owned.push_back(WideToUtf8(o));
    TJson settings = TJson::array();
    for (LONG i = 1; i <= 7; ++i)
      settings.push_back(dumper.Single(MethodRefInfo, {TVariant::Text(n), TVariant::Int(i)}));
    sink.Item(TJson{{"name", WideToUtf8(n)},
                    {"attributes", dumper.Attributes(MethodEnumRef, n)},
                    {"owned", std::move(owned)},
                    {"settings", std::move(settings)}});
  }

  sink.Open("registers");
  for (auto& n : registers)
    sink.Item(TJson{{"name", WideToUtf8(n)},
                    {"dimensions", dumper.Pairs(MethodEnumRegDim, n)},
                    {"resources", dumper.Pairs(MethodEnumRegRes, n)}});

  sink.Open("enumerations");
  for (auto& n : enumerations) {
    TJson values = TJson::array();
    for (auto& v : dumper.Names(MethodEnumValues, n))
      values.push_back(
          TJson{{"name", WideToUtf8(v)},
                {"internal", dumper.Single(MethodEnumValInternal, {TVariant::Text(n), TVariant::Text(v)})}});
    sink.Item(TJson{{"name", WideToUtf8(n)},
                    {"count", dumper.Single(MethodEnumValCount, {TVariant::Text(n)})},
                    {"values", std::move(values)}});
  }
  sink.End();
  return true;
}

TJsonWriter::TJsonWriter(const std::function<void(const std::string&)>& write) : Write(write) {}

void TJsonWriter::Objects(TJson objects) {
  Buffer += "{\n  \"objects\": ";
  Piece(objects, 2);
}

void TJsonWriter::Open(const std::string& section) {
  CloseSection();
  Buffer += ",\n  " + JsonText(section) + ": [";
  InSection = true;
  Items = 0;
}

void TJsonWriter::Item(TJson item) {
  Buffer += Items++ == 0 ? "\n    " : ",\n    ";
  Piece(item, 4);
  // Out in pieces: a large configuration's text need not be held whole.
  if (Buffer.size() >= (1u << 20)) Flush();
}

void TJsonWriter::End() {
  CloseSection();
  Buffer += "\n}\n";
  Flush();
}

void TJsonWriter::CloseSection() {
  if (InSection && Items > 0) Buffer += "\n  ]";
  else if (InSection) Buffer += "]";
  InSection = false;
}

void TJsonWriter::Piece(const TJson& value, size_t indent) { AppendPrettyJson(value, indent, Buffer); }

void TJsonWriter::Flush() {
  Write(Buffer);
  Buffer.clear();
}

}  // namespace kalamos
