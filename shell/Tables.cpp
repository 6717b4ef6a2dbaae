// The constant tables of the script surface. Written here in UTF-8 and converted to code
// page 1251 once, on first use, so the build never depends on the compiler's exec-charset.
#include "shell/Tables.h"

#include <array>

#include "metadata/MetaStore.h"
#include "platform/Text.h"

namespace {

struct TMethodRow {
  const char* Entry;
  uint8_t Params;
};

// Order is the method number the host passes back to us; never reorder.
constexpr TMethodRow MethodRows[MethodCount] = {
    {"Load;Загрузить", 1},
    {"HasAttr;ИмеетРеквизит", 2},
    {"SetAttr;УстановитьРеквизит", 4},
    {"GetAttr;ПолучитьРеквизит", 4},
    {"EnumDocHead;РеквизитыШапки", 7},
    {"EnumDocTable;РеквизитыТаблицы", 7},
    {"EnumRef;РеквизитыСправочника", 7},
    {"EnumRegDim;ИзмеренияРегистра", 3},
    {"EnumRegRes;РесурсыРегистра", 3},
    {"EnumValues;ЗначенияПеречисления", 2},
    {"EnumObjects;ПеречислитьОбъекты", 2},
    {"EnumOwnedRefs;ПодчиненныеСправочники", 2},
    {"SbKindType;ТипВидаСубконто", 1},
    {"SbKindKind;ВидВидаСубконто", 1},
    {"EnumValCount;ЧислоЗначенийПеречисления", 1},
    {"ValueByNum;ЗначениеПоНомеруСтр", 2},
    {"EnumValInternal;ЗначениеПеречисленияВнутр", 2},
    {"ResetEnum;СбросПеречисления", 1},
    {"RefInfo;ПараметрыСправочника", 2},
};

// The kind index selects rows of the store's section tables too; keep in step with them.
constexpr const char* KindRows[KindCount] = {
    "TASK:КОНФИГУРАЦИЯ",
    "SELECTION:ГРАФАОТБОРА",
    "COMMONATR:ОБЩИЕРЕКВИЗИТЫ",
    "DOCNUMREF:НУМЕРАТОРЫ",
    "CONST:КОНСТАНТА",
    "REFERENCE:СПРАВОЧНИК",
    "REGISTER:РЕГИСТР",
    "DOCUMENT:ДОКУМЕНТ",
    "DOCJOURNAL:ЖУРНАЛДОКУМЕНТОВ",
    "ENUM:ПЕРЕЧИСЛЕНИЕ",
    "REPORT:ОТЧЕТ",
    "CALCJOURNAL:ЖУРНАЛРАСЧЕТОВ",
    "CALENDAR:КАЛЕНДАРЬ",
    "ALGORITHM:РАСЧЕТ",
    "PROCESSING:ОБРАБОТКА",
    "CALCGROUP:ГРУППАРАСЧЕТОВ",
    "BUH:БУХГАЛТЕРИЯ",
};

const std::array<std::string, MethodCount>& MethodEntries() {
  static const std::array<std::string, MethodCount> entries = [] {
    std::array<std::string, MethodCount> out;
    for (int i = 0; i < MethodCount; ++i) out[i] = Utf8ToAnsi(MethodRows[i].Entry);
    return out;
  }();
  return entries;
}

const std::array<std::string, MethodCount>& UpperMethodEntries() {
  static const std::array<std::string, MethodCount> entries = [] {
    std::array<std::string, MethodCount> out;
    for (int i = 0; i < MethodCount; ++i) out[i] = AnsiUpper(MethodEntries()[i]);
    return out;
  }();
  return entries;
}

const std::array<std::string, KindCount>& KindEntries() {
  static const std::array<std::string, KindCount> entries = [] {
    std::array<std::string, KindCount> out;
    for (int i = 0; i < KindCount; ++i) out[i] = Utf8ToAnsi(KindRows[i]);
    return out;
  }();
  return entries;
}

}  // namespace

const std::string& MethodEntry(int number) { return MethodEntries().at(static_cast<size_t>(number)); }

const std::string& UpperMethodEntry(int number) {
  return UpperMethodEntries().at(static_cast<size_t>(number));
}

std::string_view MethodName(int number, bool russian, bool upper) {
  const std::string_view entry = upper ? UpperMethodEntry(number) : MethodEntry(number);
  const size_t semicolon = entry.find(';');
  return russian ? entry.substr(semicolon + 1) : entry.substr(0, semicolon);
}

uint8_t ParamCount(int number) {
  return number >= 0 && number < MethodCount ? MethodRows[number].Params : 0;
}

const std::string& KindEntry(int kind) { return KindEntries().at(static_cast<size_t>(kind)); }
