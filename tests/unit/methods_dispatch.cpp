// CallAsFunc's shared checks and Load: refusal order, parameter copies, preset return value,
// the forms a directory may take, and what a failed or repeated Load leaves behind.
#include <gtest/gtest.h>

#include "metadata/MetaStore.h"
#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"

using namespace kalamos;

namespace {

using Methods = TCallFixture;

TVariant Sentinel() { return TVariant::Int(77); }

TEST_F(Methods, EveryFunctionButLoadIsRefusedUntilLoaded) {
  for (LONG method : {1, 4, 10, 12, 17, 18, 19, 1000}) {
    Result = Sentinel();
    EXPECT_EQ(Call(method, {TVariant::Utf8("Colors"), TVariant::Int(1)}), E_FAIL) << method;
    EXPECT_TRUE(Reported(MsgCodeError, IDS_NOT_LOADED)) << method;
    EXPECT_TRUE(IsLong(Result, 77)) << "return value untouched, method " << method;
  }
  // Below zero passes the load check and ends as a number out of range.
  EXPECT_EQ(Call(-1, {}), S_FALSE);
  EXPECT_TRUE(IsLong(Result, 0));
  EXPECT_TRUE(Quiet());
}

TEST_F(Methods, OutOfRangeNumberWithStoreGivesFalseAndZero) {
  LoadText(SampleConfig());
  for (LONG method : {19, -1, 0x7fffffff}) {
    Result = Sentinel();
    EXPECT_EQ(Call(method, {TVariant::Utf8("Colors")}), S_FALSE) << method;
    EXPECT_TRUE(IsLong(Result, 0)) << method;
  }
  EXPECT_TRUE(Quiet());
}

TEST_F(Methods, ObjectNameMustBeTextForNamingFunctions) {
  LoadText(SampleConfig());
  for (LONG method = 0; method < MethodCount; ++method) {
    if (!FunctionRows[method].NamesObject) continue;
    Result = Sentinel();
    EXPECT_EQ(Call(method, {TVariant::Int(5), TVariant::Int(1)}), E_FAIL) << method;
    EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE)) << method;
    EXPECT_TRUE(IsLong(Result, 77)) << "return value untouched, method " << method;
  }
  // ResetEnum takes a number; the attribute functions test their own parameters after the
  // return value was preset.
  EXPECT_EQ(Call(MethodResetEnum, {TVariant::Int(3)}), S_OK);
  EXPECT_TRUE(Quiet());
  Result = Sentinel();
  EXPECT_EQ(Call(MethodHasAttr, {TVariant::Int(5), TVariant::Utf8("Code")}), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
  EXPECT_TRUE(IsLong(Result, 0));
}

