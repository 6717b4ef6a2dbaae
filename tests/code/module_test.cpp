#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "code/Module.h"
#include "code/Navigation.h"
#include "tests/code/CodeSamples.h"

using namespace kalamos::code;
using kalamos::code::samples::Lines;
using testing::ElementsAre;

namespace {

// (name, line, column, enclosing procedure, arguments) of every call.
std::vector<std::tuple<std::string, int, int, int, int>> CallsOf(const TModule& m) {
  std::vector<std::tuple<std::string, int, int, int, int>> out;
  for (const TCall& c : m.Calls) out.emplace_back(c.Name, c.Line, c.Column, c.Procedure, c.Arguments);
  return out;
}

// code@line:column of every structure fault.
std::vector<std::string> FaultsOf(std::string_view text) {
  std::vector<std::string> out;
  for (const TDiagnostic& d : ParseModule(text).Faults)
    out.push_back(d.Code + "@" + std::to_string(d.Line) + ":" + std::to_string(d.Column));
  return out;
}

class CodeModule : public testing::TestWithParam<const char*> {};

// The same module with LF and with CR LF line ends gives the same answers.
TEST_P(CodeModule, ProceduresVariablesAndParameters) {
  const TModule m = ParseModule(samples::Document(GetParam()));
  EXPECT_TRUE(m.Faults.empty());
  ASSERT_EQ(m.Procedures.size(), 4u);
  const TProcedure& check = m.Procedures[0];
  EXPECT_EQ(check.Name, "Проверить");
  EXPECT_TRUE(check.IsFunction && check.Exported && !check.Forward);
  EXPECT_EQ(check.FirstLine, 8);
  EXPECT_EQ(check.LastLine, 17);
  ASSERT_EQ(check.Parameters.size(), 3u);
  EXPECT_TRUE(check.Parameters[0].ByValue);
  EXPECT_FALSE(check.Parameters[0].Default.has_value());
  EXPECT_EQ(check.Parameters[1].Default, "-1");
  EXPECT_EQ(check.Parameters[2].Default, "\"а\"\"б\"");

  const TProcedure& forward = m.Procedures[1];
  EXPECT_TRUE(forward.Forward);
  EXPECT_EQ(forward.FirstLine, 19);
  EXPECT_EQ(forward.LastLine, 19);
  // The query text's "Функция" and "Процедура" declare nothing.
  EXPECT_EQ(m.Procedures[2].Name, "ВыполнитьЗапрос");
  EXPECT_EQ(m.Procedures[2].FirstLine, 21);
  EXPECT_EQ(m.Procedures[2].LastLine, 39);
  EXPECT_EQ(m.Procedures[3].FirstLine, 41);  // English keywords
  EXPECT_EQ(m.Procedures[3].LastLine, 45);
  EXPECT_EQ(m.Procedures[3].NameColumn, 11);

  ASSERT_EQ(m.Variables.size(), 4u);
  EXPECT_EQ(m.Variables[0].Name, "глСчетчик");
  EXPECT_TRUE(m.Variables[0].Exported);
  EXPECT_FALSE(m.Variables[1].Exported);
  EXPECT_TRUE(m.Variables[2].Exported);
  EXPECT_EQ(m.Variables[3].Name, "В");
  EXPECT_EQ(m.Variables[3].Column, 21);
}

TEST_P(CodeModule, CallsAreNamesBeforeABracketNotAfterADot) {
  const TModule m = ParseModule(samples::Document(GetParam()));
  EXPECT_THAT(CallsOf(m), ElementsAre(std::tuple("Сообщить", 12, 3, 0, 1), std::tuple("Проверить", 14, 11, 0, 2),
                                      std::tuple("СоздатьОбъект", 22, 11, 2, 1), std::tuple("Заполнить", 31, 5, 2, 1),
                                      std::tuple("СоздатьОбъект", 42, 8, 3, 1), std::tuple("Проверить", 47, 13, -1, 3)));
}

TEST_P(CodeModule, ObjectsNamedInStringsAndInCode) {
  const TModule m = ParseModule(samples::Document(GetParam()));
  std::vector<std::string> seen;
  for (const TObjectRef& o : m.Objects)
    seen.push_back(std::string(KindWord(o.Kind)) + ":" + o.KindAsWritten + "." + o.Name + (o.Value.empty() ? "" : "." + o.Value) +
                   "@" + std::to_string(o.Line) + ":" + std::to_string(o.Column) + (o.InString ? " string" : " code"));
  EXPECT_THAT(seen, ElementsAre("Документ:Документ.Реализация@24:25 string", "Документ:документ.Реализация@26:11 string",
                                "Константа:Константа.ОсновнаяФирма@38:7 code",
                                "Перечисление:Перечисление.Виды.Основной@38:33 code",
                                "Документ:Документ.Реализация@42:23 string"));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, CodeModule, testing::Values("\n", "\r\n"));

TEST(CodeModuleText, NotObjectNames) {
  const TModule m = ParseModule(Lines({
      "А = \"ВидСправочник.Х, .Документ.Х, Справочник., Справочник .Х",
      "\t//|Документ.Удаленный.Товар",
      "\t|\";",
      "// Справочник.ВКомментарии Константа.ВКомментарии",
      "Б = Запрос.Константа.Х + Перечисление + Константа;",
  }));
  EXPECT_TRUE(m.Objects.empty());
}

TEST(CodeModuleText, ArgumentsCountedAtTheirOwnDepth) {
  const TModule m = ParseModule(Lines({
      "А = Ф(Г(1, 2), М[1, 2], ?(Х, 1, 2), Объект.Метод(1, 2));",
      "Б = Ф(); В = Ф(,); Г = Ф(,,1);",
      "Д = Ф(1,",
      "      2",
      "Если Ф(А И Не Б) Тогда КонецЕсли;",
  }));
  std::vector<int> counts;
  for (const TCall& c : m.Calls) counts.push_back(c.Arguments);
  // The unclosed call on line 3 ends at the keyword that starts the next statement.
  EXPECT_THAT(counts, ElementsAre(4, 2, 0, 2, 3, 2, 1));
}

TEST(CodeModuleText, StructureFaults) {
  EXPECT_THAT(FaultsOf("А = \"нет конца\nБ = 1;"), ElementsAre("unterminated-string@1:5"));
  EXPECT_THAT(FaultsOf("Процедура А()\n\tЕсли 1 Тогда\nКонецПроцедуры"), ElementsAre("unclosed-block@2:2"));
  EXPECT_THAT(FaultsOf("Процедура А()\n\tКонецЕсли;\nКонецПроцедуры"), ElementsAre("unexpected-end@2:2"));
  EXPECT_THAT(FaultsOf("Процедура А()\n\tПока 1 Цикл\n\t\tПопытка\n\tКонецЦикла;\nКонецПроцедуры"),
              ElementsAre("unclosed-block@3:3"));
  EXPECT_THAT(FaultsOf("Процедура А()\n\tДля Н = 1 По 2 Цикл\n\t\tИсключение\nКонецПроцедуры"),
              ElementsAre("unclosed-block@2:2", "unexpected-end@3:3"));
  EXPECT_THAT(FaultsOf("Функция А()\nКонецПроцедуры\nКонецФункции"),
              ElementsAre("unexpected-end@2:1", "unexpected-end@3:1"));
  EXPECT_THAT(FaultsOf("Процедура А()\n\tА = 1;"), ElementsAre("missing-end@1:1"));
  EXPECT_THAT(FaultsOf("Процедура А(Б\nКонецПроцедуры"), ElementsAre("bad-declaration@1:13"));
  EXPECT_THAT(FaultsOf("Если 1 Тогда\nИначе\nКонецЕсли;\nИначе\nКонецЦикла;"),
              ElementsAre("unexpected-end@4:1", "unexpected-end@5:1"));
}

TEST(CodeModuleText, AProcedureInsideAProcedureEndsIt) {
  const TModule m = ParseModule("Процедура А()\n\tЕсли 1 Тогда\n\t\tБ();\nФункция Б()\nКонецФункции\n");
  EXPECT_THAT(FaultsOf(m.Text), ElementsAre("unclosed-block@2:2", "nested-procedure@4:1"));
  ASSERT_EQ(m.Procedures.size(), 2u);
  EXPECT_EQ(m.Procedures[0].LastLine, 3);
  EXPECT_FALSE(m.Procedures[0].Ended);
  EXPECT_EQ(m.Procedures[1].FirstLine, 4);
  EXPECT_EQ(m.Procedures[1].LastLine, 5);
  EXPECT_EQ(EnclosingProcedure(m, 3), 0);
  EXPECT_EQ(EnclosingProcedure(m, 4), 1);
  EXPECT_EQ(EnclosingProcedure(m, 6), -1);
}

TEST(CodeModuleText, TokenUnderTheCursor) {
  const TModule m = ParseModule(samples::Document("\r\n"));
  const auto at = [&](int line, int column) {
    const auto t = TokenAt(m, line, column);
    return t ? t->Text + "@" + std::to_string(t->Line) + ":" + std::to_string(t->Column) : std::string("-");
  };
  EXPECT_EQ(at(14, 12), "Проверить@14:11");
  EXPECT_EQ(at(14, 20), "Проверить@14:11");  // just past the name, before its bracket
  EXPECT_EQ(at(14, 21), "Кол@14:21");
  EXPECT_EQ(at(14, 1), "-");
  EXPECT_EQ(at(25, 5), "\"//{{ЗАПРОС(Сформировать)\r\n\t|Функция Сумма = Сумма(Документ.Реализация.Сумма);\r\n\t|Процедура; // "
                       "не комментарий\r\n\t|Товар = документ.Реализация.Товар;\"@23:10");
  EXPECT_EQ(at(44, 32), "Перем@44:31");
  EXPECT_FALSE(TokenAt(m, 44, 32)->Token.Kind == TTokenKind::Keyword);
  EXPECT_EQ(at(99, 1), "-");
  EXPECT_EQ(at(0, 1), "-");
}

TEST(CodeModuleText, CommentAboveAndSignature) {
  const TModule m = ParseModule(samples::Document("\r\n"));
  EXPECT_THAT(CommentAbove(m, 0), ElementsAre("Проверяет количество.", "  Второй строкой."));
  EXPECT_TRUE(CommentAbove(m, 1).empty());
  EXPECT_EQ(SignatureText(m, 0), "Функция Проверить(Знач Кол, Режим = -1, Текст = \"а\"\"б\") Экспорт");
  EXPECT_EQ(SignatureText(m, 1), "Процедура Заполнить(Стр) Далее");
  const TModule wrapped = ParseModule("Функция Ф( Знач А, // первый\r\n\t\tБ = 0\r\n\t) Экспорт\r\nКонецФункции");
  EXPECT_EQ(SignatureText(wrapped, 0), "Функция Ф(Знач А, Б = 0) Экспорт");
}

// Any text parses, and what comes out stays inside it.
TEST(CodeModuleText, EveryPrefixOfAModuleParses) {
  const std::string text = samples::Document("\r\n");
  for (size_t n = 0; n <= text.size(); ++n) {
    const TModule m = ParseModule(std::string_view(text).substr(0, n));
    int previous = 0;
    for (const TProcedure& p : m.Procedures) {
      ASSERT_LE(previous, p.FirstLine) << n;
      ASSERT_LE(p.FirstLine, p.LastLine) << n;
      ASSERT_LE(p.LastLine, m.LineCount()) << n;
      previous = p.LastLine;
    }
    for (const TDiagnostic& d : m.Faults) ASSERT_TRUE(d.Line >= 1 && d.Line <= m.LineCount() && d.Column >= 1) << n;
  }
}

}  // namespace
