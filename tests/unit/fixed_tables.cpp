// The function and kind tables against the values hosts and scripts already rely on: method
// numbers are compiled into the host's calls, kind indexes into scripts and the store's
// section order. This is the one place that writes them out; everything else names them.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "metadata/Kinds.h"
#include "methods/Functions.h"

using namespace kalamos;

namespace {

TEST(FixedTables, FunctionNumbersNamesAndParameters) {
  const struct {
    int Number;
    const char* English;
    const char* Russian;
    int Params;
    int Slot;
  } fixed[] = {
      {0, "Load", "Загрузить", 1, NoSlot},
      {1, "HasAttr", "ИмеетРеквизит", 2, NoSlot},
      {2, "SetAttr", "УстановитьРеквизит", 4, NoSlot},
      {3, "GetAttr", "ПолучитьРеквизит", 4, NoSlot},
      {4, "EnumDocHead", "РеквизитыШапки", 7, 1},
      {5, "EnumDocTable", "РеквизитыТаблицы", 7, 2},
      {6, "EnumRef", "РеквизитыСправочника", 7, 3},
      {7, "EnumRegDim", "ИзмеренияРегистра", 3, 4},
      {8, "EnumRegRes", "РесурсыРегистра", 3, 5},
      {9, "EnumValues", "ЗначенияПеречисления", 2, 6},
      {10, "EnumObjects", "ПеречислитьОбъекты", 2, 0},
      {11, "EnumOwnedRefs", "ПодчиненныеСправочники", 2, 7},
      {12, "SbKindType", "ТипВидаСубконто", 1, NoSlot},
      {13, "SbKindKind", "ВидВидаСубконто", 1, NoSlot},
      {14, "EnumValCount", "ЧислоЗначенийПеречисления", 1, NoSlot},
      {15, "ValueByNum", "ЗначениеПоНомеруСтр", 2, NoSlot},
      {16, "EnumValInternal", "ЗначениеПеречисленияВнутр", 2, NoSlot},
      {17, "ResetEnum", "СбросПеречисления", 1, NoSlot},
      {18, "RefInfo", "ПараметрыСправочника", 2, NoSlot},
  };
  ASSERT_EQ(MethodCount, int(std::size(fixed)));
  for (const auto& f : fixed) {
    const TFunctionRow& row = FunctionRows[f.Number];
    EXPECT_EQ(f.Number, int(row.Method)) << f.English;
    EXPECT_STREQ(f.English, row.English);
    EXPECT_STREQ(f.Russian, row.Russian);
    EXPECT_EQ(f.Params, row.Params) << f.English;
    EXPECT_EQ(f.Slot, row.Slot) << f.English;
    // Only the three attribute listings and the two attribute accessors have a default.
    EXPECT_EQ(row.DefaultAt != NoDefault, (f.Number >= 2 && f.Number <= 6)) << f.English;
  }
}

TEST(FixedTables, KindIndexesNamesAndSections) {
  const struct {
    int Index;
    const char* English;
    const char* Russian;
    const char* Tag;
  } fixed[] = {
      {0, "TASK", "КОНФИГУРАЦИЯ", "TaskItem"},
      {1, "SELECTION", "ГРАФАОТБОРА", "GenJrnlFldDef"},
      {2, "COMMONATR", "ОБЩИЕРЕКВИЗИТЫ", "DocSelRefobj"},
      {3, "DOCNUMREF", "НУМЕРАТОРЫ", "DocNumRef"},
      {4, "CONST", "КОНСТАНТА", "Consts"},
      {5, "REFERENCE", "СПРАВОЧНИК", "SbCnts"},
      {6, "REGISTER", "РЕГИСТР", "Registers"},
      {7, "DOCUMENT", "ДОКУМЕНТ", "Documents"},
      {8, "DOCJOURNAL", "ЖУРНАЛДОКУМЕНТОВ", "Journalisters"},
      {9, "ENUM", "ПЕРЕЧИСЛЕНИЕ", "EnumList"},
      {10, "REPORT", "ОТЧЕТ", "ReportList"},
      {11, "CALCJOURNAL", "ЖУРНАЛРАСЧЕТОВ", "CJ"},
      {12, "CALENDAR", "КАЛЕНДАРЬ", "Calendars"},
      {13, "ALGORITHM", "РАСЧЕТ", "Algorithms"},
      {14, "PROCESSING", "ОБРАБОТКА", "Calcvars"},
      {15, "CALCGROUP", "ГРУППАРАСЧЕТОВ", "Groups"},
      {16, "BUH", "БУХГАЛТЕРИЯ", "Buh"},
  };
  ASSERT_EQ(KindCount, int(std::size(fixed)));
  for (const auto& f : fixed) {
    const TKindRow& row = KindRows[f.Index];
    EXPECT_EQ(f.Index, int(row.Kind)) << f.English;
    EXPECT_STREQ(f.English, row.English);
    EXPECT_STREQ(f.Russian, row.Russian);
    EXPECT_STREQ(f.Tag, row.SectionTag);
  }
}

}  // namespace
