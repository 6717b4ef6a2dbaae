// Code pages, upper-casing, key order and the string table. Under Wine the same cases run
// against the system's own services, which keeps the native tables honest.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <string>

#include "platform/System.h"
#include "platform/Text.h"
#include "resources/StringIds.h"

using namespace kalamos;

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

TEST(PlatformText, EveryByteSurvivesTheTripThroughUtf16AndUtf8) {
  const std::string bytes = AllBytes();
  WideString wide = AnsiToWide(bytes);
  ASSERT_EQ(256u, wide.size());
  EXPECT_EQ(bytes, WideToAnsi(wide.data(), wide.size()));
  for (unsigned codePage : {1251u, 866u}) {
    SCOPED_TRACE(codePage);
    std::string utf8 = CodePageToUtf8(bytes, codePage);
    EXPECT_EQ(bytes, Utf8ToCodePage(utf8, codePage));
    WideString viaUtf8 = Utf8ToWide(utf8);
    EXPECT_EQ(utf8, WideToUtf8(viaUtf8.data(), viaUtf8.size()));
  }
}

TEST(PlatformText, CodePagesPlaceTheLettersWhereWindowsDoes) {
  struct Case {
    unsigned codePage;
    int byte;
    char16_t unicode;
  } cases[] = {
      {1251, 0xC0, u'А'}, {1251, 0xFF, u'я'}, {1251, 0xA8, u'Ё'}, {1251, 0xB8, u'ё'},
      {1251, 0x88, u'€'}, {1251, 0xB9, u'№'}, {1251, 0x98, 0x0098}, {1251, 0xA0, 0x00A0},
      {866, 0x80, u'А'},  {866, 0xAF, u'п'},  {866, 0xE0, u'р'},    {866, 0xF0, u'Ё'},
      {866, 0xF1, u'ё'},  {866, 0xC4, u'─'},  {866, 0xFC, u'№'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " byte " << std::hex << c.byte);
    WideString wide = Utf8ToWide(CodePageToUtf8(Byte(c.byte), c.codePage));
    ASSERT_EQ(1u, wide.size());
    EXPECT_EQ(static_cast<unsigned>(c.unicode), static_cast<unsigned>(wide[0]));
  }
  EXPECT_EQ(Utf8ToWide("Привет"), AnsiToWide(Utf8ToAnsi("Привет")));
}

TEST(PlatformText, MissingCharactersBecomeQuestionMarks) {
  EXPECT_EQ("a?b", Utf8ToCodePage("a日b", 1251));
  EXPECT_EQ("?", Utf8ToCodePage("─", 1251)); // 866 has it, 1251 not
  EXPECT_EQ("\xC4", Utf8ToCodePage("─", 866));
  WideString ideograph = Utf8ToWide("日");
  EXPECT_EQ("?", WideToAnsi(ideograph.data(), ideograph.size()));
}

TEST(PlatformText, Utf16KeepsCharactersBeyondTheBasicPlane) {
  const std::string text = "x\xF0\x9F\x98\x80y"; // U+1F600 between two letters
  WideString wide = Utf8ToWide(text);
  ASSERT_EQ(4u, wide.size());
  EXPECT_EQ(0xD83Du, static_cast<unsigned>(wide[1]));
  EXPECT_EQ(0xDE00u, static_cast<unsigned>(wide[2]));
  EXPECT_EQ(text, WideToUtf8(wide.data(), wide.size()));
}

TEST(PlatformText, BstrFromAnsiText) {
  EXPECT_EQ(nullptr, AnsiToBstr(""));
  BSTR text = AnsiToBstr(Utf8ToAnsi("Код"));
  ASSERT_NE(nullptr, text);
  EXPECT_EQ(3u, SysStringLen(text));
  EXPECT_EQ(Utf8ToAnsi("Код"), WideToAnsi(text));
  SysFreeString(text);
  EXPECT_EQ("", WideToAnsi(static_cast<BSTR>(nullptr)));
}

TEST(PlatformText, OemTextBecomesAnsiInPlace) {
  const std::string letters = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя№";
  std::string text = Utf8ToCodePage(letters, 866);
  OemToAnsiInPlace(text.data());
  EXPECT_EQ(Utf8ToAnsi(letters), text);

  // Box drawing has no place in 1251: the look-alikes Windows picks.
  std::string box = "\xC4\xB3\xC5\xDA\xCD\xB0 x";
  OemToAnsiInPlace(box.data());
  EXPECT_EQ("-\xA6+-=- x", box);

  // The conversion stops at the first zero byte.
  std::string stopped("\x80\x00\x80", 3);
  OemToAnsiInPlace(stopped.data());
  EXPECT_EQ(std::string("\xC0\x00\x80", 3), stopped);
}

