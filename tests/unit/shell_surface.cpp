// The constant script surface of IScriptAugment: names, lookups, parameter counts and
// defaults, and the property and procedure refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "platform/Text.h"
#include "metadata/Kinds.h"
#include "methods/Functions.h"
#include "shell/Ostrak.h"
#include "tests/support/OleValues.h"

using namespace kalamos;

namespace {

// Owns a BSTR made from UTF-8 for the length of one call.
struct TBstr {
  explicit TBstr(const char* utf8) {
    const WideString wide = Utf8ToWide(utf8);
    Text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  explicit TBstr(const WideString& wide) : Text(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()))) {}
  ~TBstr() { SysFreeString(Text); }
  BSTR Text;
};

class ShellSurface : public ::testing::Test {
protected:
  ShellSurface() : Ostrak(new TOstrak) { Ostrak->AddRef(); }

  LONG Find(const WideString& name) {
    TBstr text(name);
    LONG number = 12345;
    EXPECT_EQ(S_OK, Ostrak->FindMethod(text.Text, &number));
    return number;
  }
  WideString Name(LONG number, LONG alias) {
    BSTR name = nullptr;
    EXPECT_EQ(S_OK, Ostrak->GetMethodName(number, alias, &name));
    WideString out = FromBstr(name);
    SysFreeString(name);
    return out;
  }

  TComPtr<TOstrak> Ostrak;
};

// Days from 1899-12-30 to a civil date, independent of the component's clock code.
double AutomationDay(int year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long unixDays = era * 146097L + static_cast<long>(doe) - 719468L;
  return static_cast<double>(unixDays + 25569L);
}

double LocalToday() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  return AutomationDay(local->tm_year + 1900, static_cast<unsigned>(local->tm_mon + 1),
                       static_cast<unsigned>(local->tm_mday));
}

}  // namespace

