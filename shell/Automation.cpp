// TOstrak's IDispatch: the nineteen functions for any automation client (VBScript, JScript,
// Office macros). Calls go through the same dispatcher as the host's CallAsFunc; the host's
// error report becomes the caller's exception.
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "methods/Functions.h"
#include "methods/Methods.h"
#include "platform/Text.h"
#include "shell/Ostrak.h"

namespace kalamos {

namespace {

// A whole name, either language, any letter case; -1 when none.
DISPID MethodOfName(const OLECHAR* name) {
  if (!name) return DISPID_UNKNOWN;
  size_t length = 0;
  while (name[length]) ++length;
  const std::string ansi = WideToAnsi(name, length);
  // Only a name that survives the trip to code page 1251 unchanged is ours: the system's
  // best-fit mapping would otherwise let look-alike letters through.
  if (ansi.empty() || AnsiToWide(ansi) != WideString(name, length)) return DISPID_UNKNOWN;
  const std::string wanted = AnsiUpper(ansi);
  for (int i = 0; i < MethodCount; ++i) {
    if (MethodName(i, false, true) == wanted || MethodName(i, true, true) == wanted) return i;
  }
  return DISPID_UNKNOWN;
}

size_t ValueSize(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_DATE:
    case VT_CY: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_DISPATCH: return sizeof(IDispatch*);
    case VT_UNKNOWN: return sizeof(IUnknown*);
    default: return 0;
  }
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  if (a.vt == VT_BSTR) {
    const UINT length = SysStringLen(a.bstrVal);
    return length == SysStringLen(b.bstrVal) &&
           (length == 0 || std::memcmp(a.bstrVal, b.bstrVal, length * sizeof(OLECHAR)) == 0);
  }
  if (a.vt == VT_EMPTY || a.vt == VT_NULL) return true;
  if (a.vt & VT_ARRAY) return a.parray == b.parray;
  // A type we cannot compare counts as changed: writing back an equal value is harmless.
  const size_t size = ValueSize(a.vt);
  return size != 0 && std::memcmp(&a.lVal, &b.lVal, size) == 0;
}

// Writes an output value into the caller's by-reference argument: a variant slot takes the
// whole VARIANT, a typed slot takes a value of its own type only (no conversions).
HRESULT WriteBack(VARIANT& arg, const VARIANT& value) {
  const VARTYPE base = static_cast<VARTYPE>(arg.vt & ~VT_BYREF);
  if (base == VT_VARIANT) return VariantCopy(arg.pvarVal, const_cast<VARIANT*>(&value));
  if (value.vt != base || ValueSize(base) == 0) return DISP_E_TYPEMISMATCH;
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopy(&copy, const_cast<VARIANT*>(&value));
  if (FAILED(hr)) return hr;
  // The slot's old text or reference was the caller's and is replaced by ours.
  VARIANT old;
  VariantInit(&old);
  old.vt = base;
  std::memcpy(&old.lVal, arg.byref, ValueSize(base));
  std::memcpy(arg.byref, &copy.lVal, ValueSize(base));
  VariantClear(&old);
  return S_OK;
}

// The parameter array a call gets, with the values that went in, to see what came out.
class TArguments {
public:
  ~TArguments() {
    for (VARIANT& v : Inputs) VariantClear(&v);
    if (Array) SafeArrayDestroy(Array);
  }

  std::vector<VARIANT> Inputs;
  SAFEARRAY* Array = nullptr;
};

// VBScript hands small whole numbers over as VT_I2 (its Integer); the functions take VT_I4.
// Widening is exact, so it is done here rather than asking every script for CLng.
void WidenWholeNumber(VARIANT& v) {
  LONG value = 0;
  switch (v.vt) {
    case VT_I1: value = static_cast<signed char>(v.cVal); break;
    case VT_UI1: value = v.bVal; break;
    case VT_I2: value = v.iVal; break;
    case VT_UI2: value = v.uiVal; break;
    case VT_INT: value = v.intVal; break;
    default: return;
  }
  v.vt = VT_I4;
  v.lVal = value;
}

bool IsOmitted(const VARIANT& arg) { return arg.vt == VT_ERROR && arg.scode == DISP_E_PARAMNOTFOUND; }

}  // namespace

