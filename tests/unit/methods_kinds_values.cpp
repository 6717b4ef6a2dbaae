// Analytic kinds, enumeration values and catalogue settings: one answer per call, with the
// lookups' failures reported before a wrong second parameter.
#include <gtest/gtest.h>

#include <string>

#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"

using namespace kalamos;

namespace {

class KindsAndValues : public TCallFixture {
protected:
  KindsAndValues() { LoadText(SampleConfig()); }

  // The call fails with report (1006, message) and the return value VT_I4 0.
  void ExpectRefused(LONG method, std::vector<TVariant> params, unsigned message) {
    Result = TVariant::Int(77);
    EXPECT_EQ(Call(method, params), E_FAIL);
    EXPECT_TRUE(Reported(MsgCodeError, message));
    EXPECT_TRUE(IsLong(Result, 0));
  }
};

TEST_F(KindsAndValues, AnalyticKindTypes) {
  struct {
    const char* Name;
    LONG Type;
    const char* Kind;
  } cases[] = {
      {"Clients", 11, "Справочник.Clients"},
      {"colors", 10, "Перечисление.Colors"},
      {"Docs", 12, "Документ"},
      {"Plain", 10, "Перечисление"},
      {"Qty", 0, ""},  // N is a type of attributes, not of analytic kinds
      {"Odd", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Call(MethodSbKindType, {TVariant::Utf8(c.Name)}), S_OK);
    EXPECT_TRUE(IsLong(Result, c.Type));
    EXPECT_EQ(Call(MethodSbKindKind, {TVariant::Utf8(c.Name)}), S_OK);
    EXPECT_TRUE(IsText(Result, c.Kind));
  }
  EXPECT_TRUE(Quiet());
  // Kinds kept under any but the first accounting object are not found.
  for (const char* name : {"Hidden", "Nothing"}) {
    ExpectRefused(12, {TVariant::Utf8(name)}, IDS_BAD_NAME);
    ExpectRefused(13, {TVariant::Utf8(name)}, IDS_BAD_NAME);
  }
}

TEST_F(KindsAndValues, NoAccountingSectionFindsNoKind) {
  LoadText("{\"Documents\",\r\n{\"1\",\"Invoice\",\"\"}}\r\n}\r\n");
  ExpectRefused(12, {TVariant::Utf8("Clients")}, IDS_BAD_NAME);
  ExpectRefused(13, {TVariant::Utf8("")}, IDS_BAD_NAME);
  LoadText("{\"Buh\"}\r\n}\r\n");
  ExpectRefused(12, {TVariant::Utf8("Clients")}, IDS_BAD_NAME);
}

TEST_F(KindsAndValues, ValueCountAndValuesByNumber) {
  struct {
    const char* Enum;
    LONG Count;
  } counts[] = {{"Colors", 3}, {"COLORS", 3}, {"Bare", 0}, {"NoValues", 0}, {"Sizes", 2}};
  for (const auto& c : counts) {
    EXPECT_EQ(Call(MethodEnumValCount, {TVariant::Utf8(c.Enum)}), S_OK);
    EXPECT_TRUE(IsLong(Result, c.Count)) << c.Enum;
  }
  struct {
    LONG Number;
    const char* Name;
  } values[] = {{1, "Blue"}, {2, "Green"}, {3, "Red"}, {0, ""}, {4, ""}, {-1, ""}, {0x7fffffff, ""}};
  for (const auto& v : values) {
    EXPECT_EQ(Call(MethodValueByNum, {TVariant::Utf8("colors"), TVariant::Int(v.Number)}), S_OK);
    EXPECT_TRUE(IsText(Result, v.Name)) << v.Number;
  }
  EXPECT_EQ(Call(MethodValueByNum, {TVariant::Utf8("NoValues"), TVariant::Int(1)}), S_OK);
  EXPECT_TRUE(IsText(Result, ""));
  EXPECT_TRUE(Quiet());

  ExpectRefused(14, {TVariant::Utf8("Clients")}, IDS_BAD_NAME);
  ExpectRefused(15, {TVariant::Utf8("Colors"), TVariant::Utf8("1")}, IDS_BAD_PARAM_TYPE);
  // The name is looked up before the number's type is checked.
  ExpectRefused(15, {TVariant::Utf8("Nothing"), TVariant::Utf8("1")}, IDS_BAD_NAME);
}

TEST_F(KindsAndValues, InternalFormPadsTheValueIdentifier) {
  EXPECT_EQ(Call(MethodEnumValInternal, {TVariant::Utf8("Colors"), TVariant::Utf8("gReEn")}), S_OK);
  EXPECT_TRUE(IsText(Result, "{\"E\",\"0\",\"0\",\"200\",\"0\",\"0\",\"       202   \"}"));
  // Ten characters or more: no padding, still three blanks after it.
  EXPECT_EQ(Call(MethodEnumValInternal, {TVariant::Utf8("Sizes"), TVariant::Utf8("Small")}), S_OK);
  EXPECT_TRUE(IsText(Result, "{\"E\",\"0\",\"0\",\"300\",\"0\",\"0\",\"12345678901   \"}"));
  EXPECT_EQ(Call(MethodEnumValInternal, {TVariant::Utf8("Sizes"), TVariant::Utf8("medium")}), S_OK);
  EXPECT_TRUE(IsText(Result, "{\"E\",\"0\",\"0\",\"300\",\"0\",\"0\",\" 123456789   \"}"));
  EXPECT_TRUE(Quiet());

  ExpectRefused(16, {TVariant::Utf8("Colors"), TVariant::Utf8("Purple")}, IDS_BAD_NAME);
  ExpectRefused(16, {TVariant::Utf8("Colors"), TVariant::Int(1)}, IDS_BAD_PARAM_TYPE);
  ExpectRefused(16, {TVariant::Utf8("NoValues"), TVariant::Utf8("Red")}, IDS_BAD_NAME);
  ExpectRefused(16, {TVariant::Utf8("Nothing"), TVariant::Int(1)}, IDS_BAD_NAME);
}

TEST_F(KindsAndValues, RefInfoSelectsTheSettingByNumber) {
  // Field k of the sample catalogues holds 100 + k.
  const LONG expected[] = {105, 107, 106, 108, 109, 112, 116};
  for (LONG selector = 1; selector <= 7; ++selector) {
    EXPECT_EQ(Call(MethodRefInfo, {TVariant::Utf8("goods"), TVariant::Int(selector)}), S_OK);
    EXPECT_TRUE(IsLong(Result, expected[selector - 1])) << selector;
  }
  EXPECT_TRUE(Quiet());
  for (LONG selector : {0, 8, -1}) {
    ExpectRefused(18, {TVariant::Utf8("Goods"), TVariant::Int(selector)}, IDS_BAD_PARAM_TYPE);
  }
  ExpectRefused(18, {TVariant::Utf8("Goods"), TVariant::Utf8("1")}, IDS_BAD_PARAM_TYPE);
  ExpectRefused(18, {TVariant::Utf8("Colors"), TVariant::Int(0)}, IDS_BAD_NAME);
}

TEST_F(KindsAndValues, RefInfoRefusesSettingsThatAreNoInteger) {
  LoadText(
      "{\"SbCnts\",\r\n"
      "{\"1\",\"Odd\",\"\",\"0\",\"\",\"abc\",\"99999999999\",\"-12\"}}\r\n}\r\n");
  // Fields 5 text, 6 out of range, 8 and 9 missing; field 7 is a number.
  for (LONG selector : {1, 3, 4, 5}) {
    SCOPED_TRACE(selector);
    ExpectRefused(18, {TVariant::Utf8("Odd"), TVariant::Int(selector)}, IDS_BAD_PARAM_TYPE);
  }
  EXPECT_EQ(Call(MethodRefInfo, {TVariant::Utf8("Odd"), TVariant::Int(2)}), S_OK);
  EXPECT_TRUE(IsLong(Result, -12));
}

}  // namespace
