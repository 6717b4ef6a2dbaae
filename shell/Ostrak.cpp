// TOstrak: the component object. One identity, one reference count; IInitDone, the error
// channel to the host, and the constant part of IScriptAugment.
#include "shell/Ostrak.h"

#include <cstring>
#include <new>

#include "methods/Functions.h"
#include "methods/Methods.h"
#include "platform/System.h"
#include "platform/Variant.h"
#include "platform/Text.h"
#include "resources/StringIds.h"

// {6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}
const CLSID CLSID_Ostrak = {0x6E1A3D52, 0x9C47, 0x4B0E, {0x8F, 0x21, 0x5A, 0x7C, 0x3B, 0x9D, 0x0E, 0x14}};
// The host's interface identifiers.
const IID IID_IInitDone = {0xAB634001, 0xF13D, 0x11D0, {0xA4, 0x59, 0x00, 0x40, 0x95, 0xE1, 0xDA, 0xEA}};
const IID IID_IScriptAugment = {0xAB634003, 0xF13D, 0x11D0, {0xA4, 0x59, 0x00, 0x40, 0x95, 0xE1, 0xDA, 0xEA}};

namespace kalamos {

namespace {

// Every call arrives on the host's one thread, so a plain counter is enough.
LONG LiveCount = 0;

}  // namespace

TOstrak::TOstrak() { ++LiveCount; }

TOstrak::~TOstrak() { --LiveCount; }

LONG TOstrak::LiveObjects() { return LiveCount; }

// --- IUnknown ---

HRESULT STDMETHODCALLTYPE TOstrak::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IInitDone))
    *object = static_cast<IInitDone*>(this);
  else if (IsEqualIID(riid, IID_IScriptAugment))
    *object = static_cast<IScriptAugment*>(this);
  else if (IsEqualIID(riid, IID_IDispatch))
    *object = static_cast<IDispatch*>(this);
#if KALAMOS_WINDOWS
  else if (IsEqualIID(riid, IID_IPropertyPage))
    *object = static_cast<IPropertyPage*>(this);
#endif
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TOstrak::AddRef() { return static_cast<ULONG>(++RefCount); }

ULONG STDMETHODCALLTYPE TOstrak::Release() {
  LONG left = --RefCount;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// --- IInitDone ---

HRESULT STDMETHODCALLTYPE TOstrak::Init(IDispatch* connection) {
  ErrorLog.Reset();
  Store.reset();
  for (TEnumState& state : EnumStates) state.Reset();
  // The connection is only asked, never kept.
  if (!connection) return E_POINTER;
  return connection->QueryInterface(IID_IErrorLog, ErrorLog.OutVoid());
}

HRESULT STDMETHODCALLTYPE TOstrak::Done() {
  ErrorLog.Reset();
  Store.reset();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetInfo(SAFEARRAY** info) {
  TVariant version = TVariant::Text(OLESTR("1000"));
  // The host's array may refuse the element; that is not our failure.
  if (info && *info) {
    LONG index = 0;
    SafeArrayPutElement(*info, &index, version.Get());
  }
  return S_OK;
}

// --- Error channel ---

void TOstrak::FillReport(EXCEPINFO& info, uint16_t code, unsigned messageId) {
  info.wCode = code;
  info.bstrSource = SysAllocString(AnsiToWide(ComponentTitle).c_str());
  const WideString text = AnsiToWide(LoadResourceString(messageId));
  info.bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!info.bstrSource || (!text.empty() && !info.bstrDescription)) throw std::bad_alloc();
}

void TOstrak::ReportError(uint16_t code, unsigned messageId) {
  if (Capture) *Capture = {true, code, messageId};
  EXCEPINFO info;
  std::memset(&info, 0, sizeof info);
  try {
    FillReport(info, code, messageId);
    if (ErrorLog) ErrorLog->AddError(nullptr, &info);
  } catch (...) {
    // Out of memory while reporting: the report is lost, the caller goes on.
  }
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
}

// --- IScriptAugment ---

HRESULT STDMETHODCALLTYPE TOstrak::RegisterExtensionAs(BSTR* extensionName) {
  if (!extensionName) return E_POINTER;
  try {
    *extensionName = AnsiToBstr(LoadResourceString(IDS_EXTENSION_NAME));
  } catch (const std::bad_alloc&) {
    *extensionName = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetNProps(LONG* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::FindProp(BSTR name, LONG* number) {
  if (number) *number = -1;
  return S_FALSE;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetPropName(LONG number, LONG alias, BSTR* name) {
  if (name) {
    SysFreeString(*name);
    *name = nullptr;
  }
  return S_FALSE;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetPropVal(LONG number, VARIANT* value) {
  if (value) VariantClear(value);
  return S_FALSE;
}

HRESULT STDMETHODCALLTYPE TOstrak::SetPropVal(LONG number, VARIANT* value) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE TOstrak::IsPropReadable(LONG number, BOOL* readable) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE TOstrak::IsPropWritable(LONG number, BOOL* writable) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE TOstrak::GetNMethods(LONG* count) {
  if (!count) return E_POINTER;
  *count = MethodCount;
  return S_OK;
}

// Any piece of either name finds its entry, the first in table order; the empty name none.
HRESULT STDMETHODCALLTYPE TOstrak::FindMethod(BSTR name, LONG* number) {
  if (!number) return E_POINTER;
  *number = -1;
  try {
    const std::string wanted = AnsiUpper(WideToAnsi(name));
    if (wanted.empty()) return S_OK;
    for (int i = 0; i < MethodCount; ++i) {
      if (UpperMethodEntry(i).find(wanted) != std::string::npos) {
        *number = i;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetMethodName(LONG number, LONG alias, BSTR* name) {
  if (!MethodInRange(number)) return S_FALSE;
  if (!name) return E_POINTER;
  try {
    // An out parameter: what the caller passed in is not ours to free.
    *name = AnsiToBstr(MethodName(number, alias != 0));
  } catch (const std::bad_alloc&) {
    *name = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetNParams(LONG number, LONG* count) {
  if (!MethodInRange(number)) return S_FALSE;
  if (!count) return E_POINTER;
  *count = ParamCount(number);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetParamDefValue(LONG number, LONG param, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantClear(value);
  if (!MethodInRange(number) || param < 0 || param >= ParamCount(number)) return S_FALSE;
  const TFunctionRow& row = FunctionRows[number];
  if (param != row.DefaultAt) return S_OK;
  switch (row.Default) {
    case DefaultToday:
      value->vt = VT_DATE;
      value->date = TodayAsDate();
      break;
    case DefaultEmptyText:
      value->vt = VT_BSTR;
      value->bstrVal = nullptr;
      break;
    case DefaultNone: break;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::HasRetVal(LONG number, BOOL* hasValue) {
  if (!MethodInRange(number)) return S_FALSE;
  if (!hasValue) return E_POINTER;
  *hasValue = TRUE;
  return S_OK;
}

// Every function returns a value; none runs as a procedure.
HRESULT STDMETHODCALLTYPE TOstrak::CallAsProc(LONG number, SAFEARRAY** params) {
  return MethodInRange(number) ? E_FAIL : S_FALSE;
}

// CallFunction keeps every C++ exception on its side of the host.
HRESULT STDMETHODCALLTYPE TOstrak::CallAsFunc(LONG number, VARIANT* result, SAFEARRAY** params) {
  return CallFunction(TMethodState{Store, EnumStates, *this}, number, result, params);
}

}  // namespace kalamos
