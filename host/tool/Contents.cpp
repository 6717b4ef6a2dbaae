#include "host/tool/Contents.h"

#include <algorithm>

#include "host/tool/LineDiff.h"
#include "host/tool/Queries.h"
#include "platform/Text.h"

namespace kalamos {

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

void PlaceOf(const std::string& path, TStreamKind& kind, std::string& id, std::string& words, std::string& key) {
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
  if (kind == TStreamKind::Module && prefix == "ModuleText" && below.empty()) words = "глобальный модуль";
  else if (kind == TStreamKind::Module && prefix == "Transact" && below.empty()) words = "модуль документа";
  else if (kind == TStreamKind::Module && workBook) words = "модуль формы" + list;
  else if (kind == TStreamKind::Form && workBook) words = "форма" + list;
  else if (kind == TStreamKind::Module) words = "модуль " + path;
  else if (kind == TStreamKind::Form) words = "форма " + path;
  else words = path;
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
    text.Text = Printable(bytes);
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

bool LoadContents(const std::string& path, TContents& contents, std::string& error) {
  TModelResult model = LoadModel(path);
  if (!model.Model) {
    error = model.Error;
    return false;
  }
  contents.Model = std::move(model.Model);
  TSource source;
  if (!FindSource(path, source, error)) return false;
  // The description's own stream is the model's; its lines stand for it.
  if (FAILED(ReadContainerStreams(Utf8ToWide(source.File), contents.Streams, std::string(DescriptionStream)))) {
    error = DiagnoseContainer(source.File, source.Shown);
    return false;
  }
  const TModel& m = *contents.Model;
  for (const TContainerStream& stream : contents.Streams) {
    TPlacedStream placed;
    placed.Stream = &stream;
    std::string id;
    PlaceOf(stream.Path, placed.Kind, id, placed.Words, placed.Key);
    // The configuration-wide module stands with the container's own streams.
    if (!id.empty() && placed.Words != "глобальный модуль") {
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

std::vector<TFact> ObjectFacts(const TModel& model, int32_t index) {
  const TObject& object = model.Object(index);
  std::vector<TFact> facts;
  facts.push_back({"id", "идентификатор", U(object.Id), U(object.Id)});
  if (!object.Comment.empty()) facts.push_back({"comment", "комментарий", JsonString(U(object.Comment)), U(object.Comment)});
  if (!object.Synonym.empty()) facts.push_back({"synonym", "синоним", JsonString(U(object.Synonym)), U(object.Synonym)});
  if (object.Typed) facts.push_back({"type", "тип", TypeWords(model, object.Type), TypeWords(model, object.Type)});
  if (object.Owner >= 0)
    facts.push_back({"owner", "владелец", ObjectWords(model, object.Owner), ObjectWords(model, object.Owner)});
  // The fields a typed object's type already showed are not repeated.
  const size_t skip = object.Typed ? std::min<size_t>(4, object.Fields.size()) : 0;
  if (object.Fields.size() > skip) {
    std::string fields;
    TJson raw = TJson::array();
    for (size_t i = skip; i < object.Fields.size(); ++i) {
      fields += (i > skip ? ", " : "") + JsonString(U(object.Fields[i]));
      raw.push_back(U(object.Fields[i]));
    }
    facts.push_back({"fields", "поля " + std::to_string(4 + skip) + "-" + std::to_string(3 + object.Fields.size()), fields,
                     std::move(raw)});
  }
  std::map<std::string, int> seen;
  for (const TRefersList& list : object.Refers) {
    std::string label = "Refers";
    if (!list.Part.empty()) label = PartWordsOf(list.Part) + (list.Item.empty() ? "" : ": " + U(list.Item)) + ": Refers";
    std::string key = "refers";
    if (!list.Part.empty()) key += "/" + U(list.Part) + (list.Item.empty() ? "" : "/" + U(list.Item));
    if (const int n = ++seen[key]; n > 1) key += "#" + std::to_string(n), label += " #" + std::to_string(n);
    std::string names;
    TJson raw = TJson::array();
    for (size_t i = 0; i < list.Ids.size(); ++i) {
      const std::string one = list.Objects[i] >= 0 ? ObjectWords(model, list.Objects[i]) : U(list.Ids[i]);
      names += (i ? ", " : "") + one;
      raw.push_back(one);
    }
    facts.push_back({key, label, names.empty() ? "пусто" : names, std::move(raw)});
  }
  return facts;
}

namespace {
bool PlainAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80 || c == '"' || c == '\\') return false;
  return true;
}

// U(text) appended; most of a configuration's fields are digits, which need no table.
void AppendU(std::string& out, std::string_view ansi) {
  if (PlainAscii(ansi)) out += ansi;
  else out += U(ansi);
}

// JsonString(U(text)) appended.
void AppendQuoted(std::string& out, std::string_view ansi) {
  if (PlainAscii(ansi)) {
    out += '"';
    out += ansi;
    out += '"';
  } else {
    out += JsonString(U(ansi));
  }
}

// The item's words after its name, as ItemWords has them, then the fields after the type.
void AppendItemValue(const TModel& model, const TItem& item, std::string& out) {
  const size_t start = out.size();
  out += TypeWords(model, item.Type);
  auto separate = [&] {
    if (out.size() > start) out += ", ";
  };
  if (!item.Comment.empty()) separate(), out += "комментарий ", AppendQuoted(out, item.Comment);
  if (!item.Synonym.empty()) separate(), out += "синоним ", AppendQuoted(out, item.Synonym);
  std::string_view fields[64];
  const std::string_view text = model.Store().TextAt(item.Position);
  int count = SplitFields(text, fields, 64);
  std::vector<std::string_view> many;
  const std::string_view* all = fields;
  if (count == 64) {
    many = AllFields(text);
    all = many.data();
    count = int(many.size());
  }
  if (count > 7) {
    separate();
    out += "поля 8-" + std::to_string(count) + ": ";
    for (int i = 7; i < count; ++i) {
      if (i > 7) out += ", ";
      AppendQuoted(out, all[i]);
    }
  }
}
}  // namespace

std::string ItemValue(const TModel& model, const TItem& item) {
  std::string text;
  AppendItemValue(model, item, text);
  return text;
}

TJson ItemJson(const TModel& model, const TItem& item) {
  TJson ref = nullptr;
  if (item.Type.RefObject >= 0)
    ref = TJson{{"kind", KindEnglish(model.Object(item.Type.RefObject).Kind)}, {"name", U(model.Object(item.Type.RefObject).Name)}};
  TJson fields = TJson::array();
  const std::vector<std::string_view> all = AllFields(model.Store().TextAt(item.Position));
  for (size_t i = 7; i < all.size(); ++i) fields.push_back(U(all[i]));
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
void Line(std::string& out, const std::string& text) {
  out += text;
  out += '\n';
}

void StreamText(const TContents& contents, const TPlacedStream& stream, std::string& out) {
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

void ObjectText(const TContents& contents, int32_t index, std::string& out) {
  const TModel& model = *contents.Model;
  const TObject& object = model.Object(index);
  const std::string name = ObjectWords(model, index);
  Line(out, name);
  for (const TFact& fact : ObjectFacts(model, index)) Line(out, name + ": " + fact.Label + ": " + fact.Value);
  for (const TPart& part : object.Parts) {
    const std::string partName = name + ": " + PartWordsOf(part.Tag) + ": ";
    const std::vector<TItem> items = model.Items(part);
    if (items.empty()) Line(out, partName + "нет");
    for (const TItem& item : items) {
      out += partName;
      AppendU(out, item.Name);
      const size_t mark = out.size();
      out += ": ";
      AppendItemValue(model, item, out);
      // Nothing to say past the name: no ": " either.
      if (out.size() == mark + 2) out.resize(mark);
      out += '\n';
    }
  }
  for (const TPlacedStream* stream : contents.StreamsOf(index)) StreamText(contents, *stream, out);
}

void ContainerText(const TContents& contents, std::string& out) {
  for (const TPlacedStream* stream : contents.StreamsOf(-1)) StreamText(contents, *stream, out);
}

}  // namespace kalamos