TEST_F(Methods, MissingOrOversizedParameterArrays) {
  LoadText(SampleConfig());
  // No array at all, and a pointer to no array: an empty parameter list.
  EXPECT_EQ(Object->CallAsFunc(MethodResetEnum, Result.Get(), nullptr), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
  SAFEARRAY* none = nullptr;
  EXPECT_EQ(Object->CallAsFunc(MethodEnumValCount, Result.Get(), &none), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
  EXPECT_EQ(Object->CallAsFunc(MethodCount, Result.Get(), nullptr), S_FALSE);

  // Nine elements: the first seven are the parameters, the rest is left alone.
  std::vector<TVariant> values(9);
  values[0] = TVariant::Utf8("Invoice");
  values[7] = TVariant::Utf8("eighth");
  values[8] = TVariant::Int(9);
  EXPECT_EQ(Call(MethodEnumDocHead, values), S_OK);
  EXPECT_TRUE(IsLong(Result, 1));
  EXPECT_TRUE(IsText(Out(2), "Note"));
  EXPECT_TRUE(IsText(Out(8), "eighth"));
  EXPECT_TRUE(IsLong(Out(9), 9));

  // An array of numbers is no parameter list; nothing is read from it or written to it.
  SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 2);
  ASSERT_NE(numbers, nullptr);
  EXPECT_EQ(Object->CallAsFunc(MethodResetEnum, Result.Get(), &numbers), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
  SafeArrayDestroy(numbers);
}

class Loading : public TCallFixture {
protected:
  TScratchDir Dir;
  // The scratch directory in the form Load is given, UTF-8.
  std::string Directory() const { return Dir.Path(); }
  HRESULT LoadDir(const std::string& directory) { return Call(MethodLoad, {TVariant::Utf8(directory)}); }
  void ExpectLoaded() {
    EXPECT_TRUE(IsLong(Result, 1));
    EXPECT_TRUE(Quiet());
    ASSERT_TRUE(Object->Store);
    EXPECT_EQ(Call(MethodEnumValCount, {TVariant::Utf8("Colors")}), S_OK);
    EXPECT_TRUE(IsLong(Result, 3));
  }
};

TEST_F(Loading, TrimmedDirectoryWithOrWithoutSeparator) {
  Dir.WriteContainer(SampleConfig());
  struct {
    const char* Name;
    std::string Text;
  } forms[] = {
      {"bare", Directory()},
      {"blanks and controls around", " \t " + Directory() + " \r\n"},
      {"trailing backslash", Directory() + "\\"},
      {"trailing slash", Directory() + "/"},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.Name);
    Object->Done();
    Object->Init(Log->Connection());
    EXPECT_EQ(LoadDir(form.Text), S_OK);
    ExpectLoaded();
  }
}

TEST_F(Loading, EmptyMissingOrWrongParameterLeavesComponentUnloaded) {
  Dir.WriteContainer(SampleConfig(), "other.md");
  for (std::string directory : {std::string(), std::string(" \t\r\n "), Directory() + "\\nowhere", Directory()}) {
    Result = Sentinel();
    EXPECT_EQ(LoadDir(directory), E_FAIL) << directory;
    EXPECT_TRUE(Reported(MsgCodeError, IDS_LOAD_FAILED)) << directory;
    EXPECT_TRUE(IsLong(Result, 0)) << directory;
    EXPECT_FALSE(Object->Store);
  }
  EXPECT_EQ(Call(MethodLoad, {TVariant::Int(12)}), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
  EXPECT_TRUE(IsLong(Result, 0));
  // Still refused afterwards, and a later Load may succeed.
  EXPECT_EQ(Call(MethodEnumValCount, {TVariant::Utf8("Colors")}), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_NOT_LOADED));
  Dir.WriteContainer(SampleConfig());
  EXPECT_EQ(LoadDir(Directory()), S_OK);
  ExpectLoaded();
}

TEST_F(Loading, SecondLoadIsRefusedAndKeepsTheFirstStore) {
  Dir.WriteContainer(SampleConfig());
  ASSERT_EQ(LoadDir(Directory()), S_OK);
  TMetaStore* first = Object->Store.get();
  // Even a directory that does not exist: the refusal comes first.
  for (std::string directory : {Directory(), Directory() + "/nowhere"}) {
    Result = Sentinel();
    EXPECT_EQ(LoadDir(directory), S_OK);
    EXPECT_TRUE(Reported(MsgCodeInfo, IDS_LOAD_TWICE));
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_EQ(Object->Store.get(), first);
  }
  EXPECT_EQ(Call(MethodLoad, {TVariant::Int(1)}), S_OK);
  EXPECT_TRUE(Reported(MsgCodeInfo, IDS_LOAD_TWICE));
}

TEST_F(Loading, CursorsSurviveLoadButNotAStoreTheyDoNotFit) {
  Dir.WriteContainer(SampleConfig());
  ASSERT_EQ(LoadDir(Directory()), S_OK);
  ASSERT_EQ(Call(MethodEnumObjects, {TVariant::Utf8("ENUM"), TVariant()}), S_OK);
  ASSERT_TRUE(IsText(Out(2), "Sizes"));
  // Done and a Load of a much smaller configuration: the old walk's positions lie beyond
  // the new store's index and must end the walk, not read past it.
  Object->Done();
  TScratchDir small;
  small.WriteContainer("{\"EnumList\",\r\n{\"9\",\"Only\",\"\"}}\r\n}\r\n");
  ASSERT_EQ(LoadDir(small.Path()), S_OK);
  EXPECT_FALSE(Object->EnumStates[0].IsIdle()) << "Load leaves the cursors alone";
  int calls = 0;
  do {
    ASSERT_EQ(Call(MethodEnumObjects, {TVariant::Utf8("ENUM"), TVariant()}), S_OK);
  } while (Result.AsInt() == 1 && ++calls < 10);
  EXPECT_TRUE(IsLong(Result, 0)) << "the stale walk ends";
  EXPECT_EQ(Call(MethodEnumObjects, {TVariant::Utf8("ENUM"), TVariant()}), S_OK);
  EXPECT_TRUE(IsText(Out(2), "Only"));
  EXPECT_TRUE(Quiet());
}

}  // namespace
