#include "host/Session.h"

#include <utility>

#include "platform/ComClient.h"
#include "platform/Text.h"

#include "methods/Functions.h"
#include "shell/Ostrak.h"
#include "Version.h"

namespace kalamos {

namespace {
std::string HexResult(HRESULT hr) { return "0x" + HresultDigits(hr); }
}  // namespace

TSession::TSession(TSessionOptions options) : Options(std::move(options)) {
  Sink.Reset(new TErrorLogSink(Options.OfferErrorLog));
}

TSession::~TSession() {
  End();
  Sink.Reset();
  FreeServerLibrary(Module);
  if (ComStarted) StopCom();
}

HRESULT TSession::Start() {
  if (Started()) return S_OK;
  HRESULT hr = E_FAIL;
  StartMessage.clear();
  if (!ComStarted) ComStarted = StartCom();
  if constexpr (kComServers) {
    if (Options.Source == TComponentSource::Library) {
      hr = CreateFromLibrary(Options.DllPath, CLSID_Ostrak, IID_IInitDone, InitDone.OutVoid(), Module, StartMessage);
      if (!StartMessage.empty()) return hr;
    } else {
      CLSID clsid;
      hr = ClassOfProgId(OLESTR("AddIn.kalamos"), clsid);
      if (FAILED(hr)) {
        StartMessage = "the component AddIn.kalamos is not registered (regsvr32 " KALAMOS_DLL_FILE ")";
        return hr;
      }
      hr = CreateInProcess(clsid, IID_IInitDone, InitDone.OutVoid());
    }
  } else {
    // The component is linked in. Where COM servers exist this branch is discarded, so the
    // Windows tool never links the component's code.
    if (Options.Source != TComponentSource::Direct) {
      StartMessage = "only the linked-in component exists in this build";
      return E_NOTIMPL;
    }
    TOstrak* object = new TOstrak;
    hr = object->QueryInterface(IID_IInitDone, InitDone.OutVoid());
    if (FAILED(hr)) delete object;
  }
  if (FAILED(hr) || !InitDone) {
    InitDone.Abandon();
    if (StartMessage.empty()) StartMessage = "cannot create the component: " + HexResult(hr);
    return FAILED(hr) ? hr : E_FAIL;
  }
  hr = InitDone->QueryInterface(IID_IScriptAugment, Augment.OutVoid());
  if (FAILED(hr) || !Augment) {
    Augment.Abandon();
    InitDone.Reset();
    StartMessage = "the component offers no IScriptAugment: " + HexResult(hr);
    return FAILED(hr) ? hr : E_FAIL;
  }
  InitHr = InitDone->Init(Sink->Connection());
  BSTR name = nullptr;
  if (SUCCEEDED(Augment->RegisterExtensionAs(&name)) && name)
    Extension.assign(name, SysStringLen(name));
  SysFreeString(name);
  return S_OK;
}

void TSession::End() {
  if (InitDone) InitDone->Done();
  Augment.Reset();
  InitDone.Reset();
}

LONG TSession::FindMethod(const WideString& name) {
  if (!Augment) return -1;
  BSTR text = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
  LONG number = -1;
  if (FAILED(Augment->FindMethod(text, &number))) number = -1;
  SysFreeString(text);
  return number;
}

LONG TSession::FindMethodUtf8(std::string_view name) { return FindMethod(Utf8ToWide(name)); }

LONG TSession::ParamCount(LONG method) {
  LONG count = -1;
  if (!Augment || Augment->GetNParams(method, &count) != S_OK) return -1;
  return count;
}

std::string TSession::MethodName(LONG method, LONG alias) {
  BSTR name = nullptr;
  std::string text;
  if (Augment && Augment->GetMethodName(method, alias, &name) == S_OK && name)
    text = WideToUtf8(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

HRESULT TSession::Call(LONG method, const std::vector<TVariant>& args, TCallOutcome& outcome) {
  outcome = TCallOutcome();
  outcome.Method = method;
  if (!Augment) return outcome.Result = E_UNEXPECTED;
  LONG count = 0;
  HRESULT hr = Augment->GetNParams(method, &count);
  if (hr != S_OK) return outcome.Result = hr;
  if (count < 0 || args.size() > static_cast<size_t>(count)) return outcome.Result = E_INVALIDARG;

  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
  if (!array) return outcome.Result = E_OUTOFMEMORY;
  for (LONG i = 0; i < count; ++i) {
    if (static_cast<size_t>(i) < args.size()) {
      // The array takes a copy of its own.
      SafeArrayPutElement(array, &i, const_cast<VARIANT*>(args[i].Get()));
    } else {
      TVariant fallback;
      Augment->GetParamDefValue(method, i, fallback.Get());
      SafeArrayPutElement(array, &i, fallback.Get());
    }
  }

  BOOL hasValue = FALSE;
  Augment->HasRetVal(method, &hasValue);
  if (hasValue) {
    VARIANT result;
    VariantInit(&result);
    hr = Augment->CallAsFunc(method, &result, &array);
    outcome.Return = TVariant::Adopt(result);
  } else {
    hr = Augment->CallAsProc(method, &array);
  }

  if (array) {
    // The array is ours and goes now: its elements are moved out rather than copied.
    LONG upper = -1;
    SafeArrayGetUBound(array, 1, &upper);
    VARIANT* elements = nullptr;
    if (upper >= 0 && SUCCEEDED(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
      outcome.Params.reserve(static_cast<size_t>(upper) + 1);
      for (LONG i = 0; i <= upper; ++i) outcome.Params.push_back(TVariant::Adopt(elements[i]));
      SafeArrayUnaccessData(array);
    }
    SafeArrayDestroy(array);
  }
  return outcome.Result = hr;
}

bool TSession::Load(std::string_view directory, HRESULT* result) {
  TCallOutcome outcome;
  HRESULT hr = Call(MethodLoad, {TVariant::Utf8(directory)}, outcome);
  if (result) *result = hr;
  return hr == S_OK && outcome.Return.IsInt() && outcome.Return.AsInt() == 1;
}

std::string ComponentFileVersion(const std::string& dllPath) {
  // A linked-in component has no version resource; kalamos.rc takes the same number.
  if (!kComServers) return KALAMOS_VERSION_TEXT;
  return ServerFileVersion(dllPath, OLESTR("AddIn.kalamos"));
}

}  // namespace kalamos
