// BSTR, VARIANT and SAFEARRAY ownership and conversions. The same cases run against
// oleaut32 under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform/Ole.h"
#include "platform/Text.h"
#include "tests/support/OleValues.h"

using namespace kalamos;

namespace {

// An IDispatch that only counts its references.
class TCounted : public IDispatch {
public:
  ULONG Refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

VARIANT Text(const char* utf8) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  WideString wide = Utf8ToWide(utf8);
  v.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return v;
}

VARIANT Object(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  object->AddRef();
  return v;
}

std::string Utf8Of(BSTR text) { return WideToUtf8(text, SysStringLen(text)); }

TEST(PlatformOle, BstrKeepsItsLengthAndEmbeddedZeros) {
  const OLECHAR chars[] = {'a', 0, 'b', 'c'};
  BSTR text = SysAllocStringLen(chars, 3);
  ASSERT_NE(nullptr, text);
  EXPECT_EQ(3u, SysStringLen(text));
  EXPECT_EQ(6u, SysStringByteLen(text));
  EXPECT_EQ(0, text[1]);
  EXPECT_EQ(0, text[3]); // terminated after the length, not at the embedded zero
  SysFreeString(text);

  BSTR word = SysAllocString(OLESTR("word"));
  EXPECT_EQ(4u, SysStringLen(word));
  SysFreeString(word);
  EXPECT_EQ(nullptr, SysAllocString(nullptr));
  EXPECT_EQ(0u, SysStringLen(nullptr));
  SysFreeString(nullptr);
}

TEST(PlatformOle, VariantsOwnWhatTheyHold) {
  TCounted object;
  VARIANT a = Object(&object);
  EXPECT_EQ(2u, object.Refs);

  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(S_OK, VariantCopy(&b, &a));
  EXPECT_EQ(3u, object.Refs);
  EXPECT_EQ(S_OK, VariantCopy(&b, &b)); // a copy onto itself changes nothing
  EXPECT_EQ(3u, object.Refs);

  // Copying over a variant releases what it held before.
  VARIANT text = Text("строка");
  ASSERT_EQ(S_OK, VariantCopy(&b, &text));
  EXPECT_EQ(2u, object.Refs);
  EXPECT_NE(text.bstrVal, b.bstrVal);
  EXPECT_EQ("строка", Utf8Of(b.bstrVal));
  EXPECT_EQ(S_OK, VariantClear(&b));
  EXPECT_EQ(VT_EMPTY, b.vt);
  EXPECT_EQ("строка", Utf8Of(text.bstrVal)); // the original is untouched
  VariantClear(&text);

  // A reference is borrowed: copies and clears leave the object alone.
  IDispatch* pointer = &object;
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_BYREF | VT_DISPATCH;
  byRef.ppdispVal = &pointer;
  VARIANT refCopy;
  VariantInit(&refCopy);
  ASSERT_EQ(S_OK, VariantCopy(&refCopy, &byRef));
  EXPECT_EQ(&pointer, refCopy.ppdispVal);
  EXPECT_EQ(S_OK, VariantClear(&refCopy));
  EXPECT_EQ(S_OK, VariantClear(&byRef));
  EXPECT_EQ(2u, object.Refs);

  EXPECT_EQ(S_OK, VariantClear(&a));
  EXPECT_EQ(1u, object.Refs);

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 15; // no such type
  EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&bad));
  EXPECT_EQ(15, bad.vt);
}

