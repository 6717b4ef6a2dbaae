#include "host/tool/answers/Contents.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "host/tool/answers/Queries.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/ground/LineDiff.h"
#include "host/tool/ground/Out.h"
#include "host/tool/model/Source.h"
#include "platform/Text.h"

namespace kalamos {

using namespace std::literals;

namespace {
// Its bytes differ with the code page and the preamble, which change nothing; the lines of
// the description stand for it.
constexpr std::string_view DescriptionStream = "Metadata/Main MetaData Stream";
constexpr std::string_view ModuleStream = "MD Programm text", FormStream = "Dialog Stream";

bool Digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (;;) {
    const size_t slash = path.find('/', at);
    parts.push_back(path.substr(at, slash - at));
    if (slash == std::string::npos) return parts;
    at = slash + 1;
  }
}

// Bytes below 0x20 other than tab and line ends would break the lines or the terminal.
std::string Printable(std::string_view ansi) {
  std::string text(ansi);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') c = '?';
  return text;
}
}  // namespace

size_t FormPrefix(std::string_view bytes) {
  // A byte 0xFF, then the length in 16 bits; 0xFFFF there means 32 bits follow.
  if (bytes.size() < 3 || static_cast<unsigned char>(bytes[0]) != 0xFF) return 0;
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[i])); };
  uint32_t length = byte(1) | byte(2) << 8;
  size_t prefix = 3;
  if (length == 0xFFFF && bytes.size() >= 7) {
    length = byte(3) | byte(4) << 8 | byte(5) << 16 | byte(6) << 24;
    prefix = 7;
  }
  return length <= bytes.size() - prefix ? prefix : 0;
}

void PlaceOf(const std::string& path, TStreamKind& kind, std::string& id, std::string& words, std::string& key,
             TStreamRole* role) {
  TStreamRole is = TStreamRole::Placed;
  const std::vector<std::string> parts = Segments(path);
  const std::string& name = parts.back();
  kind = name == ModuleStream ? TStreamKind::Module : name == FormStream ? TStreamKind::Form : TStreamKind::Other;
  id.clear();
  key = path;
  // The deepest storage named PREFIX_Number<identifier> owns the stream.
  std::string prefix, below;
  for (size_t i = parts.size() - 1; i-- > 0;) {
    const size_t mark = parts[i].rfind("_Number");
    if (mark == std::string::npos || !Digits(std::string_view(parts[i]).substr(mark + 7))) continue;
    prefix = parts[i].substr(0, mark);
    id = parts[i].substr(mark + 7);
    for (size_t j = i + 1; j + 1 < parts.size(); ++j) below += parts[j] + "/";
    key.clear();
    for (size_t j = 0; j < parts.size(); ++j) key += (j ? "/" : "") + (j == i ? prefix + "_Number*" : parts[j]);
    break;
  }
  const bool workBook = below == "WorkBook/";
  const std::string list = prefix == "SubList" ? " списка" : "";
  if (kind == TStreamKind::Module && prefix == "ModuleText" && below.empty())
    words = "глобальный модуль", is = TStreamRole::GlobalModule;
  // An object's help text, kept as modules are.
  else if (kind == TStreamKind::Module && prefix == "UserHelp" && below.empty()) words = "описание";
  else if (kind == TStreamKind::Module && prefix == "Transact" && below.empty()) words = "модуль документа";
  else if (kind == TStreamKind::Module && workBook) words = "модуль формы" + list;
  else if (kind == TStreamKind::Form && workBook) words = "форма" + list;
  // Another form of the object (a catalogue has more than one): by its storage's name.
  else if (kind == TStreamKind::Module && !id.empty() && below.size() > 1 && below.find('/') == below.size() - 1)
    words = "модуль формы" + list + " (" + below.substr(0, below.size() - 1) + ")";
  else if (kind == TStreamKind::Form && !id.empty() && below.size() > 1 && below.find('/') == below.size() - 1)
    words = "форма" + list + " (" + below.substr(0, below.size() - 1) + ")";
  else if (kind == TStreamKind::Module) words = "модуль " + path, is = TStreamRole::Unplaced;
  else if (kind == TStreamKind::Form) words = "форма " + path, is = TStreamRole::Unplaced;
  // A print layout: a worksheet beside the object's form.
  else if (name.rfind("Page.", 0) == 0 && Digits(std::string_view(name).substr(5)) && !id.empty())
    words = "макет " + name.substr(5) + list, is = TStreamRole::Layout;
  else words = path, is = TStreamRole::Unplaced;
  if (role) *role = is;
}

