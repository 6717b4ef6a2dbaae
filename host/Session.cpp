#include "host/Session.h"

#include <cstdio>
#include <utility>

#include "platform/Text.h"

#include "methods/Functions.h"
#include "shell/Ostrak.h"
#include "Version.h"

namespace {
std::string HexResult(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  return text;
}

#if KALAMOS_WINDOWS
// The file version from a module's version resource, "a.b.c.d"; empty when it has none.
std::string VersionOfFile(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::string();
  std::string block(size, '\0');
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::string();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return text;
}

// The InprocServer32 path registered for the ProgID, without the quotes registration adds
// around a path with blanks.
std::wstring RegisteredServerPath() {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"AddIn.kalamos", &clsid))) return std::wstring();
  LPOLESTR clsidText = nullptr;
  if (FAILED(StringFromCLSID(clsid, &clsidText))) return std::wstring();
  std::wstring key = L"CLSID\\" + std::wstring(clsidText) + L"\\InprocServer32";
  CoTaskMemFree(clsidText);
  wchar_t value[1024];
  LONG size = sizeof value;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return std::wstring();
  std::wstring path(value);
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  return path;
}
#endif
}  // namespace

TSession::TSession(TSessionOptions options) : Options(std::move(options)) {
  Sink = new TErrorLogSink(Options.OfferErrorLog);
}

TSession::~TSession() {
  End();
  Sink->Release();
#if KALAMOS_WINDOWS
  if (Module) FreeLibrary(static_cast<HMODULE>(Module));
  if (ComStarted) CoUninitialize();
#endif
}

HRESULT TSession::Start() {
  if (Started()) return S_OK;
  HRESULT hr = E_FAIL;
  StartMessage.clear();
#if KALAMOS_WINDOWS
  if (!ComStarted) ComStarted = SUCCEEDED(CoInitialize(nullptr));
  if (Options.Source == TComponentSource::Library) {
    std::wstring path = Utf8ToWide(Options.DllPath);
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
      StartMessage = "cannot load the library " + Options.DllPath;
      return HRESULT_FROM_WIN32(GetLastError());
    }
    Module = module;
    using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<TGetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject) {
      StartMessage = Options.DllPath + " exports no DllGetClassObject";
      return E_FAIL;
    }
    IClassFactory* factory = nullptr;
    hr = getClassObject(CLSID_Ostrak, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) {
      StartMessage = "DllGetClassObject failed with " + HexResult(hr);
      return FAILED(hr) ? hr : E_FAIL;
    }
    hr = factory->CreateInstance(nullptr, IID_IInitDone, reinterpret_cast<void**>(&InitDone));
    factory->Release();
  } else {
    CLSID clsid;
    hr = CLSIDFromProgID(L"AddIn.kalamos", &clsid);
    if (FAILED(hr)) {
      StartMessage = "the component AddIn.kalamos is not registered (regsvr32 " KALAMOS_DLL_FILE ")";
      return hr;
    }
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, reinterpret_cast<void**>(&InitDone));
  }
#else
  if (Options.Source != TComponentSource::Direct) {
    StartMessage = "only the linked-in component exists in this build";
    return E_NOTIMPL;
  }
  TOstrak* object = new TOstrak;
  hr = object->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(&InitDone));
  if (FAILED(hr)) delete object;
#endif
  if (FAILED(hr) || !InitDone) {
    InitDone = nullptr;
    if (StartMessage.empty()) StartMessage = "cannot create the component: " + HexResult(hr);
    return FAILED(hr) ? hr : E_FAIL;
  }
  hr = InitDone->QueryInterface(IID_IScriptAugment, reinterpret_cast<void**>(&Augment));
  if (FAILED(hr) || !Augment) {
    Augment = nullptr;
    InitDone->Release();
    InitDone = nullptr;
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
  if (Augment) Augment->Release();
  if (InitDone) InitDone->Release();
  Augment = nullptr;
  InitDone = nullptr;
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
#if KALAMOS_WINDOWS
  bool com = SUCCEEDED(CoInitialize(nullptr));
  std::wstring path = dllPath.empty() ? RegisteredServerPath() : Utf8ToWide(dllPath);
  if (com) CoUninitialize();
  return path.empty() ? std::string() : VersionOfFile(path);
#else
  (void)dllPath;
  // The native build has no version resource; kalamos.rc takes the same number.
  return KALAMOS_VERSION_TEXT;
#endif
}