TEST(PlatformOle, ArrayBoundsAndIndexes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 1, 3);
  ASSERT_NE(nullptr, array);
  LONG lower = 0, upper = 0;
  EXPECT_EQ(1u, SafeArrayGetDim(array));
  EXPECT_EQ(S_OK, SafeArrayGetLBound(array, 1, &lower));
  EXPECT_EQ(S_OK, SafeArrayGetUBound(array, 1, &upper));
  EXPECT_EQ(1, lower);
  EXPECT_EQ(3, upper);
  EXPECT_EQ(DISP_E_BADINDEX, SafeArrayGetUBound(array, 2, &upper));
  EXPECT_EQ(DISP_E_BADINDEX, SafeArrayGetUBound(array, 0, &upper));
  EXPECT_EQ(E_INVALIDARG, SafeArrayGetUBound(nullptr, 1, &upper));
  VARTYPE type = VT_EMPTY;
  EXPECT_EQ(S_OK, SafeArrayGetVartype(array, &type));
  EXPECT_EQ(VT_VARIANT, type);

  VARIANT value = Long(7);
  VARIANT out;
  VariantInit(&out);
  for (LONG index : {0L, 4L, -1L}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(DISP_E_BADINDEX, SafeArrayPutElement(array, &index, &value));
    EXPECT_EQ(DISP_E_BADINDEX, SafeArrayGetElement(array, &index, &out));
  }
  LONG last = 3;
  EXPECT_EQ(S_OK, SafeArrayPutElement(array, &last, &value));
  EXPECT_EQ(S_OK, SafeArrayGetElement(array, &last, &out));
  EXPECT_EQ(VT_I4, out.vt);
  EXPECT_EQ(7, out.lVal);
  LONG first = 1;
  EXPECT_EQ(S_OK, SafeArrayGetElement(array, &first, &out));
  EXPECT_EQ(VT_EMPTY, out.vt); // new elements are empty
  EXPECT_EQ(S_OK, SafeArrayDestroy(array));

  SAFEARRAY* empty = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ASSERT_NE(nullptr, empty);
  EXPECT_EQ(S_OK, SafeArrayGetUBound(empty, 1, &upper));
  EXPECT_EQ(-1, upper);
  SafeArrayDestroy(empty);

  SAFEARRAYBOUND bound = {2, 5};
  SAFEARRAY* created = SafeArrayCreate(VT_VARIANT, 1, &bound);
  ASSERT_NE(nullptr, created);
  EXPECT_EQ(S_OK, SafeArrayGetUBound(created, 1, &upper));
  EXPECT_EQ(6, upper);
  SafeArrayDestroy(created);
}

// Elements reached in place, as the component writes listed values and the session takes
// results; a locked array cannot be destroyed, as on Windows.
TEST(PlatformOle, ArrayElementsInPlaceAndLocks) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 1, 2);
  ASSERT_NE(nullptr, array);
  VARIANT* element = nullptr;
  for (LONG index : {0L, 3L}) EXPECT_EQ(DISP_E_BADINDEX, SafeArrayPtrOfIndex(array, &index, reinterpret_cast<void**>(&element)));
  LONG second = 2;
  ASSERT_EQ(S_OK, SafeArrayPtrOfIndex(array, &second, reinterpret_cast<void**>(&element)));
  element->vt = VT_I4;
  element->lVal = 42;
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(S_OK, SafeArrayGetElement(array, &second, &out));
  EXPECT_EQ(42, out.lVal);

  VARIANT* data = nullptr;
  ASSERT_EQ(S_OK, SafeArrayAccessData(array, reinterpret_cast<void**>(&data)));
  EXPECT_EQ(element, data + 1);
  EXPECT_EQ(DISP_E_ARRAYISLOCKED, SafeArrayDestroy(array));
  EXPECT_EQ(S_OK, SafeArrayUnaccessData(array));
  EXPECT_EQ(E_UNEXPECTED, SafeArrayUnaccessData(array));
  EXPECT_EQ(S_OK, SafeArrayDestroy(array));
}

TEST(PlatformOle, ArrayElementsAreCopiedInAndOut) {
  TCounted held, replaced, stale;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  ASSERT_NE(nullptr, array);
  LONG zero = 0, one = 1;

  VARIANT first = Object(&replaced);
  ASSERT_EQ(S_OK, SafeArrayPutElement(array, &zero, &first));
  EXPECT_EQ(3u, replaced.Refs); // ours, first's, the array's
  VariantClear(&first);

  // Putting over an element releases its old content.
  VARIANT second = Object(&held);
  ASSERT_EQ(S_OK, SafeArrayPutElement(array, &zero, &second));
  EXPECT_EQ(1u, replaced.Refs);
  VariantClear(&second);
  EXPECT_EQ(2u, held.Refs);

  // Getting ignores whatever the destination held: it is not released.
  VARIANT out = Object(&stale);
  ASSERT_EQ(S_OK, SafeArrayGetElement(array, &zero, &out));
  EXPECT_EQ(2u, stale.Refs);
  EXPECT_EQ(static_cast<IDispatch*>(&held), out.pdispVal);
  EXPECT_EQ(3u, held.Refs);
  VariantClear(&out);
  stale.Release();

  VARIANT text = Text("Цена");
  ASSERT_EQ(S_OK, SafeArrayPutElement(array, &one, &text));
  VariantClear(&text);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(S_OK, SafeArrayCopy(array, &copy));
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(3u, held.Refs);
  VARIANT copied;
  VariantInit(&copied);
  ASSERT_EQ(S_OK, SafeArrayGetElement(copy, &one, &copied));
  EXPECT_EQ("Цена", Utf8Of(copied.bstrVal));
  VariantClear(&copied);

  // Destroying an array clears every element.
  EXPECT_EQ(S_OK, SafeArrayDestroy(array));
  EXPECT_EQ(2u, held.Refs);
  EXPECT_EQ(S_OK, SafeArrayDestroy(copy));
  EXPECT_EQ(1u, held.Refs);

  // So does clearing a variant that holds one.
  SAFEARRAY* owned = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  VARIANT element = Object(&held);
  SafeArrayPutElement(owned, &zero, &element);
  VariantClear(&element);
  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_ARRAY | VT_VARIANT;
  holder.parray = owned;
  EXPECT_EQ(2u, held.Refs);
  EXPECT_EQ(S_OK, VariantClear(&holder));
  EXPECT_EQ(1u, held.Refs);
}