TStreamText TextOfStream(const TPlacedStream& stream) {
  TStreamText text = AnsiTextOfStream(stream);
  text.Text = U(text.Text);
  return text;
}

TStreamText AnsiTextOfStream(const TPlacedStream& stream) {
  TStreamText text;
  const std::string& bytes = stream.Stream->Bytes;
  if (stream.Kind == TStreamKind::Form) {
    text.Text = Printable(std::string_view(bytes).substr(FormPrefix(bytes)));
  } else if (stream.Kind == TStreamKind::Module && !bytes.empty()) {
    std::string plain;
    switch (InflateRaw(bytes, plain)) {
      case TInflated::Ok: text.Text = Printable(plain); break;
      case TInflated::Damaged: text.Damaged = true, text.Why = "не распаковывается"; break;
      case TInflated::TooLarge: text.Damaged = true, text.Why = "распакованный больше 64 МБ"; break;
    }
  }
  return text;
}

std::vector<const TPlacedStream*> TContents::StreamsOf(int32_t object) const {
  std::vector<const TPlacedStream*> out;
  auto found = ByObject.find(object);
  if (found != ByObject.end())
    for (size_t i : found->second) out.push_back(&Placed[i]);
  return out;
}

bool IsBookkeeping(std::string_view path) {
  const std::string_view name = path.substr(path.rfind('/') + 1);
  return name == "Container.Contents" || name == "Container.Profile" || name == "GUIDData";
}

bool LoadContents(const std::string& path, TContents& contents, std::string& error, bool all) {
  contents.Model = LoadModel(path, error);
  if (!contents.Model) return false;
  TSource source;
  if (!FindSource(path, source, error)) return false;
  // The description's own stream is the model's; its lines stand for it.
  if (const HRESULT hr = ReadContainerStreams(Utf8ToWide(source.File), contents.Streams, std::string(DescriptionStream));
      FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(hr)));
    error = DiagnoseContainer(source.File, source.Shown,
                              Say("the container's streams cannot be read (", "потоки контейнера не читаются (") + code + ")");
    return false;
  }
  const TModel& m = *contents.Model;
  for (const TContainerStream& stream : contents.Streams) {
    if (!all && IsBookkeeping(stream.Path)) continue;
    TPlacedStream placed;
    placed.Stream = &stream;
    std::string id;
    PlaceOf(stream.Path, placed.Kind, id, placed.Words, placed.Key, &placed.Role);
    // The configuration-wide module stands with the container's own streams.
    if (!id.empty() && placed.Role != TStreamRole::GlobalModule) {
      const TLocation where = m.Locate(Utf8ToAnsi(id));
      placed.Object = where.Object;
      // An identifier of an item (a list form of a catalogue) names it.
      if (where.Object >= 0 && !where.Item.empty()) placed.Words += " " + U(where.Item);
      else if (where.Object >= 0 && !where.Part.empty()) placed.Words += " " + PartWordsOf(where.Part);
      // A storage of no object in the description: only its path says where it stands.
      else if (where.Object < 0 && placed.Kind != TStreamKind::Other)
        placed.Words = (placed.Kind == TStreamKind::Module ? "модуль " : "форма ") + stream.Path;
    }
    contents.Placed.push_back(std::move(placed));
  }
  std::stable_sort(contents.Placed.begin(), contents.Placed.end(), [](const TPlacedStream& a, const TPlacedStream& b) {
    return a.Kind < b.Kind;
  });
  for (size_t i = 0; i < contents.Placed.size(); ++i) contents.ByObject[contents.Placed[i].Object].push_back(i);
  return true;
}

