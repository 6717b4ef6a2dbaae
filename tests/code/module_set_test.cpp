#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/ModuleSet.h"
#include "tests/code/CodeSamples.h"

using namespace kalamos::code;
using kalamos::code::samples::Lines;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// code@line:column[name] of every diagnostic.
std::vector<std::string> Described(const std::vector<TDiagnostic>& list) {
  std::vector<std::string> out;
  for (const TDiagnostic& d : list)
    out.push_back(d.Code + "@" + std::to_string(d.Line) + ":" + std::to_string(d.Column) + "[" + d.Name + "]");
  return out;
}

// A global module that exports its own Сообщить, and two modules that call into it.
class CodeModuleSet : public testing::Test {
 protected:
  void SetUp() override {
    global = set.Add("Глобальный", Lines({
                                           "Процедура Сообщить(Текст, Знач Режим = \"\") Экспорт",
                                           "КонецПроцедуры",
                                           "Функция Общая(А) Экспорт",
                                           "КонецФункции",
                                           "Процедура Внутренняя()",
                                           "КонецПроцедуры",
                                       }));
    set.SetGlobal(global);
    own = set.Add("Документ.Реализация", Lines({
                                                 "Процедура Общая() Далее",
                                                 "Процедура Проведение()",
                                                 "\tОбщая(1);",
                                                 "\tсообщить(\"Готово\");",
                                                 "КонецПроцедуры",
                                                 "Процедура Общая()",
                                                 "КонецПроцедуры",
                                             }));
    other = set.Add("Справочник.Товары", Lines({
                                               "Сообщить(\"а\", 1, 2);",
                                               "Общая(Сообщить(\"б\"));",
                                               "Внутренняя();",
                                               "Объект.Общая(1, 2, 3);",
                                           }));
  }
  TModuleSet set;
  int global = -1, own = -1, other = -1;
};

TEST_F(CodeModuleSet, OwnProceduresFirstThenGlobalExports) {
  EXPECT_EQ(set.Resolve(own, "ОБЩАЯ"), (TProcedureRef{own, 2}));  // the body, not the forward declaration
  EXPECT_EQ(set.Resolve(other, "общая"), (TProcedureRef{global, 1}));
  EXPECT_EQ(set.Resolve(own, "Сообщить"), (TProcedureRef{global, 0}));
  EXPECT_EQ(set.Resolve(other, "Внутренняя"), std::nullopt);  // not exported
  EXPECT_EQ(set.Resolve(global, "Внутренняя"), (TProcedureRef{global, 2}));
  EXPECT_EQ(set.Resolve(other, "СоздатьОбъект"), std::nullopt);
  EXPECT_EQ(set.DefinitionAt(own, 3, 3), (TProcedureRef{own, 2}));
  EXPECT_EQ(set.DefinitionAt(other, 4, 9), std::nullopt);  // a method
  EXPECT_EQ(set.Find("Справочник.Товары"), other);
}

TEST_F(CodeModuleSet, CallersOfAProcedure) {
  const auto where = [&](TProcedureRef p) {
    std::vector<std::string> out;
    for (const TCallRef& c : set.CallersOf(p))
      out.push_back(set.Name(c.Module) + ":" + std::to_string(set.Module(c.Module).Calls[c.Call].Line));
    return out;
  };
  EXPECT_THAT(where({global, 1}), ElementsAre("Справочник.Товары:2"));  // hidden in Документ.Реализация
  EXPECT_THAT(where({own, 0}), ElementsAre("Документ.Реализация:3"));
  EXPECT_THAT(where({own, 2}), ElementsAre("Документ.Реализация:3"));
  EXPECT_THAT(where({global, 0}),
              ElementsAre("Документ.Реализация:4", "Справочник.Товары:1", "Справочник.Товары:2"));
  EXPECT_THAT(where({global, 2}), IsEmpty());
  EXPECT_THAT(where({9, 0}), IsEmpty());
}