TEST(PlatformOle, TextToLongFollowsTheRussianNumberRules) {
  struct Case {
    const char* text;
    HRESULT hr;
    LONG value;
  } cases[] = {
      {"42", S_OK, 42},
      {"  -17 ", S_OK, -17},
      {"+5", S_OK, 5},
      {"007", S_OK, 7},
      {"2,5", S_OK, 2},
      {"3,5", S_OK, 4},
      {"-2,5", S_OK, -2},
      {"-3,5", S_OK, -4},
      {"2,51", S_OK, 3},
      {"2,49", S_OK, 2},
      {"0,5", S_OK, 0},
      {"1,", S_OK, 1},
      {"2147483647", S_OK, 2147483647},
      {"-2147483648", S_OK, -2147483647 - 1},
      {"-2147483648,5", S_OK, -2147483647 - 1},
      {"2147483648", DISP_E_OVERFLOW, 0},
      {"2147483647,5", DISP_E_OVERFLOW, 0},
      {"-2147483649", DISP_E_OVERFLOW, 0},
      {"99999999999999999999", DISP_E_OVERFLOW, 0},
      {"", DISP_E_TYPEMISMATCH, 0},
      {"   ", DISP_E_TYPEMISMATCH, 0},
      {"abc", DISP_E_TYPEMISMATCH, 0},
      {"12abc", DISP_E_TYPEMISMATCH, 0},
      {"-", DISP_E_TYPEMISMATCH, 0},
      {"один", DISP_E_TYPEMISMATCH, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    VARIANT source = Text(c.text);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(c.hr, VariantChangeTypeEx(&result, &source, 0x0419, 0, VT_I4));
    if (c.hr == S_OK) {
      EXPECT_EQ(VT_I4, result.vt);
      EXPECT_EQ(c.value, result.lVal);
    } else {
      EXPECT_EQ(VT_EMPTY, result.vt); // a failed conversion leaves the destination alone
    }
    VariantClear(&source);
    VariantClear(&result);
  }

  VARIANT nothing;
  VariantInit(&nothing);
  nothing.vt = VT_BSTR;
  nothing.bstrVal = nullptr; // the empty text
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantChangeTypeEx(&result, &nothing, 0x0419, 0, VT_I4));
}