std::vector<TFact> ObjectFacts(const TModel& model, int32_t index, bool raw) {
  const TObject& object = model.Object(index);
  std::vector<TFact> facts;
  auto idOf = [&](int32_t o) { return o >= 0 ? std::string(model.Object(o).Id) : std::string(); };
  facts.push_back({"id", "идентификатор", U(object.Id), U(object.Id), std::string(object.Id)});
  if (!object.Comment.empty())
    facts.push_back({"comment", "комментарий", Quoted(object.Comment), U(object.Comment), std::string(object.Comment)});
  if (!object.Synonym.empty())
    facts.push_back({"synonym", "синоним", Quoted(object.Synonym), U(object.Synonym), std::string(object.Synonym)});
  if (object.Typed) {
    const TValueType& t = object.Type;
    std::string basis = std::string(t.Letter) + ',' + std::to_string(t.Length) + ',' + std::to_string(t.Precision) + ',';
    basis += t.RefId;
    facts.push_back({"type", "тип", TypeWords(model, t), TypeWords(model, t), std::move(basis)});
  }
  if (object.Owner >= 0)
    facts.push_back({"owner", "владелец", ObjectWords(model, object.Owner), ObjectWords(model, object.Owner),
                     idOf(object.Owner)});
  if (object.Journal >= 0)
    facts.push_back({"journal", "журнал", ObjectWords(model, object.Journal), ObjectWords(model, object.Journal),
                     idOf(object.Journal)});
  // The fields a typed object's type already showed are not repeated.
  const size_t skip =
      object.Typed && TypeSaysAll(model, object.Type, object.Fields.data(), object.Fields.size()) ? 4 : 0;
  if (object.Fields.size() > skip) {
    std::string fields, basis;
    TJson values = raw ? TJson::array() : TJson();
    for (size_t i = skip; i < object.Fields.size(); ++i) {
      if (i > skip) fields += ", ";
      AppendQuoted(fields, object.Fields[i]);
      basis += object.Fields[i];
      basis += '\0';
      if (raw) values.push_back(U(object.Fields[i]));
    }
    facts.push_back({"fields", "поля " + std::to_string(4 + skip) + "-" + std::to_string(3 + object.Fields.size()), fields,
                     std::move(values), std::move(basis)});
  }
  std::map<std::string, int> seen;
  for (const TRefersList& list : object.Refers) {
    std::string label = "ссылки";
    if (!list.Part.empty()) label = PartWordsOf(list.Part) + (list.Item.empty() ? "" : ": " + U(list.Item)) + ": ссылки";
    std::string key = "refers";
    if (!list.Part.empty()) key += "/" + U(list.Part) + (list.Item.empty() ? "" : "/" + U(list.Item));
    if (const int n = ++seen[key]; n > 1) key += "#" + std::to_string(n), label += " #" + std::to_string(n);
    std::string names, basis;
    TJson values = raw ? TJson::array() : TJson();
    for (size_t i = 0; i < list.Ids.size(); ++i) {
      std::string one = list.Objects[i] >= 0 ? ObjectWords(model, list.Objects[i]) : IdWords(model, list.Ids[i]);
      if (list.Objects[i] < 0 && one == U(list.Ids[i])) one += " (нет такого объекта)";
      names += (i ? ", " : "") + one;
      basis += list.Ids[i];
      basis += '\0';
      if (raw) values.push_back(one);
    }
    facts.push_back({key, label, names.empty() ? "пусто" : names, std::move(values), std::move(basis)});
  }
  return facts;
}

