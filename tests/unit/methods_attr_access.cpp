// HasAttr, SetAttr, GetAttr against host-object doubles: what the component asks of the
// host object, in which order and with which arguments, and what it reports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Text.h"
#include "resources/StringIds.h"
#include "methods/HostObject.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"
#include "tests/support/MockDispatch.h"

using namespace kalamos;

namespace {

using Strings = std::vector<std::string>;

class AttrAccess : public TCallFixture {
protected:
  AttrAccess() { LoadText(SampleConfig()); }

  // Every reference the component took from a host object was given back.
  static void ExpectReleased(const TMockDispatch& object, ULONG held) {
    EXPECT_EQ(object.References(), held) << "references left behind";
  }
  // The failure notice is a message box on Windows; with a display it would wait for a person.
  static bool NoticeWouldBlock() { return KALAMOS_WINDOWS && std::getenv("DISPLAY") != nullptr; }

  TVariant Date() { VARIANT v; VariantInit(&v); v.vt = VT_DATE; v.date = 45000.0; return TVariant::Adopt(v); }
};

TEST_F(AttrAccess, KindIndexOfTakesEitherHalfExactly) {
  struct {
    const char* Name;
    bool Found;
    uint8_t Kind;
  } cases[] = {{"DOCUMENT", true, KindDocument},
               {"ДОКУМЕНТ", true, KindDocument},
               {"BUH", true, KindBuh},
               {"TASK", true, KindTask},
               {"СПРАВОЧНИК", true, KindReference},
               {"Document", false, 0},
               {"DOCUMENT:ДОКУМЕНТ", false, 0},
               {"", false, 0},
               {"DOC", false, 0},
               {"ДОКУМЕНТ ", false, 0}};
  for (const auto& c : cases) {
    uint8_t kind = 99;
    EXPECT_EQ(KindIndexOf(Utf8ToAnsi(c.Name), kind), c.Found) << c.Name;
    EXPECT_EQ(kind, c.Found ? c.Kind : 99) << c.Name;
  }
}

TEST_F(AttrAccess, ClassificationProbesInOrderAndStopsAtTheFirstKnownName) {
  TMockDispatch catalogue, document, registerObject, stranger, loose;
  catalogue.Knows("Level", 1).Knows("newLine", 2);
  document.Knows("newLine", 2).Knows("DoActIncome", 3);
  registerObject.Knows("DoActIncome", 3);
  loose.Knows("newLine", 2, S_FALSE);  // not negative: known
  struct {
    TMockDispatch* Object;
    bool Recognised;
    uint8_t Kind;
    Strings Probes;
  } cases[] = {
      {&catalogue, true, KindReference, {"Level"}},
      {&document, true, KindDocument, {"Level", "newLine"}},
      {&registerObject, true, KindRegister, {"Level", "newLine", "DoActIncome"}},
      {&stranger, false, KindUnrecognised, {"Level", "newLine", "DoActIncome"}},
      {&loose, true, KindDocument, {"Level", "newLine"}},
  };
  for (auto& c : cases) {
    uint8_t kind = 0;
    EXPECT_EQ(ClassifyHostObject(c.Object, kind), c.Recognised);
    EXPECT_EQ(kind, c.Kind);
    EXPECT_EQ(c.Object->Probes, c.Probes);
    EXPECT_TRUE(c.Object->Invokes.empty());
  }
}

TEST_F(AttrAccess, ProbeAndKindOfOddObjects) {
  TMockDispatch object;
  object.Refuses("Kind", DISP_E_UNKNOWNNAME);
  std::string kind = "stale";
  HostObjectKind(&object, kind);
  EXPECT_EQ(kind, "");
  EXPECT_TRUE(object.Invokes.empty()) << "no Invoke after a failed look-up";

  TMockDispatch failing;
  failing.Knows("Kind", 1).OnInvoke(1, FailWith(E_FAIL));
  HostObjectKind(&failing, kind);
  EXPECT_EQ(kind, "");
  TMockDispatch numeric;
  numeric.WithKind(TVariant::Int(5));
  HostObjectKind(&numeric, kind);
  EXPECT_EQ(kind, "") << "an answer that is no text names nothing";

  // A name longer than the probe buffer is sent as the empty name; a failed look-up leaves
  // a defined identifier behind.
  TMockDispatch probe;
  DISPID id = 1234;
  EXPECT_EQ(ProbeName(&probe, std::string(254, 'a'), id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(ProbeName(&probe, std::string(255, 'b'), id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(probe.Probes, (Strings{std::string(254, 'a'), ""}));
}

TEST_F(AttrAccess, HasAttrFindsConfiguredAndBuiltInNames) {
  struct {
    const char* Title;
    void (*Make)(TMockDispatch&, std::string_view);
    const char* Kind;
    const char* Name;
    LONG Expected;
  } cases[] = {
      {"catalogue built-in, Cyrillic lower case", MakeCatalogueItem, "Clients", "Наименование", 1},
      {"catalogue built-in, English", MakeCatalogueItem, "Clients", "parent", 1},
      {"catalogue attribute", MakeCatalogueItem, "clients", "phone", 1},
      {"catalogue, a register's built-in", MakeCatalogueItem, "Clients", "ПРИХОД", 0},
      {"catalogue, another catalogue's attribute", MakeCatalogueItem, "Товары", "Phone", 0},
      {"catalogue attribute, Cyrillic", MakeCatalogueItem, "товары", "цена", 1},
      {"document, a catalogue's built-in", MakeDocument, "Invoice", "Наименование", 0},
      {"document head attribute", MakeDocument, "Invoice", "Customer", 1},
      {"document table attribute", MakeDocument, "Invoice", "amount", 1},
      {"document built-in", MakeDocument, "Receipt", "ДатаДок", 1},
      {"register built-in", MakeRegister, "Stock", "ПРИХОД", 1},
      {"register figure", MakeRegister, "Stock", "qty", 1},
      {"register, unknown kind", MakeRegister, "Nothing", "Qty", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Title);
    TMockDispatch object;
    c.Make(object, c.Kind);
    EXPECT_EQ(Call(MethodHasAttr, {object.AsParam(), TVariant::Utf8(c.Name)}), S_OK);
    EXPECT_TRUE(IsLong(Result, c.Expected));
    EXPECT_TRUE(Quiet());
    ASSERT_FALSE(object.Invokes.empty());
    EXPECT_EQ(object.Invokes.size(), 1u) << "only Kind is invoked";
    EXPECT_EQ(object.Probes.back(), "Kind");
    Last.reset();
    ExpectReleased(object, 1);
  }
}

TEST_F(AttrAccess, RefusesWrongParametersAndUnknownObjects) {
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  VARIANT nullObject;
  VariantInit(&nullObject);
  nullObject.vt = VT_DISPATCH;
  nullObject.pdispVal = nullptr;
  struct TCase {
    const char* Title;
    std::vector<TVariant> Params;
  };
  {
    TCase list[] = {
        {"number", {TVariant::Int(3), TVariant::Utf8("Code")}},
        {"text", {TVariant::Utf8("Clients"), TVariant::Utf8("Code")}},
        {"null object", {TVariant::Adopt(nullObject), TVariant::Utf8("Code")}},
        {"name not text", {item.AsParam(), TVariant::Int(1)}},
        {"nothing", {}},
    };
    for (LONG method : {1, 2, 3}) {
      for (const auto& c : list) {
        SCOPED_TRACE(c.Title);
        Result = TVariant::Int(77);
        EXPECT_EQ(Call(method, c.Params), E_FAIL);
        EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
        EXPECT_TRUE(IsLong(Result, 0));
      }
    }
  }
  EXPECT_TRUE(item.Probes.empty()) << "the types are checked before the object is asked";

  TMockDispatch stranger;
  stranger.Knows("Kind", 1);
  EXPECT_EQ(Call(MethodGetAttr, {stranger.AsParam(), TVariant::Utf8("Code"), TVariant(), Date()}), E_FAIL);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_HOST_OBJECT));
  EXPECT_TRUE(IsLong(Result, 0));
  EXPECT_EQ(stranger.Probes, (Strings{"Level", "newLine", "DoActIncome"}));
  Last.reset();
  ExpectReleased(stranger, 1);
  ExpectReleased(item, 1);
}

TEST_F(AttrAccess, GetAttrReadsThePropertyByItsUpperCasedName) {
  TMockDispatch document;
  MakeDocument(document, "Invoice");
  document.Knows("AMOUNT", 40).OnInvoke(40, Answer(TVariant::Int(1500)));
  EXPECT_EQ(Call(MethodGetAttr, {document.AsParam(), TVariant::Utf8("Amount"), TVariant::Utf8("old"), Date()}), S_OK);
  EXPECT_TRUE(IsLong(Result, 1));
  EXPECT_TRUE(IsLong(Out(3), 1500));
  EXPECT_TRUE(Quiet());
  EXPECT_EQ(document.Probes, (Strings{"Level", "newLine", "Kind", "AMOUNT"}));
  ASSERT_EQ(document.Invokes.size(), 2u);
  EXPECT_EQ(document.Invokes[1].Id, 40);
  EXPECT_EQ(document.Invokes[1].Flags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(document.Invokes[1].Args.empty());

  // A built-in name is read the same way, in Cyrillic upper case.
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  item.Knows("КОД", 41).OnInvoke(41, Answer(TVariant::Utf8("A-7")));
  EXPECT_EQ(Call(MethodGetAttr, {item.AsParam(), TVariant::Utf8("код"), TVariant(), Date()}), S_OK);
  EXPECT_TRUE(IsText(Out(3), "A-7"));
  Last.reset();
  ExpectReleased(document, 1);
  ExpectReleased(item, 1);
}

TEST_F(AttrAccess, UnknownAttributeTouchesNothing) {
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  for (LONG method : {2, 3}) {
    EXPECT_EQ(Call(method, {item.AsParam(), TVariant::Utf8("Weight"), TVariant::Utf8("keep"), Date()}), S_OK);
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_TRUE(IsText(Out(3), "keep"));
    EXPECT_TRUE(Quiet());
  }
  EXPECT_EQ(item.Probes, (Strings{"Level", "Kind", "Level", "Kind"})) << "the attribute is never asked for";
  Last.reset();
  ExpectReleased(item, 1);
}

TEST_F(AttrAccess, SetAttrPutsTheValueAsANamedPropertyPut) {
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  item.Knows("PHONE", 50).OnInvoke(50, Answer(TVariant()));
  EXPECT_EQ(Call(MethodSetAttr, {item.AsParam(), TVariant::Utf8("Phone"), TVariant::Utf8("555"), Date()}), S_OK);
  EXPECT_TRUE(IsLong(Result, 1));
  EXPECT_TRUE(Quiet());
  ASSERT_EQ(item.Invokes.size(), 2u);
  const auto& put = item.Invokes[1];
  EXPECT_EQ(put.Flags, DISPATCH_PROPERTYPUT);
  ASSERT_EQ(put.Args.size(), 1u) << "the date is not passed";
  EXPECT_TRUE(IsText(put.Args[0], "555"));
  EXPECT_EQ(put.Named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
  EXPECT_TRUE(IsText(Out(3), "555")) << "SetAttr writes nothing back";
  Last.reset();
  ExpectReleased(item, 1);
}

TEST_F(AttrAccess, PeriodicAttributeGoesThroughItsValueObject) {
  TMockDispatch value;
  value.Knows("setValue", 7).Knows("getValue", 8);
  value.OnInvoke(7, Answer(TVariant())).OnInvoke(8, Answer(TVariant::Int(42)));
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  item.Knows("RATING", 60).OnInvoke(60, [&](const TMockDispatch::TInvoke& call, VARIANT* result) -> HRESULT {
    EXPECT_EQ(call.Flags, DISPATCH_PROPERTYGET);
    VariantCopy(result, value.AsParam().Get());
    return S_OK;
  });

  EXPECT_EQ(Call(MethodSetAttr, {item.AsParam(), TVariant::Utf8("Rating"), TVariant::Int(9), Date()}), S_OK);
  EXPECT_TRUE(IsLong(Result, 1));
  ASSERT_EQ(value.Invokes.size(), 1u);
  const auto& set = value.Invokes[0];
  EXPECT_EQ(set.Id, 7);
  EXPECT_EQ(set.Flags, DISPATCH_METHOD);
  EXPECT_TRUE(set.Named.empty());
  // rgvarg runs last to first: the date is the first argument, the value the second.
  ASSERT_EQ(set.Args.size(), 2u);
  EXPECT_TRUE(IsLong(set.Args[0], 9));
  EXPECT_EQ(set.Args[1].Type(), VT_DATE);

  EXPECT_EQ(Call(MethodGetAttr, {item.AsParam(), TVariant::Utf8("rating"), TVariant::Utf8("in"), Date()}), S_OK);
  EXPECT_TRUE(IsLong(Result, 1));
  EXPECT_TRUE(IsLong(Out(3), 42));
  ASSERT_EQ(value.Invokes.size(), 2u);
  ASSERT_EQ(value.Invokes[1].Args.size(), 1u);
  EXPECT_EQ(value.Invokes[1].Args[0].Type(), VT_DATE) << "getValue gets the date";
  EXPECT_EQ(value.Invokes[1].Args[0].Get()->date, 45000.0);
  EXPECT_EQ(value.Probes, (Strings{"setValue", "getValue"}));
  EXPECT_TRUE(Quiet());
  Last.reset();
  ExpectReleased(item, 1);
  ExpectReleased(value, 1);
}

TEST_F(AttrAccess, FailedReadsAndWritesAreReportedWithTheirCode) {
  if (NoticeWouldBlock()) GTEST_SKIP() << "the notice would wait for a person";
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  item.Knows("PHONE", 50).OnInvoke(50, FailWith(DISP_E_MEMBERNOTFOUND));
  // The host fails the look-up of this one and leaves the identifier alone.
  item.Refuses("CODE", DISP_E_UNKNOWNNAME).OnInvoke(DISPID_UNKNOWN, FailWith(DISP_E_MEMBERNOTFOUND));
  // A periodic attribute whose read fails, and one that answers with a number.
  item.Knows("RATING", 60).OnInvoke(60, FailWith(E_ACCESSDENIED));
  TMockDispatch numberItem;
  MakeCatalogueItem(numberItem, "Clients");
  numberItem.Knows("RATING", 60).OnInvoke(60, Answer(TVariant::Int(3)));

  struct {
    const char* Title;
    TMockDispatch* Object;
    LONG Method;
    const char* Name;
    const char* Notice;
    DISPID Invoked;
  } cases[] = {
      {"read refused", &item, MethodGetAttr, "Phone", "80020003", 50},
      {"write refused", &item, MethodSetAttr, "Phone", "80020003", 50},
      {"unknown member read", &item, MethodGetAttr, "Code", "80020003", DISPID_UNKNOWN},
      {"unknown member write", &item, MethodSetAttr, "Code", "80020003", DISPID_UNKNOWN},
      {"periodic read refused", &item, MethodGetAttr, "Rating", "80070005", 60},
      {"periodic write refused", &item, MethodSetAttr, "Rating", "80070005", 60},
      {"periodic answer is no object", &numberItem, MethodGetAttr, "Rating", "80020005", 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Title);
    ::testing::internal::CaptureStderr();
    Result = TVariant::Int(77);
    EXPECT_EQ(Call(c.Method, {c.Object->AsParam(), TVariant::Utf8(c.Name), TVariant::Utf8("keep"), Date()}),
              E_FAIL);
    std::string notice = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_TRUE(Reported(MsgCodeInfo, c.Method == MethodGetAttr ? IDS_GET_FAILED : IDS_SET_FAILED));
    EXPECT_TRUE(IsText(Out(3), "keep"));
    EXPECT_EQ(c.Object->Invokes.back().Id, c.Invoked);
    if (!KALAMOS_WINDOWS) {
      EXPECT_NE(notice.find(c.Notice), std::string::npos) << notice;
    }
  }
  Last.reset();
  ExpectReleased(item, 1);
  ExpectReleased(numberItem, 1);
}

}  // namespace
