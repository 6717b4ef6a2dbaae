// CallAsFunc: the checks every script function shares, the branch on the method number,
// and Load, which builds the metadata store the others read.
#include <new>
#include <string>

#include "methods/Calls.h"
#include "methods/Methods.h"
#include "platform/Text.h"
#include "resources/StringIds.h"

namespace kalamos {

TCall::TCall(const TMethodState& state, LONG method, VARIANT* result, SAFEARRAY* params)
    : State(state), Method(method), Result(result), Params(params) {
  if (Result == nullptr) Result = ResultSink.Get();
}

TMetaStore& TCall::Store() const { return *State.Store; }

void TCall::CopyParams() {
  if (Params == nullptr) return;
  // Anything but a one-dimensional array of VARIANT would be read as garbage variants.
  VARTYPE type = VT_EMPTY;
  if (SafeArrayGetDim(Params) != 1 || FAILED(SafeArrayGetVartype(Params, &type)) || type != VT_VARIANT) {
    Params = nullptr;
    return;
  }
  LONG upper = -1;
  if (FAILED(SafeArrayGetUBound(Params, 1, &upper))) return;
  if (upper >= ParamCopyCount) upper = ParamCopyCount - 1;
  for (LONG i = 0; i <= upper; ++i) {
    Copies[i] = TVariant();
    SafeArrayGetElement(Params, &i, Copies[i].Get());
  }
}

void TCall::PresetResult() {
  // The host's content is overwritten, not cleared: that is what the host expects of us.
  Result->vt = VT_I4;
  Result->lVal = 0;
}

void TCall::PutParam(int n, VARIANT& value) {
  if (Params == nullptr) return;
  LONG index = n - 1;
  SafeArrayPutElement(Params, &index, &value);
}

VARIANT* TCall::Element(int n) {
  if (Params == nullptr) return nullptr;
  LONG index = n - 1;
  VARIANT* element = nullptr;
  if (FAILED(SafeArrayPtrOfIndex(Params, &index, reinterpret_cast<void**>(&element)))) return nullptr;
  return element;
}

void TCall::PutText(int n, std::string_view ansiText) {
  // The new text goes into the element itself: what SafeArrayPutElement leaves there, less
  // a copy of the string on every listed item.
  VARIANT* element = Element(n);
  if (element == nullptr) return;
  BSTR text = AnsiToBstr(ansiText);
  VariantClear(element);
  element->vt = VT_BSTR;
  element->bstrVal = text;
}

void TCall::PutLong(int n, LONG number) {
  VARIANT* element = Element(n);
  if (element == nullptr) return;
  VariantClear(element);
  element->vt = VT_I4;
  element->lVal = number;
}

void TCall::SetLong(LONG value) {
  Result->vt = VT_I4;
  Result->lVal = value;
}

void TCall::SetText(std::string_view ansiText) {
  BSTR text = AnsiToBstr(ansiText);
  VariantClear(Result);
  Result->vt = VT_BSTR;
  Result->bstrVal = text;
}

HRESULT TCall::Fail(uint16_t code, unsigned messageId) {
  State.Reporter.ReportError(code, messageId);
  return E_FAIL;
}

namespace {

bool NamesObject(LONG method) { return MethodInRange(method) && FunctionRows[method].NamesObject; }

}  // namespace

HRESULT CallFunction(const TMethodState& state, LONG number, VARIANT* result, SAFEARRAY** params) {
  if (!state.Store && number > MethodLoad) {
    state.Reporter.ReportError(MsgCodeError, IDS_NOT_LOADED);
    return E_FAIL;
  }
  // A missing array, or a pointer to none, is an empty parameter list.
  TCall call(state, number, result, params != nullptr ? *params : nullptr);
  try {
    call.CopyParams();
    if (NamesObject(number)) {
      VARIANT& first = call.Param(1);
      if (first.vt != VT_BSTR) return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);
      call.ObjectName = WideToAnsi(first.bstrVal);
      AnsiUpperInPlace(call.ObjectName.data(), call.ObjectName.size());
    }
    call.PresetResult();
    switch (number) {
#define KALAMOS_FUNCTION(Id, Number, English, Russian, Params, Named, Slot, DefaultAt, Default, Handler) \
  case Method##Id: return Handler(call);
#include "methods/Functions.def"
      default: return S_FALSE;
    }
  } catch (const std::bad_alloc&) {
    // Nothing may cross the COM boundary.
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT Load(TCall& call) {
  const TMethodState& state = call.State;
  if (state.Store) {
    state.Reporter.ReportError(MsgCodeInfo, IDS_LOAD_TWICE);
    return S_OK;
  }
  VARIANT& directory = call.Param(1);
  if (directory.vt != VT_BSTR) return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);

  try {
    std::string path = WideToAnsi(directory.bstrVal);
    size_t begin = 0;
    size_t end = path.size();
    while (begin < end && static_cast<unsigned char>(path[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(path[end - 1]) <= 32) --end;
    if (begin == end) return call.Fail(MsgCodeError, IDS_LOAD_FAILED);
    path = path.substr(begin, end - begin);
    if (path.back() != '\\') path += '\\';
    path += "vellum.md";
    state.Store = std::make_unique<TMetaStore>(path);
  } catch (...) {
    // TStoreError, bad_alloc or anything else: no half-built store survives.
    state.Store.reset();
    return call.Fail(MsgCodeError, IDS_LOAD_FAILED);
  }
  call.SetLong(1);
  return S_OK;
}

}  // namespace kalamos