TEST(PlatformOle, OtherConversions) {
  VARIANT v;
  VariantInit(&v);
  VARIANT r;
  VariantInit(&r);
  auto toLong = [&](HRESULT hr, LONG value) {
    EXPECT_EQ(hr, VariantChangeTypeEx(&r, &v, 0x0419, 0, VT_I4));
    if (hr == S_OK) {
      EXPECT_EQ(value, r.lVal);
    }
  };
  v.vt = VT_EMPTY;
  toLong(S_OK, 0);
  v.vt = VT_R8;
  v.dblVal = 2.5;
  toLong(S_OK, 2);
  v.dblVal = -3.5;
  toLong(S_OK, -4);
  v.dblVal = 2147483647.5;
  toLong(DISP_E_OVERFLOW, 0);
  v.dblVal = 1e12;
  toLong(DISP_E_OVERFLOW, 0);
  v.vt = VT_BOOL;
  v.boolVal = -1;
  toLong(S_OK, -1);
  v.vt = VT_I2;
  v.iVal = -300;
  toLong(S_OK, -300);
  v.vt = VT_UI4;
  v.ulVal = 0x7FFFFFFFu;
  toLong(S_OK, 0x7FFFFFFF);
  v.vt = VT_NULL;
  toLong(DISP_E_TYPEMISMATCH, 0);

  v.vt = VT_I4;
  v.lVal = -123;
  ASSERT_EQ(S_OK, VariantChangeTypeEx(&r, &v, 0x0419, 0, VT_BSTR));
  ASSERT_EQ(VT_BSTR, r.vt);
  EXPECT_EQ("-123", Utf8Of(r.bstrVal));
  VariantClear(&r);

  // Converting in place replaces the text by the number.
  VARIANT same = Text(" 12 ");
  ASSERT_EQ(S_OK, VariantChangeTypeEx(&same, &same, 0x0419, 0, VT_I4));
  EXPECT_EQ(VT_I4, same.vt);
  EXPECT_EQ(12, same.lVal);

  // A failed conversion keeps what the destination held.
  TCounted object;
  VARIANT kept = Object(&object);
  VARIANT word = Text("нет");
  EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantChangeTypeEx(&kept, &word, 0x0419, 0, VT_I4));
  EXPECT_EQ(VT_DISPATCH, kept.vt);
  EXPECT_EQ(2u, object.Refs);
  VariantClear(&kept);
  VariantClear(&word);
  EXPECT_EQ(1u, object.Refs);
}

