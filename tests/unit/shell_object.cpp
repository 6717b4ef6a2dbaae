// TOstrak as a COM object: identity and lifetime, the IInitDone handshake and the error
// channel, checked through a connection double that offers (or withholds) IErrorLog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metadata/MetaStore.h"
#include "platform/Text.h"
#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/OleValues.h"

using namespace kalamos;

namespace {

struct TLogged {
  WORD Code;
  WideString Source;
  WideString Description;
  bool NullPropName;
  bool OtherFieldsZero;
};

// The host's connection object. It answers IErrorLog only when asked to; any IDispatch call
// is a mistake, since the component must only query the connection.
class TConnection final : public IDispatch, public IErrorLog {
public:
  explicit TConnection(bool offersLog) : OffersLog(offersLog) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch))
      *object = static_cast<IDispatch*>(this);
    else if (OffersLog && IsEqualIID(riid, IID_IErrorLog))
      *object = static_cast<IErrorLog*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --Refs; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return Unexpected("GetTypeInfoCount"); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Unexpected("GetTypeInfo"); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return Unexpected("GetIDsOfNames");
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return Unexpected("Invoke");
  }

  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR propName, EXCEPINFO* info) override {
    Log.push_back({info->wCode, FromBstr(info->bstrSource), FromBstr(info->bstrDescription), propName == nullptr,
                   info->wReserved == 0 && info->bstrHelpFile == nullptr && info->dwHelpContext == 0 &&
                       info->pvReserved == nullptr && info->pfnDeferredFillIn == nullptr && info->scode == 0});
    return S_OK;
  }

  // Lets the test hand out its IDispatch face without counting a reference of its own.
  IDispatch* AsDispatch() { return static_cast<IDispatch*>(this); }
  IErrorLog* AsLog() { return static_cast<IErrorLog*>(this); }

  ULONG Refs = 0;
  std::vector<TLogged> Log;

private:
  HRESULT Unexpected(const char* what) {
    ADD_FAILURE() << "the component called the connection's " << what;
    return E_NOTIMPL;
  }
  bool OffersLog;
};

// A new component object with one reference, released at the end of the test.
TComPtr<TOstrak> NewObject() {
  TComPtr<TOstrak> object(new TOstrak);
  object->AddRef();
  return object;
}

}  // namespace

TEST(ShellObject, OneIdentityAndOneCountAcrossInterfaces) {
  TComPtr<TOstrak> object = NewObject();
  IInitDone* initDone = nullptr;
  IScriptAugment* augment = nullptr;
  ASSERT_EQ(S_OK, object->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(&initDone)));
  ASSERT_EQ(S_OK, initDone->QueryInterface(IID_IScriptAugment, reinterpret_cast<void**>(&augment)));

  IUnknown* fromInitDone = nullptr;
  IUnknown* fromAugment = nullptr;
  ASSERT_EQ(S_OK, initDone->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromInitDone)));
  ASSERT_EQ(S_OK, augment->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromAugment)));
  EXPECT_EQ(fromInitDone, fromAugment);

  // Five references now: the test's own and the four interfaces handed out.
  EXPECT_EQ(6u, augment->AddRef());
  EXPECT_EQ(5u, initDone->Release());
  for (IUnknown* held : {static_cast<IUnknown*>(initDone), static_cast<IUnknown*>(augment), fromInitDone,
                         fromAugment})
    held->Release();
  EXPECT_EQ(2u, object->AddRef());
  EXPECT_EQ(1u, object->Release());
}

TEST(ShellObject, RefusedInterfaceNullsTheOutPointer) {
  TComPtr<TOstrak> object = NewObject();
  for (const IID* iid : {&IID_IErrorLog, &IID_IClassFactory, &IID_NULL}) {
    void* out = &object;
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(*iid, &out));
    EXPECT_EQ(nullptr, out);
  }
  // Refusals take no reference.
  EXPECT_EQ(2u, object->AddRef());
  object->Release();
}

TEST(ShellObject, LiveObjectsCountsUntilTheFinalRelease) {
  const LONG before = TOstrak::LiveObjects();
  TOstrak* first = new TOstrak;
  first->AddRef();
  TOstrak* second = new TOstrak;
  second->AddRef();
  EXPECT_EQ(before + 2, TOstrak::LiveObjects());
  first->AddRef();
  first->Release();
  EXPECT_EQ(before + 2, TOstrak::LiveObjects());
  first->Release();
  EXPECT_EQ(before + 1, TOstrak::LiveObjects());
  second->Release();
  EXPECT_EQ(before, TOstrak::LiveObjects());
}

