#include "tests/support/MockDispatch.h"

#include <gtest/gtest.h>

#include "platform/Text.h"

using namespace kalamos;

TMockDispatch& TMockDispatch::Knows(std::string_view name, DISPID id, HRESULT hr) {
  Names[std::string(name)] = {id, hr, true};
  return *this;
}

TMockDispatch& TMockDispatch::Refuses(std::string_view name, HRESULT hr) {
  Names[std::string(name)] = {0, hr, false};
  return *this;
}

TMockDispatch& TMockDispatch::OnInvoke(DISPID id, THandler handler) {
  Handlers[id] = std::move(handler);
  return *this;
}

TMockDispatch& TMockDispatch::WithKind(TVariant value) {
  Knows("Kind", 1);
  return OnInvoke(1, [value](const TInvoke& call, VARIANT* result) -> HRESULT {
    EXPECT_EQ(call.Flags, DISPATCH_METHOD) << "Kind is a method";
    EXPECT_TRUE(call.Args.empty());
    if (result) VariantCopy(result, const_cast<VARIANT*>(value.Get()));
    return S_OK;
  });
}

TVariant TMockDispatch::AsParam() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = this;
  AddRef();
  return TVariant::Adopt(v);
}

HRESULT STDMETHODCALLTYPE TMockDispatch::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TMockDispatch::Release() {
  if (Refs == 1) ADD_FAILURE() << "host object released once too often";
  return Refs > 1 ? --Refs : Refs;
}

HRESULT STDMETHODCALLTYPE TMockDispatch::GetTypeInfoCount(UINT*) {
  ADD_FAILURE() << "unexpected GetTypeInfoCount";
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TMockDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  ADD_FAILURE() << "unexpected GetTypeInfo";
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TMockDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                                       DISPID* ids) {
  EXPECT_TRUE(IsEqualIID(riid, IID_NULL)) << "GetIDsOfNames without IID_NULL";
  EXPECT_EQ(lcid, LCID(2048)) << "GetIDsOfNames with another locale";
  EXPECT_EQ(count, 1u) << "one name at a time";
  if (count < 1 || !names || !names[0] || !ids) return E_INVALIDARG;
  const OLECHAR* name = names[0];
  size_t length = 0;
  while (name[length]) ++length;
  std::string utf8 = WideToUtf8(name, length);
  Probes.push_back(utf8);
  auto known = Names.find(utf8);
  if (known == Names.end()) return DISP_E_UNKNOWNNAME;
  if (known->second.WritesId) ids[0] = known->second.Id;
  return known->second.Result;
}

HRESULT STDMETHODCALLTYPE TMockDispatch::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                                VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  EXPECT_TRUE(IsEqualIID(riid, IID_NULL)) << "Invoke without IID_NULL";
  EXPECT_EQ(lcid, LCID(2048)) << "Invoke with another locale";
  EXPECT_EQ(excep, nullptr) << "no exception record is asked for";
  EXPECT_EQ(argErr, nullptr) << "no argument-error index is asked for";
  TInvoke call;
  call.Id = id;
  call.Flags = flags;
  if (params) {
    for (UINT i = 0; i < params->cArgs; ++i) {
      TVariant arg;
      VariantCopy(arg.Get(), &params->rgvarg[i]);
      call.Args.push_back(std::move(arg));
    }
    for (UINT i = 0; i < params->cNamedArgs; ++i) call.Named.push_back(params->rgdispidNamedArgs[i]);
  }
  Invokes.push_back(call);
  auto handler = Handlers.find(id);
  if (handler == Handlers.end()) {
    ADD_FAILURE() << "unexpected Invoke of member " << id;
    return DISP_E_MEMBERNOTFOUND;
  }
  return handler->second(call, result);
}

void MakeCatalogueItem(TMockDispatch& object, std::string_view kind) {
  object.Knows("Level", 10).WithKind(kind);
}

void MakeDocument(TMockDispatch& object, std::string_view kind) {
  object.Knows("newLine", 11).WithKind(kind);
}

void MakeRegister(TMockDispatch& object, std::string_view kind) {
  object.Knows("DoActIncome", 12).WithKind(kind);
}

TMockDispatch::THandler Answer(TVariant value) {
  return [value](const TMockDispatch::TInvoke&, VARIANT* result) -> HRESULT {
    if (result) VariantCopy(result, const_cast<VARIANT*>(value.Get()));
    return S_OK;
  };
}

TMockDispatch::THandler FailWith(HRESULT hr) {
  return [hr](const TMockDispatch::TInvoke&, VARIANT*) { return hr; };
}
