// A lenient host object for hostile-input runs: it answers whatever it is asked instead of
// failing the test, counts its references, and touches every argument it is handed so that
// a sanitizer sees a bad pointer at once. Header-only: the unit tests and the fuzz targets
// share it.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "platform/Ole.h"
#include "platform/Text.h"

class THostDouble : public IDispatch {
public:
  // Which class probe the object answers: "Level", "newLine", "DoActIncome", or none.
  enum class TClass { Catalogue, Document, Register, Stranger };

  THostDouble(TClass cls, std::string ansiKind, bool failInvokes = false)
      : Class(cls), Kind(std::move(ansiKind)), FailInvokes(failInvokes) {}
  virtual ~THostDouble() = default;
  THostDouble(const THostDouble&) = delete;
  THostDouble& operator=(const THostDouble&) = delete;

  // References beyond the owner's own; 0 when everything handed out came back.
  ULONG Outstanding() const { return Refs - 1; }
  // False once Release was called more often than AddRef.
  bool Balanced() const { return !OverReleased; }
  size_t Invokes = 0;

  // A parameter holding this object, with one more reference for the variant.
  VARIANT AsVariant() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = this;
    AddRef();
    return v;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    // The owner's reference is never given up through Release: the object lives on the stack.
    if (Refs == 1) {
      OverReleased = true;
      return Refs;
    }
    return --Refs;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count < 1 || !names || !names[0] || !ids) return E_INVALIDARG;
    std::u16string name;
    for (const OLECHAR* p = names[0]; *p; ++p) name += char16_t(*p);
    if (name == u"Kind") {
      ids[0] = KindId;
      return S_OK;
    }
    if (name == u"Level" || name == u"newLine" || name == u"DoActIncome") {
      const bool mine = (name == u"Level" && Class == TClass::Catalogue) ||
                        (name == u"newLine" && Class == TClass::Document) ||
                        (name == u"DoActIncome" && Class == TClass::Register);
      if (!mine) return DISP_E_UNKNOWNNAME;
      ids[0] = ClassId;
      return S_OK;
    }
    // Every other member exists, unless the object is a stranger to everything.
    if (Class == TClass::Stranger || name.empty()) return DISP_E_UNKNOWNNAME;
    ids[0] = MemberId;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    ++Invokes;
    if (params) {
      volatile VARTYPE seen = 0;
      for (UINT i = 0; i < params->cArgs; ++i) seen = seen + params->rgvarg[i].vt;
      for (UINT i = 0; i < params->cNamedArgs; ++i) seen = seen + VARTYPE(params->rgdispidNamedArgs[i]);
      (void)seen;
    }
    if (id == KindId) {
      if (!result) return E_INVALIDARG;
      result->vt = VT_BSTR;
      result->bstrVal = kalamos::AnsiToBstr(Kind);
      if (Kind.empty()) result->vt = VT_EMPTY;
      return S_OK;
    }
    if (id != MemberId && id != ClassId) return DISP_E_MEMBERNOTFOUND;
    if (FailInvokes) return DISP_E_EXCEPTION;
    if (!result) return S_OK;
    if (flags & DISPATCH_PROPERTYGET) {
      // A periodic attribute asks for a value object first: hand out ourselves.
      result->vt = VT_DISPATCH;
      result->pdispVal = this;
      AddRef();
      return S_OK;
    }
    result->vt = VT_I4;
    result->lVal = 42;
    return S_OK;
  }

private:
  static constexpr DISPID KindId = 1;
  static constexpr DISPID ClassId = 2;
  static constexpr DISPID MemberId = 3;
  TClass Class;
  std::string Kind;
  bool FailInvokes;
  ULONG Refs = 1;
  bool OverReleased = false;
};