namespace {
// The item's words after its name, as ItemWords has them, then the fields after the type; an
// item with no identifier of its own has its fields alone. all: the item's fields, its
// identifier's too.
template <class TText>
void AppendItemValue(const TModel& model, const TItem& item, const std::vector<std::string_view>& all, TText& out) {
  const size_t start = out.size();
  const size_t first = item.Id.empty() ? 0 : 1;  // field 1
  const size_t count = all.size() - first;
  size_t known = item.Id.empty() ? 0 : 7;
  // Fields the type's words do not render exactly are shown as written too.
  if (known && !TypeSaysAll(model, item.Type, all.data() + 4, count > 3 ? count - 3 : 0)) known = 3;
  if (!item.Id.empty()) AppendTypeWords(model, item.Type, out);
  auto separate = [&] {
    if (out.size() > start) out += ", "sv;
  };
  if (!item.Comment.empty()) separate(), out += "комментарий "sv, AppendQuoted(out, item.Comment);
  if (!item.Synonym.empty()) separate(), out += "синоним "sv, AppendQuoted(out, item.Synonym);
  if (count > known) {
    separate();
    char digits[24];
    out += "поля "sv;
    out += std::string_view(digits, size_t(std::to_chars(digits, digits + sizeof digits, known + 1).ptr - digits));
    out += '-';
    out += std::string_view(digits, size_t(std::to_chars(digits, digits + sizeof digits, count).ptr - digits));
    out += ": "sv;
    for (size_t i = known; i < count; ++i) {
      if (i > known) out += ", "sv;
      AppendQuoted(out, all[first + i]);
    }
  }
}
}  // namespace

std::string ItemValue(const TModel& model, const TItem& item) {
  std::string text;
  AppendItemValue(model, item, model.Tree().Fields(item.Node), text);
  return text;
}

TJson ItemJson(const TModel& model, const TItem& item) {
  TJson ref = TypeRefJson(model, item.Type);
  TJson fields = TJson::array();
  const std::vector<std::string_view> all = model.FieldsOf(item.Node);
  for (size_t i = item.Id.empty() ? 0 : 7; i < all.size(); ++i) fields.push_back(U(all[i]));
  return TJson{{"id", U(item.Id)},           {"name", U(item.Name)},         {"comment", U(item.Comment)},
               {"synonym", U(item.Synonym)}, {"type", U(item.Type.Letter)},  {"length", item.Type.Length},
               {"precision", item.Type.Precision}, {"ref", std::move(ref)}, {"fields", std::move(fields)}};
}

std::string DigestWords(const TContainerStream& stream) {
  return "crc32 " + Digest(stream.Bytes) + ", " + std::to_string(stream.Bytes.size()) + " байт";
}

std::string OwnerWords(const TContents& contents, const TPlacedStream& stream) {
  if (stream.Object >= 0) return ObjectWords(*contents.Model, stream.Object);
  return stream.Kind == TStreamKind::Other ? "Контейнер" : "Конфигурация";
}

namespace {
template <class TText>
void Line(TText& out, std::string_view text) {
  out += text;
  out += '\n';
}

void StreamText(const TContents& contents, const TPlacedStream& stream, TOut& out) {
  const std::string owner = OwnerWords(contents, stream) + ": " + stream.Words;
  if (stream.Kind == TStreamKind::Other) return Line(out, owner + ": " + DigestWords(*stream.Stream));
  const TStreamText text = TextOfStream(stream);
  if (text.Damaged) return Line(out, owner + ": поврежден (" + text.Why + "), " + DigestWords(*stream.Stream));
  Line(out, owner);
  // Indented, so that no line of code passes for a line of the description.
  for (std::string_view line : SplitLines(text.Text)) {
    out += "    ";
    out += line;
    out += '\n';
  }
}
}  // namespace

namespace {
void AppendFields(TOut& out, const std::string_view* fields, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ", "sv;
    AppendQuoted(out, fields[i]);
  }
}