TEST(PlatformText, UpperCasingCoversEveryCyrillicLetterOf1251) {
  const std::string lower = "abcxyzабвгдеёжзийклмнопрстуфхцчшщъыьэюяђѓљњќћџўјґєїіѕ";
  const std::string upper = "ABCXYZАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯЂЃЉЊЌЋЏЎЈҐЄЇІЅ";
  EXPECT_EQ(Utf8ToAnsi(upper), AnsiUpper(Utf8ToAnsi(lower)));
  EXPECT_EQ(Utf8ToAnsi(upper), AnsiUpper(Utf8ToAnsi(upper)));

  // Every byte that is no lower-case letter stays as it is.
  const std::string lowerAnsi = Utf8ToAnsi("абвгдеёжзийклмнопрстуфхцчшщъыьэюяђѓљњќћџўјґєїіѕ");
  for (int b = 1; b < 256; ++b) {
    bool isLower = (b >= 'a' && b <= 'z') || lowerAnsi.find(static_cast<char>(b)) != std::string::npos;
    if (isLower) continue;
    EXPECT_EQ(Byte(b), AnsiUpper(Byte(b))) << "byte " << std::hex << b;
  }

  std::string inPlace = Utf8ToAnsi("ёлка Tree");
  AnsiUpperInPlace(inPlace.data(), 3); // only the first three characters
  EXPECT_EQ(Utf8ToAnsi("ЁЛКа Tree"), inPlace);
}

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(PlatformText, KeysCompareAsTextIgnoringCase) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"32001", "4", -1},     {"4", "32001", 1},       {"", "0", -1},          {"", "", 0},
      {"10", "9", -1},        {"abc", "ABC", 0},       {"Invoice", "INVOICE", 0}, {"a", "ab", -1},
      {"Товар", "ТОВАР", 0},  {"ёлка", "ЁЛКА", 0},     {"Склад", "Товар", -1}, {"b", "A", 1},
      {"Цена", "цена1", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b);
    EXPECT_EQ(c.sign, Sign(CompareKeys(Utf8ToAnsi(c.a), Utf8ToAnsi(c.b))));
  }
}

// One UTF-8 check serves the tool's reading and printing and the native code pages.
TEST(PlatformText, Utf8IsWellFormedOrRefused) {
  struct Case {
    const char* bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"\xD0\x9F\xD1\x80\xD0\xB8", true},  // Прив
      {"\xC2\x80", true},                  // U+0080, the first two-byte one
      {"\xDF\xBF", true},
      {"\xE0\xA0\x80", true},              // U+0800
      {"\xED\x9F\xBF", true},              // U+D7FF, just below the surrogates
      {"\xEE\x80\x80", true},              // U+E000, just above them
      {"\xEF\xBF\xBF", true},
      {"\xF0\x90\x80\x80", true},          // U+10000
      {"\xF4\x8F\xBF\xBF", true},          // U+10FFFF
      {"\xED\xA0\x80", false},             // U+D800, a surrogate
      {"\xED\xBF\xBF", false},             // U+DFFF
      {"\xC0\x80", false},                 // overlong zero
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},             // overlong U+07FF
      {"\xF0\x8F\xBF\xBF", false},         // overlong U+FFFF
      {"\xF4\x90\x80\x80", false},         // past U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
      {"\x80", false},                     // a continuation byte alone
      {"\xD0", false},                     // cut short
      {"\xE2\x82", false},
      {"a\xD0 ", false},
      {"\xE2\x28\xA1", false},             // a continuation byte missing in the middle
  };
  for (const Case& c : cases) {
    const std::string bytes = c.bytes;
    SCOPED_TRACE(testing::Message() << "bytes of \"" << c.bytes << "\"");
    EXPECT_EQ(c.valid, IsValidUtf8(bytes));
    // Every refused sequence reads as replacement characters, never as a letter.
    if (!c.valid) {
      EXPECT_NE(std::string::npos, WideToUtf8(Utf8ToWide(bytes).data(), Utf8ToWide(bytes).size()).find("\xEF\xBF\xBD"));
    }
  }
  char32_t c = 0;
  EXPECT_EQ(3u, DecodeUtf8("x\xE2\x82\xAC", 1, c));
  EXPECT_EQ(U'\u20AC', c);
}

TEST(PlatformText, HresultAsWindowsShowsIt) {
  EXPECT_EQ("8007000E", HresultDigits(E_OUTOFMEMORY));
  EXPECT_EQ("00000001", HresultDigits(S_FALSE));
}

TEST(PlatformSystem, StringTableTextsArriveInCodePage1251) {
  EXPECT_EQ("Ostrak", LoadResourceString(IDS_EXTENSION_NAME));
  EXPECT_EQ(Utf8ToAnsi("Возможен только один вызов Load"), LoadResourceString(IDS_LOAD_TWICE));
  EXPECT_EQ(Utf8ToAnsi("НАИМЕНОВАНИЕ"), LoadResourceString(IDS_REF_BUILTIN_1));
  EXPECT_EQ("", LoadResourceString(59999));
}

TEST(PlatformSystem, TodayIsAWholeDayCountedFrom1899) {
  DATE today = TodayAsDate();
  EXPECT_EQ(std::floor(today), today);
  // The Unix epoch is day 25569; local and universal time differ by less than a day.
  double utcDay = std::floor(static_cast<double>(std::time(nullptr)) / 86400.0) + 25569.0;
  EXPECT_LE(std::fabs(today - utcDay), 1.0);
}

} // namespace
