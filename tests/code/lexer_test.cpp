#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/Letters.h"
#include "code/Lexer.h"

using namespace kalamos::code;

namespace {

std::vector<TToken> Tokens(std::string_view text) {
  std::vector<TToken> out;
  TLexer lexer(text);
  for (TToken t = lexer.Next(); t.Kind != TTokenKind::End; t = lexer.Next()) out.push_back(t);
  return out;
}

TEST(CodeLetters, FoldsLatinAndCyrillicLettersAlike) {
  EXPECT_EQ(Folded("ёлка Ёж abc_1 яЯ ѓ"), "ЁЛКА ЁЖ ABC_1 ЯЯ Ѓ");
  EXPECT_TRUE(SameName("КонецПроцедуры", "кОНЕЦпРОЦЕДУРЫ"));
  EXPECT_FALSE(SameName("Сумма", "Сумм"));
  EXPECT_FALSE(SameName("Е", "Ё"));
  EXPECT_EQ(CharCount("Ёж x"), 4u);
}

TEST(CodeLexer, KeywordsInEitherLanguageAndAnyCase) {
  EXPECT_EQ(KeywordOf("кОнЕцПрОцЕдУрЫ"), TKeyword::EndProcedure);
  EXPECT_EQ(KeywordOf("endfunction"), TKeyword::EndFunction);
  EXPECT_EQ(KeywordOf("ИНАЧЕЕСЛИ"), TKeyword::ElsIf);
  EXPECT_EQ(KeywordOf("Знач"), TKeyword::Val);
  EXPECT_EQ(KeywordOf("и"), TKeyword::And);
  EXPECT_EQ(KeywordOf("Процедуры"), TKeyword::None);
  EXPECT_EQ(KeywordOf("Иначее"), TKeyword::None);
  EXPECT_EQ(KeywordOf(""), TKeyword::None);
  // After a dot a keyword's spelling names a property.
  const std::vector<TToken> t = Tokens("Док.Перем = Перем");
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[2].Kind, TTokenKind::Ident);
  EXPECT_TRUE(t[2].AfterDot);
  EXPECT_EQ(t[4].Kind, TTokenKind::Keyword);
}

TEST(CodeLexer, StringsDoubledQuotesAndContinuationLines) {
  const std::string text = "А = \"а\"\"б\"; Б = \"первая // не комментарий\r\n   |вторая\r\n\t|третья\"; // комментарий \"\r\nВ";
  const std::vector<TToken> t = Tokens(text);
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t[2].Kind, TTokenKind::String);
  EXPECT_EQ(t[2].Text(text), "\"а\"\"б\"");
  EXPECT_EQ(t[6].Kind, TTokenKind::String);
  EXPECT_EQ(t[6].Line, 1u);
  EXPECT_EQ(t[6].LastLine, 3u);
  EXPECT_FALSE(t[6].Unterminated);
  EXPECT_EQ(t[8].Kind, TTokenKind::Comment);
  EXPECT_EQ(t[9].Line, 4u);
}

TEST(CodeLexer, CommentLinesBetweenAStringsLines) {
  const std::string text = "Т = \"первая\n\t//|закомментирована\n  // и эта\n\t|последняя\";\n// конец";
  const std::vector<TToken> t = Tokens(text);
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[2].Kind, TTokenKind::String);
  EXPECT_FALSE(t[2].Unterminated);
  EXPECT_EQ(t[2].LastLine, 4u);
  EXPECT_EQ(t[4].Kind, TTokenKind::Comment);
  EXPECT_EQ(t[4].Line, 5u);
  // Without a continued line after them, the comments end the (unterminated) string.
  EXPECT_TRUE(Tokens("Т = \"первая\n// а\nБ = 1;")[2].Unterminated);
}

TEST(CodeLexer, UnterminatedStringsAndDatesEndAtTheirLine) {
  const std::string text = "А = \"нет конца\r\nБ = '20240131'; В = '2024\nГ";
  const std::vector<TToken> t = Tokens(text);
  ASSERT_EQ(t.size(), 11u);
  EXPECT_TRUE(t[2].Unterminated);
  EXPECT_EQ(t[2].Text(text), "\"нет конца");
  EXPECT_EQ(t[3].Line, 2u);
  EXPECT_EQ(t[5].Kind, TTokenKind::Date);
  EXPECT_FALSE(t[5].Unterminated);
  EXPECT_TRUE(t[9].Unterminated);
  EXPECT_EQ(t[9].Text(text), "'2024");
  EXPECT_EQ(t[10].Line, 3u);
}

TEST(CodeLexer, LabelsPreprocessorLinesAndStrayBytes) {
  const std::string text = "\xEF\xBB\xBF  #ЗагрузитьИзФайла Общий.txt\n~Метка: А # Б\n\xFF\xD0 Я\xE2\x80\x94";
  const std::vector<TToken> t = Tokens(text);
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t[0].Kind, TTokenKind::Preproc);
  EXPECT_EQ(t[1].Kind, TTokenKind::Label);
  EXPECT_EQ(t[1].Text(text), "~Метка");
  EXPECT_TRUE(t[2].Is(':'));
  EXPECT_TRUE(t[4].Is('#'));  // not at a line's start
  EXPECT_EQ(t[6].Kind, TTokenKind::Other);
  EXPECT_EQ(t[7].Kind, TTokenKind::Other);
  EXPECT_EQ(t[8].Text(text), "Я");
  EXPECT_EQ(t[9].Length, 3u);  // one character, however foreign
}

}  // namespace
