// Hostile parameters through CallAsFunc: every method number around the table, before and
// after Load, each parameter in turn replaced by every kind of value a script or a broken
// host can hand over, and parameter arrays of every length. Each call must answer an
// HRESULT the host understands, report at most once (exactly once when it fails), and give
// back every reference it took.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "methods/Functions.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"
#include "tests/unit/hardening_host.h"

using namespace kalamos;

namespace {

int CountOf(LONG method) { return MethodInRange(method) ? FunctionRows[method].Params : 2; }
bool NamesObject(LONG method) { return MethodInRange(method) && FunctionRows[method].NamesObject; }
bool OnHostObject(LONG method) { return method == MethodHasAttr || method == MethodSetAttr || method == MethodGetAttr; }

// One hostile value; Make builds a fresh parameter of it.
struct TValueKind {
  const char* Name;
  std::function<TVariant()> Make;
  bool PlainText = false;   // VT_BSTR
  bool NullObject = false;  // VT_DISPATCH without an object
};

TVariant Raw(VARIANT v) { return TVariant::Adopt(v); }

TVariant Wide(const std::u16string& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), UINT(text.size()));
  return Raw(v);
}

class HardenedCalls : public TCallFixture {
protected:
  HardenedCalls()
      : Catalogue(THostDouble::TClass::Catalogue, "Clients"), Stranger(THostDouble::TClass::Stranger, "") {
    ByRefText = SysAllocString(OLESTR("Colors"));
  }
  ~HardenedCalls() override { SysFreeString(ByRefText); }

  THostDouble Catalogue;
  THostDouble Stranger;
  BSTR ByRefText;
  TScratchDir Dir;