TEST_F(ShellSurface, FindMethodMatchesAnyPieceFirstEntryWins) {
  const struct {
    const char* Name;
    LONG Number;
  } cases[] = {
      {"Load", 0},
      {"загрузить", 0},
      {"LOAD;ЗАГРУЗИТЬ", 0},
      {"d;З", 0},
      {"Enum", 4},
      {"EnumValCount", 14},
      {"EnumVal", 9},
      {"Attr", 1},
      {"Реквизит", 1},
      {"Ref", 6},
      {"сброспЕРЕЧИСЛЕНИЯ", 17},
      {"refinfo", 18},
      {"", -1},
      {"NoSuchFunction", -1},
      {"Load Загрузить", -1},
      {"Загрузить;", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Number, Find(Utf8ToWide(c.Name))) << c.Name;

  // A character the ANSI code page lacks must not vanish and leave a match behind.
  EXPECT_EQ(-1, Find(Utf8ToWide("Load") + OLECHAR(0x4E2D)));
  // A null BSTR is the empty name.
  LONG number = 0;
  EXPECT_EQ(S_OK, Ostrak->FindMethod(nullptr, &number));
  EXPECT_EQ(-1, number);
}

TEST_F(ShellSurface, EveryCompleteNameFindsItsOwnEntry) {
  for (LONG i = 0; i < MethodCount; ++i) {
    EXPECT_EQ(i, Find(Name(i, 0))) << i;
    EXPECT_EQ(i, Find(Name(i, 1))) << i;
  }
}

TEST_F(ShellSurface, MethodNamesByAlias) {
  EXPECT_EQ(Utf8ToWide("EnumValues"), Name(MethodEnumValues, 0));
  EXPECT_EQ(Utf8ToWide("ЗначенияПеречисления"), Name(MethodEnumValues, 1));
  EXPECT_EQ(Utf8ToWide("ЗначенияПеречисления"), Name(MethodEnumValues, 2));
  EXPECT_EQ(Utf8ToWide("ЗначенияПеречисления"), Name(MethodEnumValues, -1));
  EXPECT_EQ(Utf8ToWide("Load"), Name(MethodLoad, 0));
  EXPECT_EQ(Utf8ToWide("ПараметрыСправочника"), Name(MethodRefInfo, 1));

  for (LONG outOfRange : {LONG(-1), LONG(MethodCount), LONG(1000)}) {
    BSTR untouched = reinterpret_cast<BSTR>(this);
    EXPECT_EQ(S_FALSE, Ostrak->GetMethodName(outOfRange, 0, &untouched));
    EXPECT_EQ(reinterpret_cast<BSTR>(this), untouched);
  }
}

TEST_F(ShellSurface, ParameterCountsAndReturnValues) {
  LONG methods = 0;
  EXPECT_EQ(S_OK, Ostrak->GetNMethods(&methods));
  EXPECT_EQ(MethodCount, methods);
  for (LONG i = 0; i < MethodCount; ++i) {
    LONG count = -7;
    EXPECT_EQ(S_OK, Ostrak->GetNParams(i, &count));
    EXPECT_EQ(FunctionRows[i].Params, count) << i;
    BOOL hasValue = FALSE;
    EXPECT_EQ(S_OK, Ostrak->HasRetVal(i, &hasValue));
    EXPECT_EQ(TRUE, hasValue) << i;
  }
  for (LONG outOfRange : {LONG(-1), LONG(MethodCount)}) {
    LONG count = -7;
    BOOL hasValue = 5;
    EXPECT_EQ(S_FALSE, Ostrak->GetNParams(outOfRange, &count));
    EXPECT_EQ(S_FALSE, Ostrak->HasRetVal(outOfRange, &hasValue));
    EXPECT_EQ(-7, count);
    EXPECT_EQ(5, hasValue);
  }
}

TEST_F(ShellSurface, DefaultValuesOfOmittedParameters) {
  const struct {
    LONG Method;
    LONG Param;
    HRESULT Result;
    VARTYPE Type;
  } cases[] = {
      {MethodGetAttr, 3, S_OK, VT_DATE},         {MethodSetAttr, 3, S_OK, VT_DATE},
      {MethodEnumDocTable, 6, S_OK, VT_BSTR},    {MethodEnumDocHead, 6, S_OK, VT_BSTR},
      {MethodEnumRef, 6, S_OK, VT_BSTR},         {MethodLoad, 0, S_OK, VT_EMPTY},
      {MethodEnumRegDim, 2, S_OK, VT_EMPTY},     {MethodEnumDocHead, 0, S_OK, VT_EMPTY},
      {MethodGetAttr, 2, S_OK, VT_EMPTY},        {MethodSetAttr, 4, S_FALSE, VT_EMPTY},
      {MethodEnumDocHead, 7, S_FALSE, VT_EMPTY}, {MethodEnumDocHead, -1, S_FALSE, VT_EMPTY},
      {MethodCount, 0, S_FALSE, VT_EMPTY},       {-1, 0, S_FALSE, VT_EMPTY},
  };
  for (const auto& c : cases) {
    // Whatever the host left in the value is cleared first (and not leaked).
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(OLESTR("stale"));
    const double before = LocalToday();
    EXPECT_EQ(c.Result, Ostrak->GetParamDefValue(c.Method, c.Param, &value)) << c.Method << "," << c.Param;
    const double after = LocalToday();
    EXPECT_EQ(c.Type, value.vt) << c.Method << "," << c.Param;
    if (value.vt == VT_DATE) {
      EXPECT_TRUE(value.date == before || value.date == after) << value.date << " is not today at midnight";
    }
    if (value.vt == VT_BSTR) {
      EXPECT_EQ(nullptr, value.bstrVal);
    }
    VariantClear(&value);
  }
}

TEST_F(ShellSurface, NoPropertiesAndNoProcedures) {
  LONG count = 5;
  EXPECT_EQ(S_OK, Ostrak->GetNProps(&count));
  EXPECT_EQ(0, count);
  TBstr name("Anything");
  LONG number = 5;
  EXPECT_EQ(S_FALSE, Ostrak->FindProp(name.Text, &number));
  EXPECT_EQ(-1, number);

  BSTR propName = SysAllocString(OLESTR("held"));
  EXPECT_EQ(S_FALSE, Ostrak->GetPropName(0, 0, &propName));
  EXPECT_EQ(nullptr, propName);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(OLESTR("held"));
  EXPECT_EQ(S_FALSE, Ostrak->GetPropVal(0, &value));
  EXPECT_EQ(VT_EMPTY, value.vt);
  EXPECT_EQ(S_FALSE, Ostrak->SetPropVal(0, &value));
  BOOL flag = 7;
  EXPECT_EQ(S_FALSE, Ostrak->IsPropReadable(0, &flag));
  EXPECT_EQ(S_FALSE, Ostrak->IsPropWritable(0, &flag));
  EXPECT_EQ(7, flag);

  for (LONG i = 0; i < MethodCount; ++i) EXPECT_EQ(E_FAIL, Ostrak->CallAsProc(i, nullptr)) << i;
  EXPECT_EQ(S_FALSE, Ostrak->CallAsProc(MethodCount, nullptr));
  EXPECT_EQ(S_FALSE, Ostrak->CallAsProc(-1, nullptr));
}

TEST_F(ShellSurface, ExtensionName) {
  BSTR name = nullptr;
  EXPECT_EQ(S_OK, Ostrak->RegisterExtensionAs(&name));
  EXPECT_EQ(Utf8ToWide("Ostrak"), FromBstr(name));
  SysFreeString(name);
}

// The tables themselves: every method entry is "English;Russian" without blanks, every kind
// entry "ENGLISH:RUSSIAN" in upper case and short enough for its 30-character field.
TEST(ShellTables, EntriesKeepTheirShape) {
  for (int i = 0; i < MethodCount; ++i) {
    const std::string& entry = MethodEntry(i);
    EXPECT_EQ(1, std::count(entry.begin(), entry.end(), ';')) << i;
    EXPECT_EQ(std::string::npos, entry.find(' ')) << i;
    EXPECT_NE(0u, entry.find(';')) << i;
    EXPECT_NE(entry.size() - 1, entry.find(';')) << i;
  }
  for (int k = 0; k < KindCount; ++k) {
    const std::string& entry = KindEntry(k);
    EXPECT_EQ(1, std::count(entry.begin(), entry.end(), ':')) << k;
    EXPECT_EQ(AnsiUpper(entry), entry) << k;
    EXPECT_LE(entry.size(), 30u) << k;
  }
  // Stored in code page 1251, one byte per letter.
  EXPECT_EQ(Utf8ToCodePage("DOCUMENT:ДОКУМЕНТ", 1251), KindEntry(KindDocument));
  EXPECT_EQ(std::string("DOCUMENT:\xC4\xCE\xCA\xD3\xCC\xC5\xCD\xD2"), KindEntry(KindDocument));
  EXPECT_EQ(std::string("Load;\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC"), MethodEntry(MethodLoad));
}