TEST_F(CodeModuleSet, MoreArgumentsThanParameters) {
  EXPECT_THAT(Described(set.Check(own)), ElementsAre("too-many-arguments@3:2[Общая]"));
  EXPECT_THAT(Described(set.Check(other)), ElementsAre("too-many-arguments@1:1[Сообщить]"));
  EXPECT_THAT(Described(set.Check(global)), IsEmpty());
}

// An editor's text replaces a module: calls elsewhere resolve against what it now exports.
TEST_F(CodeModuleSet, AModuleReplaced) {
  set.Replace(global, Lines({"Функция Общая(А, Б, В) Экспорт", "КонецФункции"}));
  EXPECT_EQ(set.Resolve(own, "Сообщить"), std::nullopt);
  EXPECT_EQ(set.Resolve(other, "Общая"), (TProcedureRef{global, 0}));
  EXPECT_THAT(Described(set.Check(other)), IsEmpty());
  set.Replace(global, "");
  EXPECT_EQ(set.Resolve(other, "Общая"), std::nullopt);
  set.Replace(7, "Процедура А() КонецПроцедуры");  // no such module: nothing happens
  EXPECT_EQ(set.Count(), 3);
}

TEST(CodeChecks, DeclarationsTwiceOrNeverDescribed) {
  EXPECT_THAT(Described(CheckModule(Lines({
                  "Процедура А() Далее",
                  "Функция Б() Далее",
                  "Процедура А()",
                  "КонецПроцедуры",
                  "процедура а()",
                  "КонецПроцедуры",
              }))),
              ElementsAre("forward-without-body@2:9[Б]", "duplicate-procedure@5:11[а]"));
}

TEST(CodeChecks, UnknownObjectsInStringsAndCode) {
  TKnownObjects known;
  known.Add(TObjectKind::Catalog, "Номенклатура");
  known.Add(TObjectKind::Enum, "Виды");
  known.Add(TObjectKind::Constant, "ОсновнаяФирма");
  TModuleSet set;
  const int m = set.Add("", Lines({
                                "А = СоздатьОбъект(\"СПРАВОЧНИК.НОМЕНКЛАТУРА\");",
                                "Б = СоздатьОбъект(\"Справочник.Склады\");",
                                "Т = \"ВЫБРАТЬ",
                                "|Журналдокументов.Общий, Перечисление.Виды.Основной, Отчет.Остатки\";",
                                "Если константа.основнаяфирма = перечисление.Нет.Значение Тогда Константа.Курс = 1; КонецЕсли;",
                            }));
  EXPECT_THAT(Described(set.Check(m, known)),
              ElementsAre("unknown-object@2:20[Справочник.Склады]", "unknown-object@4:2[Журналдокументов.Общий]",
                          "unknown-object@4:54[Отчет.Остатки]", "unknown-object@5:32[перечисление.Нет]",
                          "unknown-object@5:64[Константа.Курс]"));
  // Without the configuration's objects, no names are checked.
  EXPECT_THAT(Described(set.Check(m)), IsEmpty());
  const std::vector<TDiagnostic> all = set.Check(m, known);
  EXPECT_EQ(all[0].Severity, TSeverity::Warning);
  EXPECT_EQ(all[0].Message, "В конфигурации нет объекта Справочник.Склады");
}

TEST(CodeChecks, FaultsAreErrorsAndComeFirstOnTheirLine) {
  const std::vector<TDiagnostic> list = CheckModule("Процедура А()\n\tА(1); Если 1 Тогда\n");
  EXPECT_THAT(Described(list), ElementsAre("missing-end@1:1[А]", "too-many-arguments@2:2[А]", "unclosed-block@2:8[]"));
  EXPECT_EQ(list[0].Severity, TSeverity::Error);
  EXPECT_EQ(list[0].Message, "Нет КонецПроцедуры у процедуры А");
}

}  // namespace