HRESULT STDMETHODCALLTYPE TOstrak::GetTypeInfoCount(UINT* count) {
  if (!count) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (!names || !ids) return E_INVALIDARG;
  try {
    ids[0] = MethodOfName(names[0]);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  // The functions take no named arguments, so every further name is unknown.
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (id < 0 || id >= MethodCount) return DISP_E_MEMBERNOTFOUND;
  const UINT given = params ? params->cArgs : 0;
  if (given > 0 && !params->rgvarg) return E_INVALIDARG;
  // Scripts may read a function without arguments as a property; writes are no calls.
  const bool call = (flags & DISPATCH_METHOD) || ((flags & DISPATCH_PROPERTYGET) && given == 0);
  if (!call) return DISP_E_MEMBERNOTFOUND;
  if (params && params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  const UINT count = ParamCount(id);
  if (given > count) return DISP_E_BADPARAMCOUNT;

  HRESULT hr = S_OK;
  try {
    // Automation hands the arguments over last first.
    TArguments args;
    args.Inputs.resize(count);
    for (VARIANT& v : args.Inputs) VariantInit(&v);
    for (UINT i = 0; i < count; ++i) {
      const VARIANT* arg = i < given ? &params->rgvarg[given - 1 - i] : nullptr;
      if (arg && !IsOmitted(*arg)) {
        // The value a by-reference argument points at, as a VARIANT of its own; a null
        // reference is refused here, since VariantCopyInd would follow it.
        if ((arg->vt & VT_BYREF) && !arg->byref) hr = E_INVALIDARG;
        else hr = VariantCopyInd(&args.Inputs[i], const_cast<VARIANT*>(arg));
        if (FAILED(hr)) {
          if (argErr) *argErr = given - 1 - i;
          return hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
        }
        WidenWholeNumber(args.Inputs[i]);
      } else if (FAILED(hr = GetParamDefValue(id, static_cast<LONG>(i), &args.Inputs[i]))) {
        return hr;
      }
    }
    args.Array = SafeArrayCreateVector(VT_VARIANT, 0, count);
    if (!args.Array) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
      if (FAILED(hr = SafeArrayPutElement(args.Array, &i, &args.Inputs[i]))) return hr;
    }

    VARIANT answer;
    VariantInit(&answer);
    TCapturedReport report;
    TCapturedReport* outer = Capture;
    Capture = &report;
    hr = CallAsFunc(id, &answer, &args.Array);
    Capture = outer;

    // Outputs travel back whatever the answer; a listing that failed wrote none.
    HRESULT written = S_OK;
    for (UINT i = 0; i < given; ++i) {
      VARIANT& arg = params->rgvarg[given - 1 - i];
      if (!(arg.vt & VT_BYREF) || !arg.byref) continue;
      VARIANT out;
      VariantInit(&out);
      LONG index = static_cast<LONG>(i);
      if (SUCCEEDED(SafeArrayGetElement(args.Array, &index, &out)) && !SameValue(out, args.Inputs[i])) {
        const HRESULT put = WriteBack(arg, out);
        if (FAILED(put) && SUCCEEDED(written)) {
          written = put;
          if (argErr) *argErr = given - 1 - i;
        }
      }
      VariantClear(&out);
    }

    if (FAILED(hr) && report.Held) {
      VariantClear(&answer);
      if (excep) {
        std::memset(excep, 0, sizeof *excep);
        try {
          FillReport(*excep, report.Code, report.MessageId);
        } catch (const std::bad_alloc&) {
          SysFreeString(excep->bstrSource);
          SysFreeString(excep->bstrDescription);
          std::memset(excep, 0, sizeof *excep);
          return E_OUTOFMEMORY;
        }
      }
      return DISP_E_EXCEPTION;
    }
    if (FAILED(hr)) {
      VariantClear(&answer);
      return hr;
    }
    if (FAILED(written)) {
      VariantClear(&answer);
      return written;
    }
    // The caller's result is empty by the rules of Invoke; ours replaces it.
    if (result)
      *result = answer;
    else
      VariantClear(&answer);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace kalamos
