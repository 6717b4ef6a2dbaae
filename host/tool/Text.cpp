#include <algorithm>
#include <map>

#include "host/tool/Configuration.h"

namespace {
// Stable labels: these lines are what version control keeps and people compare, so the
// wording must not change from one release to the next.
const std::map<std::string, std::string>& KindLabels() {
  static const std::map<std::string, std::string> labels = {
      {"TASK", "Конфигурация"},      {"SELECTION", "ГрафаОтбора"},   {"COMMONATR", "ОбщийРеквизит"},
      {"DOCNUMREF", "Нумератор"},    {"CONST", "Константа"},         {"REFERENCE", "Справочник"},
      {"REGISTER", "Регистр"},       {"DOCUMENT", "Документ"},       {"DOCJOURNAL", "ЖурналДокументов"},
      {"ENUM", "Перечисление"},      {"REPORT", "Отчет"},            {"CALCJOURNAL", "ЖурналРасчетов"},
      {"CALENDAR", "Календарь"},     {"ALGORITHM", "Расчет"},        {"PROCESSING", "Обработка"},
      {"CALCGROUP", "ГруппаРасчетов"}, {"BUH", "Бухгалтерия"},
  };
  return labels;
}

const std::map<std::string, std::string>& PartLabels() {
  static const std::map<std::string, std::string> labels = {
      {"head", "шапка"},          {"table", "табличная часть"},        {"attributes", "реквизит"},
      {"owned", "подчиненный справочник"}, {"settings", "параметры"}, {"dimensions", "измерение"},
      {"resources", "ресурс"},    {"values", "значение"},              {"count", "число значений"},
  };
  return labels;
}

// A number as it is, a text as a JSON string; what could not be read as "нет".
std::string Shown(const TJson& value) {
  if (value.is_null()) return "нет";
  // Whole numbers print as JSON prints them, without a serializer for each.
  if (value.is_number_unsigned()) return std::to_string(value.get<uint64_t>());
  if (value.is_number_integer()) return std::to_string(value.get<int64_t>());
  if (value.is_string()) return JsonString(value.get_ref<const std::string&>());
  return JsonText(value);
}
}  // namespace

std::string PartLabel(const std::string& part) { return PartLabels().at(part); }

std::string KindLabel(const std::string& kind) {
  auto found = KindLabels().find(kind);
  return found == KindLabels().end() ? kind : found->second;
}

std::string TypeText(const TJson& type) { return "тип " + Shown(type); }

std::string AttributeText(const TJson& item) {
  std::string text = TypeText(item.value("type", TJson()));
  const std::string kind = item.value("kind", std::string());
  // The listings' second text is the item's field 2: its comment.
  if (!kind.empty()) text += ", комментарий " + Shown(kind);
  if (item.value("length", 0) != 0) text += ", длина " + Shown(item["length"]);
  if (item.value("precision", 0) != 0) text += ", точность " + Shown(item["precision"]);
  const std::string ref = item.value("ref", std::string());
  if (!ref.empty()) text += ", ссылка " + ref;
  return text;
}

std::string SettingsText(const TJson& settings) {
  std::string text;
  for (const TJson& value : settings) text += (text.empty() ? "" : ", ") + Shown(value);
  return text;
}

// The internal form is one line of the configuration's own text: shown as it is, unless it
// holds a control character that would break the line.
std::string InternalText(const TJson& internal) {
  std::string text = internal.is_string() ? internal.get<std::string>() : std::string();
  bool plain = internal.is_string() &&
               std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  return "внутреннее представление " + (plain ? text : Shown(internal));
}

namespace {
void Line(std::string& out, const std::string& text) {
  out += text;
  out += '\n';
}
}  // namespace

void ObjectLines(const TJson& objects, std::string& out) {
  for (const auto& [kind, names] : objects.items())
    for (const TJson& name : names) {
      // An object without a name (the accounting object often has none) ends with its kind.
      const std::string& text = name.get_ref<const std::string&>();
      Line(out, text.empty() ? KindLabel(kind) : KindLabel(kind) + " " + text);
    }
}

void ItemLines(const std::string& section, const TJson& item, std::string& out) {
  if (section == "documents") {
    const std::string object = KindLabel("DOCUMENT") + " " + item["name"].get<std::string>() + ": ";
    for (const char* part : {"head", "table"})
      for (const TJson& a : item[part])
        Line(out, object + PartLabel(part) + ": " + a["name"].get<std::string>() + ": " + AttributeText(a));
  } else if (section == "catalogues") {
    const std::string object = KindLabel("REFERENCE") + " " + item["name"].get<std::string>() + ": ";
    for (const TJson& a : item["attributes"])
      Line(out, object + PartLabel("attributes") + ": " + a["name"].get<std::string>() + ": " + AttributeText(a));
    for (const TJson& owned : item["owned"]) Line(out, object + PartLabel("owned") + ": " + owned.get<std::string>());
    Line(out, object + PartLabel("settings") + ": " + SettingsText(item["settings"]));
  } else if (section == "registers") {
    const std::string object = KindLabel("REGISTER") + " " + item["name"].get<std::string>() + ": ";
    for (const char* part : {"dimensions", "resources"})
      for (const TJson& pair : item[part])
        Line(out, object + PartLabel(part) + ": " + pair[0].get<std::string>() + ": " + TypeText(pair[1]));
  } else if (section == "enumerations") {
    const std::string object = KindLabel("ENUM") + " " + item["name"].get<std::string>() + ": ";
    Line(out, object + PartLabel("count") + ": " + Shown(item["count"]));
    for (const TJson& value : item["values"])
      Line(out, object + PartLabel("values") + ": " + value["name"].get<std::string>() + ": " + InternalText(value["internal"]));
  }
}

namespace {
// The lines go out as the configuration is read; a large one's text is never held whole.
class TTextWriter : public TConfigurationSink {
public:
  void Objects(TJson objects) override { ObjectLines(objects, Buffer); }
  void Open(const std::string& section) override { Section = section; }
  void Item(TJson item) override {
    ItemLines(Section, item, Buffer);
    if (Buffer.size() >= (1u << 20)) Flush();
  }
  void End() override { Flush(); }

private:
  void Flush() {
    Out(Buffer);
    Buffer.clear();
  }
  std::string Section, Buffer;
};
}  // namespace

int RunText(const TSessionOptions& options, const std::string& path) {
  TTextWriter writer;
  int status = ExitOk;
  if (!ReadConfiguration(options, path, writer, status)) return status;
  return ExitOk;
}