TEST(ShellObject, InitKeepsTheLogAndReportsReachIt) {
  TConnection connection(true);
  TComPtr<TOstrak> object = NewObject();
  EXPECT_EQ(S_OK, object->Init(connection.AsDispatch()));
  EXPECT_EQ(connection.AsLog(), object->ErrorLog.Get());
  EXPECT_EQ(1u, connection.Refs) << "only the log is kept, not the connection";

  object->ReportError(MsgCodeError, IDS_NOT_LOADED);
  object->ReportError(MsgCodeInfo, IDS_LOAD_TWICE);
  ASSERT_EQ(2u, connection.Log.size());
  const TLogged& first = connection.Log[0];
  EXPECT_EQ(1006, first.Code);
  EXPECT_EQ(Utf8ToWide("Scholion"), first.Source);
  EXPECT_EQ(Utf8ToWide("Компонента не инициализированна"), first.Description);
  EXPECT_TRUE(first.NullPropName);
  EXPECT_TRUE(first.OtherFieldsZero);
  EXPECT_EQ(1002, connection.Log[1].Code);
  EXPECT_EQ(Utf8ToWide("Возможен только один вызов Load"), connection.Log[1].Description);

  EXPECT_EQ(S_OK, object->Done());
  EXPECT_EQ(0u, connection.Refs);
  EXPECT_EQ(nullptr, object->ErrorLog.Get());
  object->ReportError(MsgCodeError, IDS_NOT_LOADED);
  EXPECT_EQ(2u, connection.Log.size()) << "a report without a log goes nowhere";
}

TEST(ShellObject, ConnectionWithoutLogIsRefusedAndReportsAreDropped) {
  TConnection withLog(true);
  TConnection withoutLog(false);
  TComPtr<TOstrak> object = NewObject();
  ASSERT_EQ(S_OK, object->Init(withLog.AsDispatch()));
  // A second Init drops the earlier log even when the new connection has none.
  EXPECT_EQ(E_NOINTERFACE, object->Init(withoutLog.AsDispatch()));
  EXPECT_EQ(nullptr, object->ErrorLog.Get());
  EXPECT_EQ(0u, withLog.Refs);
  EXPECT_EQ(0u, withoutLog.Refs);
  object->ReportError(MsgCodeError, IDS_LOAD_FAILED);
  EXPECT_TRUE(withLog.Log.empty());
  EXPECT_EQ(S_OK, object->Done());
}

TEST(ShellObject, InitDoneInitStartsAfresh) {
  TConnection first(true);
  TConnection second(true);
  TComPtr<TOstrak> object = NewObject();
  ASSERT_EQ(S_OK, object->Init(first.AsDispatch()));
  TTextBuffer text;
  text.Bytes = std::string("{\"Consts\"}") + '\0';
  object->Store = std::make_unique<TMetaStore>(text);
  object->EnumStates[3].Key = "INVOICE";
  object->EnumStates[3].Count = 4;

  EXPECT_EQ(S_OK, object->Done());
  EXPECT_FALSE(object->Store);
  EXPECT_EQ(S_OK, object->Done()) << "a second Done has nothing left to release";
  EXPECT_EQ(0u, first.Refs);

  ASSERT_EQ(S_OK, object->Init(second.AsDispatch()));
  EXPECT_EQ(second.AsLog(), object->ErrorLog.Get());
  EXPECT_FALSE(object->Store);
  for (const TEnumState& state : object->EnumStates) EXPECT_TRUE(state.IsIdle());
  object->ReportError(MsgCodeError, IDS_BAD_NAME);
  EXPECT_TRUE(first.Log.empty());
  ASSERT_EQ(1u, second.Log.size());
  EXPECT_EQ(Utf8ToWide("Неверное имя реквизита"), second.Log[0].Description);

  // Init on a loaded object without Done between frees the store rather than leaking it.
  object->Store = std::make_unique<TMetaStore>(text);
  EXPECT_EQ(S_OK, object->Init(first.AsDispatch()));
  EXPECT_FALSE(object->Store);
  EXPECT_EQ(0u, second.Refs);
  object->Done();
}

TEST(ShellObject, InitWithNullConnectionFailsSafely) {
  TConnection connection(true);
  TComPtr<TOstrak> object = NewObject();
  ASSERT_EQ(S_OK, object->Init(connection.AsDispatch()));
  EXPECT_EQ(E_POINTER, object->Init(nullptr));
  EXPECT_EQ(nullptr, object->ErrorLog.Get());
  EXPECT_EQ(0u, connection.Refs);
}

TEST(ShellObject, FinalReleaseLetsGoOfTheLog) {
  TConnection connection(true);
  {
    TComPtr<TOstrak> object = NewObject();
    ASSERT_EQ(S_OK, object->Init(connection.AsDispatch()));
    EXPECT_EQ(1u, connection.Refs);
  }
  EXPECT_EQ(0u, connection.Refs);
}

TEST(ShellObject, GetInfoStoresTheTextThousand) {
  TComPtr<TOstrak> object = NewObject();
  SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(S_OK, object->GetInfo(&info));
  VARIANT element;
  VariantInit(&element);
  LONG index = 0;
  ASSERT_EQ(S_OK, SafeArrayGetElement(info, &index, &element));
  ASSERT_EQ(VT_BSTR, element.vt);
  EXPECT_EQ(Utf8ToWide("1000"), FromBstr(element.bstrVal));
  VariantClear(&element);
  SafeArrayDestroy(info);

  // An array that refuses element 0, or none at all, is still a success.
  SAFEARRAY* empty = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  EXPECT_EQ(S_OK, object->GetInfo(&empty));
  SafeArrayDestroy(empty);
  SAFEARRAY* none = nullptr;
  EXPECT_EQ(S_OK, object->GetInfo(&none));
  EXPECT_EQ(S_OK, object->GetInfo(nullptr));
}
