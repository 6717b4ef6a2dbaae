// HasAttr, SetAttr and GetAttr: an attribute of a live host object, checked against the
// configuration and the built-in names, then read or written through IDispatch.
#include <string>

#include "metadata/MetaStore.h"
#include "metadata/getInfo.h"
#include "methods/Calls.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Variant.h"
#include "resources/StringIds.h"
#include "methods/HostObject.h"
#include "methods/Methods.h"

namespace kalamos {

namespace {

bool IsBuiltIn(uint8_t kind, const std::string& name) {
  unsigned first = 0;
  unsigned count = 0;
  switch (kind) {
    case KindReference: first = IDS_REF_BUILTIN_0; count = 8; break;
    case KindDocument: first = IDS_DOC_BUILTIN_0; count = 6; break;
    case KindRegister: first = IDS_REG_BUILTIN_0; count = 4; break;
    default: return false;
  }
  for (unsigned id = first; id < first + count; ++id)
    if (LoadResourceString(id) == name) return true;
  return false;
}

HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT& answer) {
  return object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &params, &answer, nullptr, nullptr);
}

}  // namespace

HRESULT AttrAccess(TCall& call) {
  VARIANT& objectParam = call.Param(1);
  VARIANT& nameParam = call.Param(2);
  // A null object passes the type but has nothing to ask.
  if (objectParam.vt != VT_DISPATCH || objectParam.pdispVal == nullptr || nameParam.vt != VT_BSTR)
    return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);
  IDispatch* object = objectParam.pdispVal;

  uint8_t kind = KindUnrecognised;
  if (!ClassifyHostObject(object, kind)) return call.Fail(MsgCodeError, IDS_BAD_HOST_OBJECT);

  const TMetaStore& store = call.Store();
  std::string name = AnsiUpper(WideToAnsi(nameParam.bstrVal));
  std::string kindName;
  HostObjectKind(object, kindName);
  int32_t position = -1;
  bool found = store.FindAttribute(kind, kindName, name, position);
  if (!found) {
    position = -1;
    found = IsBuiltIn(kind, name);
  }
  call.SetLong(found ? 1 : 0);
  if (call.Method == MethodHasAttr || !found) return S_OK;

  const bool setting = call.Method == MethodSetAttr;
  DISPID id = DISPID_UNKNOWN;
  ProbeName(object, name, id);
  const bool periodic = kind == KindReference && position != -1 && QuotedField(store.TextAt(position), 10) == "1";

  // Every variant here is released when the call ends, whatever the host answered.
  TVariant answer;
  HRESULT hr = S_OK;
  if (periodic) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    TVariant valueObject;
    hr = Invoke(object, id, DISPATCH_PROPERTYGET, none, *valueObject.Get());
    if (SUCCEEDED(hr) && (valueObject.Get()->vt != VT_DISPATCH || valueObject.Get()->pdispVal == nullptr))
      hr = DISP_E_TYPEMISMATCH;
    // Without a value object there is nothing to call: a failed read or write.
    if (SUCCEEDED(hr)) {
      IDispatch* value = valueObject.Get()->pdispVal;
      DISPID methodId = DISPID_UNKNOWN;
      ProbeName(value, setting ? "setValue" : "getValue", methodId);
      // Arguments go last to first: setValue gets the date, then the value.
      VARIANTARG arguments[2] = {call.Param(3), call.Param(4)};
      DISPPARAMS params = {setting ? &arguments[0] : &arguments[1], nullptr, setting ? 2u : 1u, 0};
      hr = Invoke(value, methodId, DISPATCH_METHOD, params, *answer.Get());
    }
  } else if (setting) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&call.Param(3), &named, 1, 1};
    hr = Invoke(object, id, DISPATCH_PROPERTYPUT, params, *answer.Get());
  } else {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    hr = Invoke(object, id, DISPATCH_PROPERTYGET, none, *answer.Get());
  }

  if (FAILED(hr)) {
    call.SetLong(0);
    ShowFailureNotice(HresultDigits(hr));
    return call.Fail(MsgCodeInfo, setting ? IDS_SET_FAILED : IDS_GET_FAILED);
  }
  if (!setting) call.PutParam(3, *answer.Get());
  return S_OK;
}

}  // namespace kalamos
