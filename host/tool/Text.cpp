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
std::string Shown(const TJson& value) { return value.is_null() ? "нет" : JsonText(value); }
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
  if (!kind.empty()) text += ", синоним " + Shown(kind);
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

std::vector<std::string> TextLines(const TJson& c) {
  std::vector<std::string> lines;
  for (const auto& [kind, names] : c["objects"].items())
    for (const TJson& name : names) lines.push_back(KindLabel(kind) + " " + name.get<std::string>());
  for (const TJson& doc : c["documents"]) {
    const std::string object = KindLabel("DOCUMENT") + " " + doc["name"].get<std::string>() + ": ";
    for (const TJson& item : doc["head"])
      lines.push_back(object + PartLabel("head") + ": " + item["name"].get<std::string>() + ": " + AttributeText(item));
    for (const TJson& item : doc["table"])
      lines.push_back(object + PartLabel("table") + ": " + item["name"].get<std::string>() + ": " + AttributeText(item));
  }
  for (const TJson& ref : c["catalogues"]) {
    const std::string object = KindLabel("REFERENCE") + " " + ref["name"].get<std::string>() + ": ";
    for (const TJson& item : ref["attributes"])
      lines.push_back(object + PartLabel("attributes") + ": " + item["name"].get<std::string>() + ": " + AttributeText(item));
    for (const TJson& owned : ref["owned"]) lines.push_back(object + PartLabel("owned") + ": " + owned.get<std::string>());
    lines.push_back(object + PartLabel("settings") + ": " + SettingsText(ref["settings"]));
  }
  for (const TJson& reg : c["registers"]) {
    const std::string object = KindLabel("REGISTER") + " " + reg["name"].get<std::string>() + ": ";
    for (const TJson& pair : reg["dimensions"])
      lines.push_back(object + PartLabel("dimensions") + ": " + pair[0].get<std::string>() + ": " + TypeText(pair[1]));
    for (const TJson& pair : reg["resources"])
      lines.push_back(object + PartLabel("resources") + ": " + pair[0].get<std::string>() + ": " + TypeText(pair[1]));
  }
  for (const TJson& en : c["enumerations"]) {
    const std::string object = KindLabel("ENUM") + " " + en["name"].get<std::string>() + ": ";
    lines.push_back(object + PartLabel("count") + ": " + Shown(en["count"]));
    for (const TJson& value : en["values"])
      lines.push_back(object + PartLabel("values") + ": " + value["name"].get<std::string>() + ": " + InternalText(value["internal"]));
  }
  return lines;
}

int RunText(const TSessionOptions& options, const std::string& path) {
  TJson configuration;
  int status = ExitOk;
  if (!ReadConfiguration(options, path, configuration, status)) return status;
  std::string text;
  for (const std::string& line : TextLines(configuration)) text += line + "\n";
  Out(text);
  return ExitOk;
}