// Text to every numeric type as oleaut32 reads it; under Wine these rows run against the real
// one. LOCALE_USER_DEFAULT is Russian: a decimal comma, and a no-break space (or a blank)
// between groups of digits.
TEST(PlatformOle, TextToNumbersFollowsOleaut32) {
  constexpr LCID ru = LOCALE_USER_DEFAULT, en = 0x0409;
  const HRESULT ok = S_OK, over = DISP_E_OVERFLOW, bad = DISP_E_TYPEMISMATCH;
  struct Case {
    const char* text;
    VARTYPE type;
    HRESULT hr;
    double value;
    LCID lcid = ru;
  } cases[] = {
      // Digit groups: either blank, any number of groups, group sizes not checked.
      {"1 000", VT_I4, ok, 1000},
      {"1\u00A0000", VT_I4, ok, 1000},
      {"1 000 000", VT_UI4, ok, 1000000},
      {"1\u00A0000\u00A0000", VT_R8, ok, 1000000},
      {"1  000", VT_I2, ok, 1000},
      {"10 00", VT_I4, ok, 1000},
      {" 1 000 ", VT_I4, ok, 1000},
      {"-1 000", VT_I2, ok, -1000},
      {"1 000", VT_UI1, over, 0},
      {"1 000 000 000 000", VT_I4, over, 0},
      {"1\u202F000", VT_I4, bad, 0}, // a narrow no-break space is no group separator
      {"1'000", VT_I4, bad, 0},
      // The decimal comma, and whole numbers rounded half to even.
      {"1 000,5", VT_I4, ok, 1000},
      {"1 000,51", VT_I4, ok, 1001},
      {"1 000,5", VT_R8, ok, 1000.5},
      {"1 000,51", VT_R8, ok, 1000.51},
      {"1 000,51", VT_R4, ok, 1000.51},
      {"3,5", VT_I2, ok, 4},
      {"2,5", VT_UI1, ok, 2},
      {"-2,5", VT_I1, ok, -2},
      {"-0,5", VT_UI1, ok, 0},
      {"2,5000000000000000000000000000000000001", VT_I4, ok, 3},
      {",5", VT_R8, ok, 0.5},
      {"5,", VT_I4, ok, 5},
      {"1 ,5", VT_R8, ok, 1.5},
      {"1,5", VT_R8, ok, 1.5},
      {"1.5", VT_R8, bad, 0},
      {"1.000", VT_I4, bad, 0},
      {"1,000", VT_I4, ok, 1},
      {"1,,5", VT_R8, bad, 0},
      {",", VT_I4, bad, 0},
      // Blanks and signs around the number.
      {"\t42\t", VT_I4, ok, 42},
      {"\r\n42", VT_UI2, ok, 42},
      {"\u00A042\u00A0", VT_I4, ok, 42},
      {"+5", VT_I1, ok, 5},
      {"- 5", VT_I4, ok, -5},
      {"5-", VT_I4, ok, -5},
      {"5 -", VT_R8, ok, -5},
      {"(5)", VT_I4, ok, -5},
      {"(5", VT_I4, bad, 0},
      {"--5", VT_I4, bad, 0},
      {"-5-", VT_I4, bad, 0},
      {"-0", VT_UI4, ok, 0},
      {"00012", VT_I2, ok, 12},
      // An exponent, and &H and &O filling the type's bits.
      {"1E3", VT_I4, ok, 1000},
      {"1,5e2", VT_UI1, ok, 150},
      {"35E-1", VT_I4, ok, 4},
      {"1E-2", VT_R8, ok, 0.01},
      {"1E", VT_I4, bad, 0},
      {"1E2,5", VT_I4, bad, 0},
      {"1E400", VT_R8, over, 0},
      {"1E39", VT_R4, over, 0},
      {"1E38", VT_R4, ok, 1e38},
      {"&H10", VT_I4, ok, 16},
      {"&hFFFF", VT_I2, ok, -1},
      {"&HFFFF", VT_UI2, ok, 65535},
      {"&HFF", VT_I1, ok, -1},
      {"&H100", VT_UI1, over, 0},
      {"&HFFFFFFFF", VT_I4, ok, -1},
      {"&H100000000", VT_UINT, over, 0},
      {"&O777", VT_I4, ok, 511},
      {"&O8", VT_I4, bad, 0},
      {"&H 10", VT_I4, bad, 0},
      {"&H1,5", VT_I4, bad, 0},
      // The limits of each type.
      {"127", VT_I1, ok, 127},
      {"128", VT_I1, over, 0},
      {"-128", VT_I1, ok, -128},
      {"-129", VT_I1, over, 0},
      {"255", VT_UI1, ok, 255},
      {"256", VT_UI1, over, 0},
      {"-1", VT_UI1, over, 0},
      {"32767", VT_I2, ok, 32767},
      {"-32769", VT_I2, over, 0},
      {"65535", VT_UI2, ok, 65535},
      {"65536", VT_UI2, over, 0},
      {"-2147483648", VT_INT, ok, -2147483648.0},
      {"2147483648", VT_INT, over, 0},
      {"4294967295", VT_UI4, ok, 4294967295.0},
      {"4294967296", VT_UINT, over, 0},
      {"-1", VT_UI4, over, 0},
      {"-123 456,25", VT_R8, ok, -123456.25},
      // Bad text.
      {"", VT_R8, bad, 0},
      {"\u00A0", VT_I4, bad, 0},
      {"abc", VT_R4, bad, 0},
      {"12abc", VT_I2, bad, 0},
      {"1 000р.", VT_I4, bad, 0},
      {"$1", VT_I4, bad, 0},
      // English writes the same numbers the other way round.
      {"1,000", VT_I4, ok, 1000, en},
      {"1,000.5", VT_R8, ok, 1000.5, en},
      {"1 000", VT_I4, bad, 0, en},
      {"1.5", VT_R8, ok, 1.5, en},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" to type " << c.type << " in locale " << c.lcid);
    VARIANT source = Text(c.text);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(c.hr, VariantChangeTypeEx(&result, &source, c.lcid, 0, c.type));
    if (c.hr == S_OK) {
      EXPECT_EQ(c.type, result.vt);
      double value = 0;
      switch (result.vt) {
      case VT_I1: value = static_cast<signed char>(result.cVal); break;
      case VT_UI1: value = result.bVal; break;
      case VT_I2: value = result.iVal; break;
      case VT_UI2: value = result.uiVal; break;
      case VT_I4: case VT_INT: value = result.lVal; break;
      case VT_UI4: case VT_UINT: value = result.ulVal; break;
      case VT_R4: value = result.fltVal; break;
      case VT_R8: value = result.dblVal; break;
      }
      EXPECT_EQ(c.type == VT_R4 ? double(float(c.value)) : c.value, value);
    } else {
      EXPECT_EQ(VT_EMPTY, result.vt);
    }
    VariantClear(&source);
    VariantClear(&result);
  }
}

TEST(PlatformOle, InterfaceIdentifiers) {
  const IID dispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const IID errorLog = {0x3127CA40, 0x446E, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
  const IID classFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_TRUE(IsEqualIID(dispatch, IID_IDispatch));
  EXPECT_TRUE(IsEqualIID(errorLog, IID_IErrorLog));
  EXPECT_TRUE(IsEqualIID(classFactory, IID_IClassFactory));
  EXPECT_FALSE(IsEqualIID(IID_IUnknown, IID_IDispatch));
  const IID zero = {};
  EXPECT_TRUE(IsEqualIID(zero, IID_NULL));
}

} // namespace