  std::vector<TValueKind> Kinds() {
    auto make = [](VARTYPE vt, auto set) {
      return [vt, set] {
        VARIANT v;
        VariantInit(&v);
        v.vt = vt;
        set(v);
        return Raw(v);
      };
    };
    std::vector<TValueKind> kinds = {
        {"VT_EMPTY", [] { return TVariant(); }},
        {"VT_NULL", make(VT_NULL, [](VARIANT&) {})},
        {"VT_I2", make(VT_I2, [](VARIANT& v) { v.iVal = -3; })},
        {"VT_I4", make(VT_I4, [](VARIANT& v) { v.lVal = 1; })},
        {"VT_I4 huge", make(VT_I4, [](VARIANT& v) { v.lVal = 0x7fffffff; })},
        {"VT_R8", make(VT_R8, [](VARIANT& v) { v.dblVal = 1e300; })},
        {"VT_DATE", make(VT_DATE, [](VARIANT& v) { v.date = 45000.5; })},
        {"VT_BOOL", make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_BOOL(-1); })},
        {"null BSTR", make(VT_BSTR, [](VARIANT& v) { v.bstrVal = nullptr; }), true},
        {"empty BSTR", [] { return Wide(u""); }, true},
        {"10000 characters", [] { return Wide(std::u16string(10000, u'Ж')); }, true},
        // CJK, an astral character as a surrogate pair, and a lone surrogate.
        {"outside 1251", [] { return Wide(u"\u6F22\u5B57\U0001F600\xD800x"); }, true},
        {"VT_BSTR|VT_BYREF", make(VT_BSTR | VT_BYREF, [this](VARIANT& v) { v.pbstrVal = &ByRefText; })},
        {"null VT_DISPATCH", make(VT_DISPATCH, [](VARIANT& v) { v.pdispVal = nullptr; }), false, true},
        {"live catalogue item", [this] {
           VARIANT v = Catalogue.AsVariant();
           return Raw(v);
         }},
        {"live stranger", [this] {
           VARIANT v = Stranger.AsVariant();
           return Raw(v);
         }},
        {"VT_ARRAY|VT_VARIANT", [] {
           VARIANT v;
           VariantInit(&v);
           v.vt = VT_ARRAY | VT_VARIANT;
           v.parray = SafeArrayCreateVector(VT_VARIANT, 0, 3);
           return Raw(v);
         }},
    };
    return kinds;
  }

  // A call each function would accept after Load of the sample configuration.
  std::vector<TVariant> Base(LONG method) {
    auto text = [](const char* s) { return TVariant::Utf8(s); };
    std::vector<TVariant> values;
    switch (method) {
      case MethodLoad: values = {text(Dir.Path().c_str())}; break;
      case MethodHasAttr: case MethodSetAttr: case MethodGetAttr: {
        VARIANT v = Catalogue.AsVariant();
        values = {Raw(v), text("Phone"), TVariant::Int(5), TVariant::Int(0)};
        break;
      }
      case MethodEnumDocHead: case MethodEnumDocTable: values = {text("Invoice")}; break;
      case MethodEnumRef: case MethodEnumOwnedRefs: case MethodSbKindType: case MethodSbKindKind:
        values = {text("Clients")};
        break;
      case MethodEnumRegDim: case MethodEnumRegRes: values = {text("Stock")}; break;
      case MethodEnumValues: case MethodEnumValCount: values = {text("Colors")}; break;
      case MethodEnumObjects: values = {text("SbCnts")}; break;
      case MethodValueByNum: values = {text("Colors"), TVariant::Int(1)}; break;
      case MethodEnumValInternal: values = {text("Colors"), text("Red")}; break;
      case MethodResetEnum: values = {TVariant::Int(0)}; break;
      case MethodRefInfo: values = {text("Clients"), TVariant::Int(1)}; break;
      default: values = {text("Colors"), TVariant::Int(1)}; break;
    }
    values.resize(size_t(CountOf(method)));
    return values;
  }

  // The rules every answer keeps, and what the host must see of a refused call.
  void Check(LONG method, bool loaded, HRESULT hr, const std::vector<TErrorReport>& reports) {
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE || hr == E_FAIL) << std::hex << hr;
    ASSERT_LE(reports.size(), 1u) << "reported more than once";
    if (hr == E_FAIL) {
      EXPECT_EQ(reports.size(), 1u) << "a failure must reach the error log";
    }
    if (hr == S_FALSE) {
      EXPECT_TRUE(reports.empty());
      EXPECT_FALSE(MethodInRange(method));
      EXPECT_TRUE(IsLong(Result, 0));
    }
    if (hr == S_OK && !reports.empty()) {
      EXPECT_EQ(method, MethodLoad);
      EXPECT_EQ(reports[0].Code, MsgCodeInfo);
    }
    if (!loaded && method > MethodLoad) {
      EXPECT_EQ(hr, E_FAIL);
      EXPECT_TRUE(IsLong(Result, 77)) << "return value left as the host passed it";
      if (!reports.empty()) {
        EXPECT_EQ(reports[0].Code, MsgCodeError);
      }
    }
    if ((loaded || method < 0) && !MethodInRange(method)) {
      EXPECT_EQ(hr, S_FALSE);
    }
    if (loaded && method == MethodLoad) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_TRUE(IsLong(Result, 0));
    }
  }

  // The one report of a call is (code, message).
  static ::testing::AssertionResult IsReport(const std::vector<TErrorReport>& reports, uint16_t code,
                                             unsigned messageId) {
    if (reports.size() != 1) return ::testing::AssertionFailure() << reports.size() << " reports, not one";
    const std::string expected = AnsiToUtf8(LoadResourceString(messageId));
    if (reports[0].Code != code || reports[0].Description != expected)
      return ::testing::AssertionFailure() << "report (" << reports[0].Code << ", " << reports[0].Description << ")";
    return ::testing::AssertionSuccess();
  }

  // One call on a fresh array; the array and the answer are dropped before references are
  // counted.
  HRESULT CallWith(LONG method, const std::vector<TVariant>& values) {
    Result = TVariant::Int(77);
    HRESULT hr = Call(method, values);
    return hr;
  }

  void ExpectReferencesBack(const std::string& where) {
    Last.reset();
    Result = TVariant();
    EXPECT_EQ(Catalogue.Outstanding(), 0u) << where;
    EXPECT_EQ(Stranger.Outstanding(), 0u) << where;
    EXPECT_TRUE(Catalogue.Balanced() && Stranger.Balanced()) << "released too often: " << where;
  }

  // Back to an unloaded component should a Load have succeeded.
  void Unload() {
    if (!Object->Store) return;
    Object->Done();
    Object->Init(Log->Connection());
  }

  void RunMatrix(bool loaded) {
    const std::vector<TValueKind> kinds = Kinds();
    int calls = 0;
    for (LONG method = -1; method <= MethodCount + 1; ++method) {
      for (int position = 1; position <= CountOf(method); ++position) {
        for (const TValueKind& kind : kinds) {
          const std::string where = "method " + std::to_string(method) + ", parameter " +
                                    std::to_string(position) + " " + kind.Name;
          SCOPED_TRACE(where);
          std::vector<TVariant> values = Base(method);
          values[size_t(position - 1)] = kind.Make();
          const HRESULT hr = CallWith(method, values);
          const std::vector<TErrorReport> reports = Log->TakeReports();
          ++calls;
          if (loaded && position == 1 && NamesObject(method) && !kind.PlainText) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_TRUE(IsLong(Result, 77));
            EXPECT_TRUE(IsReport(reports, MsgCodeError, IDS_BAD_PARAM_TYPE));
          } else if (loaded && position == 1 && OnHostObject(method) && kind.NullObject) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_TRUE(IsReport(reports, MsgCodeError, IDS_BAD_PARAM_TYPE));
          } else if (loaded && method == MethodResetEnum && std::string(kind.Name) != "VT_I4") {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_TRUE(IsReport(reports, MsgCodeError, IDS_BAD_PARAM_TYPE));
          } else if (!loaded && method > MethodLoad) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_TRUE(IsReport(reports, MsgCodeError, IDS_NOT_LOADED));
          } else if (!loaded && method == MethodLoad) {
            // No value but a directory holding a container may load.
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_TRUE(IsReport(reports, MsgCodeError, kind.PlainText ? IDS_LOAD_FAILED : IDS_BAD_PARAM_TYPE));
            EXPECT_FALSE(Object->Store);
          }
          Check(method, loaded, hr, reports);
          values.clear();
          ExpectReferencesBack(where);
          if (!loaded) Unload();
        }
      }
    }
    EXPECT_GT(calls, 600);
  }

  // Arrays of 0, 1, the right count, 7, 8 and 20 elements; what lies past the seventh
  // element is a live object that must come back untouched.
  void RunLengths(bool loaded) {
    for (LONG method = -1; method <= MethodCount + 1; ++method) {
      for (size_t length : {size_t(0), size_t(1), size_t(CountOf(method)), size_t(7), size_t(8), size_t(20)}) {
        const std::string where = "method " + std::to_string(method) + ", " + std::to_string(length) + " elements";
        SCOPED_TRACE(where);
        std::vector<TVariant> values = Base(method);
        values.resize(length);
        for (size_t i = 7; i < length; ++i) {
          VARIANT v = Stranger.AsVariant();
          values[i] = Raw(v);
        }
        const HRESULT hr = CallWith(method, values);
        Check(method, loaded, hr, Log->TakeReports());
        EXPECT_EQ(Stranger.Invokes, 0u) << "an element past the seventh was used";
        values.clear();
        ExpectReferencesBack(where);
        if (!loaded) Unload();
      }
    }
  }
};