void AppendNumber(TOut& out, size_t value) {
  char digits[24];
  out += std::string_view(digits, size_t(std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
}

void RefersLine(const TModel& model, const std::string& prefix, int32_t node, TOut& out) {
  out += prefix + "ссылки: " + RefersWords(model, node) + '\n';
}

// A part's lines: its own fields, its items with their words, and below each item its own
// parts, at any depth. Lists below the first item level say their "Refers" lists here; those
// above are the object's facts. Every item of a configuration shown whole passes here: one
// vector of fields serves them all.
void PartLines(const TModel& model, const std::string& prefix, const TPart& part, size_t index, bool deep,
               TOut& out) {
  const TTree& tree = model.Tree();
  const std::string partName = prefix + PartLabel(part, index) + ": ";
  std::vector<std::string_view> fields;
  fields.reserve(16);
  tree.Fields(part.Node, fields);
  // Its own fields come after its tag or identifier.
  const size_t own = !fields.empty() && (!part.Tag.empty() || !part.Id.empty()) ? 1 : 0;
  if (fields.size() > own) {
    out += partName;
    out += "поля: "sv;
    AppendFields(out, fields.data() + own, fields.size() - own);
    out += '\n';
  }
  auto items = [&](auto&& each) {
    size_t k = 0;
    for (int32_t c = tree.Node(part.Node).FirstChild; c >= 0; c = tree.Node(c).NextSibling)
      if (!IsRefersList(tree, c)) each(c, k++);
    return k;
  };
  auto noItems = [&] {
    for (int32_t c = tree.Node(part.Node).FirstChild; c >= 0; c = tree.Node(c).NextSibling)
      if (!IsRefersList(tree, c)) return false;
    return true;
  };
  if (fields.size() <= own && noItems()) {
    out += partName;
    out += "нет\n"sv;
  }
  if (deep)
    for (int32_t c = tree.Node(part.Node).FirstChild; c >= 0; c = tree.Node(c).NextSibling)
      if (IsRefersList(tree, c)) RefersLine(model, partName, c, out);
  // An account's analytic kinds name them: the kind's words, then the fields after it.
  if (HoldsReferences(part.Tag)) {
    items([&](int32_t node, size_t) {
      tree.Fields(node, fields);
      // A kind of the same chart by its name alone.
      std::string words = "пусто";
      if (!fields.empty()) {
        const TLocation where = model.Locate(fields[0]);
        if (where.Object >= 0 && where.Object == model.ObjectOfNode(part.Node) && !where.Item.empty())
          words = PartWordsOf(where.Part) + " " + U(where.Item);
        else
          words = IdWords(model, fields[0]);
      }
      out += partName;
      out += words;
      if (fields.size() > 1) {
        out += ": поля 2-"sv;
        AppendNumber(out, fields.size());
        out += ": "sv;
        AppendFields(out, fields.data() + 1, fields.size() - 1);
      }
      out += '\n';
    });
    return;
  }
  const TTypedItems typed = TypedItems(tree.FirstField(part.Node));
  items([&](int32_t node, size_t k) {
    tree.Fields(node, fields);
    const TItem item = model.ItemFrom(node, fields, typed);
    out += partName;
    if (!item.Name.empty()) {
      out.AppendU(item.Name);
    } else {
      out += '#';
      AppendNumber(out, k + 1);
    }
    if (!item.Id.empty()) {
      out += " ("sv;
      out += item.Id;
      out += ')';
    }
    const size_t mark = out.size();
    out += ": "sv;
    AppendItemValue(model, item, fields, out);
    // Nothing to say past the name: no ": " either.
    if (out.size() == mark + 2) out.resize(mark);
    out += '\n';
    if (!tree.HasChildren(item.Node)) return;
    const std::vector<TPart> below = model.PartsOf(item.Node);
    const std::string itemPrefix =
        partName + U(ItemLabel(item, k)) + (item.Id.empty() ? "" : " (" + U(item.Id) + ")") + ": ";
    if (deep)
      for (int32_t c = tree.Node(item.Node).FirstChild; c >= 0; c = tree.Node(c).NextSibling)
        if (IsRefersList(tree, c)) RefersLine(model, itemPrefix, c, out);
    // Parts below are read after this item's fields are done with.
    for (size_t p = 0; p < below.size(); ++p) PartLines(model, itemPrefix, below[p], p, true, out);
  });
}
}  // namespace

std::string PartLabel(const TPart& part, size_t index) {
  if (!part.Tag.empty()) return PartWordsOf(part.Tag);
  if (!part.Id.empty()) return "узел " + U(part.Id);
  return "список " + std::to_string(index + 1);
}

std::string ItemLabel(const TItem& item, size_t index) {
  if (!item.Name.empty()) return std::string(item.Name);
  return "#" + std::to_string(index + 1);
}

std::string NodeWords(const TModel& model, int32_t node) {
  const TTree& tree = model.Tree();
  std::vector<int32_t> chain;
  int32_t object = -1;
  for (int32_t n = node; n > 0; n = tree.Node(n).Parent) {
    object = model.ObjectOfNode(n);
    if (object >= 0 && model.Object(object).Node == n) break;
    chain.push_back(n);
  }
  if (object < 0) return std::string();
  std::string words = ObjectWords(model, object);
  // Down from the object: a part, an item of it, a part of that item, and so on.
  for (size_t depth = 0; depth < chain.size(); ++depth) {
    const int32_t n = chain[chain.size() - 1 - depth];
    const int32_t parent = tree.Node(n).Parent;
    size_t index = 0;
    const bool refers = IsRefersList(tree, n);
    for (int32_t c = tree.Node(parent).FirstChild; c >= 0 && c != n; c = tree.Node(c).NextSibling)
      if (!IsRefersList(tree, c)) ++index;
    if (refers) {
      words += ": ссылки";
    } else if (depth % 2 == 0) {
      words += ": " + PartLabel(model.PartAt(n), index);
    } else {
      words += ": " + U(ItemLabel(model.ItemAt(n), index));
    }
  }
  return words;
}

std::string RefersWords(const TModel& model, int32_t node) {
  std::string words;
  for (std::string_view id : model.RefersIds(node)) {
    const int32_t object = model.ObjectById(id);
    words += (words.empty() ? "" : ", ") + (object >= 0 ? ObjectWords(model, object) : IdWords(model, id));
  }
  return words.empty() ? "пусто" : words;
}

std::string IdWords(const TModel& model, std::string_view id) {
  const TLocation where = model.Locate(id);
  if (!where.Found || where.Object < 0) return U(id);
  return NodeWords(model, where.Node);
}

void DescriptionText(const TModel& model, int32_t index, std::string& text) {
  TOut out(text);
  DescriptionText(model, index, out);
}

void DescriptionText(const TModel& model, int32_t index, TOut& out) {
  const TObject& object = model.Object(index);
  const std::string name = ObjectWords(model, index);
  Line(out, name);
  for (const TFact& fact : ObjectFacts(model, index, false)) {
    out += name;
    out += ": "sv;
    out += fact.Label;
    out += ": "sv;
    out += fact.Value;
    out += '\n';
  }
  for (size_t p = 0; p < object.Parts.size(); ++p) PartLines(model, name + ": ", object.Parts[p], p, false, out);
}

void ObjectText(const TContents& contents, int32_t index, TOut& out) {
  DescriptionText(*contents.Model, index, out);
  for (const TPlacedStream* stream : contents.StreamsOf(index)) StreamText(contents, *stream, out);
}

void ObjectText(const TContents& contents, int32_t index, std::string& text) {
  TOut out(text);
  ObjectText(contents, index, out);
}

void ContainerText(const TContents& contents, std::string& text) {
  TOut out(text);
  for (const TPlacedStream* stream : contents.StreamsOf(-1)) StreamText(contents, *stream, out);
}

}  // namespace kalamos