TEST_F(HardenedCalls, EveryValueInEveryPositionBeforeLoad) {
  Dir.WriteContainer(SampleConfig());
  RunMatrix(false);
}

TEST_F(HardenedCalls, EveryValueInEveryPositionAfterLoad) {
  LoadText(SampleConfig());
  RunMatrix(true);
}

TEST_F(HardenedCalls, ArraysOfEveryLength) {
  Dir.WriteContainer(SampleConfig());
  RunLengths(false);
  LoadText(SampleConfig());
  RunLengths(true);
}

TEST_F(HardenedCalls, MissingArrayAndMissingReturnValue) {
  for (bool loaded : {false, true}) {
    if (loaded) LoadText(SampleConfig());
    for (LONG method = -1; method <= MethodCount + 1; ++method) {
      SCOPED_TRACE("method " + std::to_string(method) + (loaded ? " loaded" : ""));
      SAFEARRAY* none = nullptr;
      Result = TVariant::Int(77);
      HRESULT hr = Object->CallAsFunc(method, Result.Get(), method % 2 ? nullptr : &none);
      Check(method, loaded, hr, Log->TakeReports());
      // A host that passes no return value gets an answer too, and nothing is written
      // through the missing pointer.
      TParamArray params(Base(method));
      HRESULT again = Object->CallAsFunc(method, nullptr, params.Ptr());
      EXPECT_TRUE(again == S_OK || again == S_FALSE || again == E_FAIL);
      EXPECT_LE(Log->TakeReports().size(), 1u);
    }
  }
  ExpectReferencesBack("missing arrays");
}

// Parameter arrays of the wrong shape: no VARIANTs, two dimensions, a lower bound other
// than zero. None may be read as VARIANTs or crash the call.
TEST_F(HardenedCalls, ArraysOfTheWrongShape) {
  LoadText(SampleConfig());
  SAFEARRAYBOUND two[2] = {{3, 0}, {3, 0}};
  SAFEARRAY* shapes[] = {SafeArrayCreateVector(VT_I4, 0, 4), SafeArrayCreateVector(VT_BSTR, 0, 2),
                         SafeArrayCreate(VT_VARIANT, 2, two), SafeArrayCreateVector(VT_VARIANT, 5, 2)};
  for (SAFEARRAY* array : shapes) {
    if (!array) continue;  // a shape this platform cannot build
    for (LONG method :
         {MethodLoad, MethodEnumDocHead, MethodEnumValues, MethodEnumValCount, MethodResetEnum, MethodRefInfo}) {
      SCOPED_TRACE("method " + std::to_string(method));
      Result = TVariant::Int(77);
      HRESULT hr = Object->CallAsFunc(method, Result.Get(), &array);
      Check(method, true, hr, Log->TakeReports());
    }
    SafeArrayDestroy(array);
  }
}

}  // namespace
