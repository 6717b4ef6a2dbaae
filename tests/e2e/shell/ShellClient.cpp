// Drives the registered kalamos.dll through real COM, the way the host platform does: by
// ProgID, Init with a connection object, the whole IScriptAugment surface, reports through
// the host's IErrorLog, and the server's unload answers. Every answer is checked.
// Usage: shell_e2e_client <full Windows path of the registered kalamos.dll>
#include <cstdio>
#include <string>
#include <vector>

#include "methods/Functions.h"
#include "platform/Ole.h"
#include "shell/AddInLib.h"
#include "Version.h"

using namespace kalamos;

// The host's own copies of the identifiers; the component must answer exactly these.
const IID IID_IInitDone = {0xAB634001, 0xF13D, 0x11D0, {0xA4, 0x59, 0x00, 0x40, 0x95, 0xE1, 0xDA, 0xEA}};
const IID IID_IScriptAugment = {0xAB634003, 0xF13D, 0x11D0, {0xA4, 0x59, 0x00, 0x40, 0x95, 0xE1, 0xDA, 0xEA}};

namespace {

const CLSID ExpectedClsid = {0x6E1A3D52, 0x9C47, 0x4B0E, {0x8F, 0x21, 0x5A, 0x7C, 0x3B, 0x9D, 0x0E, 0x14}};
const wchar_t ClsidText[] = L"{6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}";

int Passed = 0;
int Failed = 0;

bool Check(bool ok, int line, const char* what) {
  if (ok) {
    ++Passed;
  } else {
    ++Failed;
    std::printf("FAILED line %d: %s\n", line, what);
  }
  return ok;
}
#define CHECK(cond) Check((cond), __LINE__, #cond)
#define CHECK_HR(expected, call) Check((call) == (expected), __LINE__, #call " == " #expected)

std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

struct TReport {
  WORD Code;
  std::wstring Source;
  std::wstring Description;
  bool NullPropName;
};

// The host's connection object; it hands out IErrorLog only when it has one. Its IDispatch
// members have no business being called by the component.
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
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return Unexpected();
  }
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR propName, EXCEPINFO* info) override {
    Reports.push_back({info->wCode, FromBstr(info->bstrSource), FromBstr(info->bstrDescription), propName == nullptr});
    return S_OK;
  }
  IDispatch* Dispatch() { return static_cast<IDispatch*>(this); }

  ULONG Refs = 0;
  std::vector<TReport> Reports;

private:
  HRESULT Unexpected() {
    Check(false, __LINE__, "the component called an IDispatch member of the connection");
    return E_NOTIMPL;
  }
  bool OffersLog;
};

bool IsReport(const TConnection& log, size_t index, WORD code, const wchar_t* text) {
  if (log.Reports.size() <= index) return false;
  const TReport& r = log.Reports[index];
  return r.Code == code && r.Source == L"Scholion" && r.Description == text && r.NullPropName;
}

using TCanUnload = HRESULT(WINAPI*)();
using TGetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// --- The version block of the file ---

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
  const std::wstring key = std::wstring(L"\\StringFileInfo\\041904E3\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || !value) return L"<missing>";
  return static_cast<const wchar_t*>(value);
}

void CheckVersionBlock(const std::wstring& dll) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &handle);
  if (!CHECK(size > 0)) return;
  std::vector<BYTE> block(size);
  if (!CHECK(GetFileVersionInfoW(dll.c_str(), 0, size, block.data()))) return;

  void* value = nullptr;
  UINT length = 0;
  if (CHECK(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4)) {
    const WORD* translation = static_cast<const WORD*>(value);
    CHECK(translation[0] == 0x0419);
    CHECK(translation[1] == 0x04E3);
  }
  CHECK(VersionString(block, L"FileVersion") == L"1.0.0.30");
  CHECK(VersionString(block, L"ProductVersion") == L"1.0.0.0");
  CHECK(VersionString(block, L"FileDescription") == L"Q9 Scholion");
  CHECK(VersionString(block, L"InternalName") == L"" KALAMOS_DLL_BASE);
  CHECK(VersionString(block, L"OriginalFilename") == KALAMOS_DLL_FILE_W);

  if (CHECK(VerQueryValueW(block.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO))) {
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    CHECK(fixed->dwSignature == 0xFEEF04BD);
    CHECK(fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 30);
    CHECK(fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 30);
    CHECK(fixed->dwFileFlagsMask == 0x3F);
    CHECK(fixed->dwFileFlags == 0x0A);
    CHECK(fixed->dwFileOS == VOS__WINDOWS32);
    CHECK(fixed->dwFileType == VFT_DLL);
  }
}

// --- The registry, read the way COM reads it ---

void CheckRegistryValue(const std::wstring& key, const std::wstring& expected) {
  HKEY handle = nullptr;
  if (!Check(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS, __LINE__,
             "registry key present"))
    return;
  wchar_t data[1024] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(data) - sizeof(wchar_t);
  const LONG status = RegQueryValueExW(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  DWORD values = 0;
  RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(handle);
  CHECK(status == ERROR_SUCCESS);
  CHECK(type == REG_SZ);
  CHECK(std::wstring(data) == expected);
  // The stored length counts the terminating zero.
  CHECK(bytes == (expected.size() + 1) * sizeof(wchar_t));
  CHECK(values == 1);
}

void CheckRegistry(const std::wstring& dll) {
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + ClsidText;
  const std::wstring module = dll.find(L' ') != std::wstring::npos ? L"\"" + dll + L"\"" : dll;
  CheckRegistryValue(clsidKey, L"Q9Scholion");
  CheckRegistryValue(clsidKey + L"\\InprocServer32", module);
  CheckRegistryValue(L"AddIn.kalamos", L"Q9Scholion");
  CheckRegistryValue(L"AddIn.kalamos\\Clsid", ClsidText);
  CheckRegistryValue(clsidKey + L"\\ProgID", L"AddIn.kalamos");
}

// --- IScriptAugment as the host's script engine asks it ---

// What the DLL must answer for each function: the function table, seen from outside.
struct TExpected {
  const wchar_t* English;
  const wchar_t* Russian;
  LONG Params;
};

const TExpected Methods[] = {
#define KALAMOS_FUNCTION(Id, Number, English, Russian, Params, Named, Slot, DefaultAt, Default, Handler) \
  {L"" English, L"" Russian, Params},
#include "methods/Functions.def"
};

LONG Find(IScriptAugment* augment, const wchar_t* name) {
  BSTR text = SysAllocString(name);
  LONG number = 777;
  Check(augment->FindMethod(text, &number) == S_OK, __LINE__, "FindMethod answers S_OK");
  SysFreeString(text);
  return number;
}

std::wstring MethodName(IScriptAugment* augment, LONG number, LONG alias) {
  BSTR name = nullptr;
  if (augment->GetMethodName(number, alias, &name) != S_OK) return L"<refused>";
  std::wstring out = FromBstr(name);
  SysFreeString(name);
  return out;
}

DATE TodayAtMidnight() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wHour = now.wMinute = now.wSecond = now.wMilliseconds = 0;
  DATE date = 0;
  SystemTimeToVariantTime(&now, &date);
  return date;
}

void CheckSurface(IScriptAugment* augment) {
  BSTR extension = nullptr;
  CHECK_HR(S_OK, augment->RegisterExtensionAs(&extension));
  CHECK(FromBstr(extension) == L"Ostrak");
  SysFreeString(extension);

  LONG count = -1;
  CHECK_HR(S_OK, augment->GetNMethods(&count));
  CHECK(count == MethodCount);
  for (LONG i = 0; i < MethodCount; ++i) {
    CHECK(MethodName(augment, i, 0) == Methods[i].English);
    CHECK(MethodName(augment, i, 1) == Methods[i].Russian);
    CHECK(Find(augment, Methods[i].English) == i);
    CHECK(Find(augment, Methods[i].Russian) == i);
    LONG params = -1;
    CHECK_HR(S_OK, augment->GetNParams(i, &params));
    CHECK(params == Methods[i].Params);
    BOOL hasValue = FALSE;
    CHECK_HR(S_OK, augment->HasRetVal(i, &hasValue));
    CHECK(hasValue == TRUE);
    SAFEARRAY* none = nullptr;
    CHECK_HR(E_FAIL, augment->CallAsProc(i, &none));
  }
  CHECK(MethodName(augment, MethodEnumValues, 2) == L"ЗначенияПеречисления");
  BSTR untouched = nullptr;
  CHECK_HR(S_FALSE, augment->GetMethodName(MethodCount, 0, &untouched));
  CHECK(untouched == nullptr);
  LONG params = 55;
  CHECK_HR(S_FALSE, augment->GetNParams(-1, &params));
  CHECK(params == 55);
  BOOL hasValue = 3;
  CHECK_HR(S_FALSE, augment->HasRetVal(MethodCount, &hasValue));
  CHECK(hasValue == 3);
  CHECK_HR(S_FALSE, augment->CallAsProc(MethodCount, nullptr));

  // Case-blind matching of any piece: Cyrillic upper-casing needs ANSI code page 1251.
  CHECK(Find(augment, L"загрузить") == MethodLoad);
  CHECK(Find(augment, L"LOAD;ЗАГРУЗИТЬ") == MethodLoad);
  CHECK(Find(augment, L"d;З") == MethodLoad);
  CHECK(Find(augment, L"Enum") == MethodEnumDocHead);
  CHECK(Find(augment, L"EnumValCount") == MethodEnumValCount);
  CHECK(Find(augment, L"EnumVal") == MethodEnumValues);
  CHECK(Find(augment, L"реквизит") == MethodHasAttr);
  CHECK(Find(augment, L"Ref") == MethodEnumRef);
  CHECK(Find(augment, L"NoSuchFunction") == -1);
  CHECK(Find(augment, L"") == -1);

  const struct {
    LONG Method;
    LONG Param;
    HRESULT Result;
    VARTYPE Type;
  } defaults[] = {{MethodGetAttr, 3, S_OK, VT_DATE},      {MethodSetAttr, 3, S_OK, VT_DATE},
                  {MethodEnumDocTable, 6, S_OK, VT_BSTR}, {MethodLoad, 0, S_OK, VT_EMPTY},
                  {MethodSetAttr, 4, S_FALSE, VT_EMPTY},  {MethodEnumRegDim, 2, S_OK, VT_EMPTY},
                  {MethodCount, 0, S_FALSE, VT_EMPTY}};
  for (const auto& d : defaults) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = 99;
    const DATE before = TodayAtMidnight();
    CHECK(augment->GetParamDefValue(d.Method, d.Param, &value) == d.Result);
    const DATE after = TodayAtMidnight();
    CHECK(value.vt == d.Type);
    if (value.vt == VT_DATE) CHECK(value.date == before || value.date == after);
    if (value.vt == VT_BSTR) CHECK(value.bstrVal == nullptr);
    VariantClear(&value);
  }

  LONG props = -1;
  CHECK_HR(S_OK, augment->GetNProps(&props));
  CHECK(props == 0);
  BSTR propName = SysAllocString(L"Any");
  LONG propNumber = 0;
  CHECK_HR(S_FALSE, augment->FindProp(propName, &propNumber));
  CHECK(propNumber == -1);
  CHECK_HR(S_FALSE, augment->GetPropName(0, 0, &propName));
  CHECK(propName == nullptr);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  CHECK_HR(S_FALSE, augment->GetPropVal(0, &value));
  CHECK(value.vt == VT_EMPTY);
  CHECK_HR(S_FALSE, augment->SetPropVal(0, &value));
  BOOL flag = 9;
  CHECK_HR(S_FALSE, augment->IsPropReadable(0, &flag));
  CHECK_HR(S_FALSE, augment->IsPropWritable(0, &flag));
  CHECK(flag == 9);
}

// A script call as the host makes it: one array element per parameter.
HRESULT CallFunction(IScriptAugment* augment, LONG number, VARIANT& result, const wchar_t* firstParam) {
  LONG params = 0;
  augment->GetNParams(number, &params);
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(params));
  VARIANT first;
  VariantInit(&first);
  first.vt = VT_BSTR;
  first.bstrVal = SysAllocString(firstParam);
  LONG index = 0;
  SafeArrayPutElement(array, &index, &first);
  VariantClear(&first);
  const HRESULT hr = augment->CallAsFunc(number, &result, &array);
  SafeArrayDestroy(array);
  return hr;
}

// --- The object's life with the host ---

void CheckObject(IInitDone* initDone, TCanUnload canUnload) {
  IScriptAugment* augment = nullptr;
  if (!CHECK_HR(S_OK, initDone->QueryInterface(IID_IScriptAugment, reinterpret_cast<void**>(&augment)))) return;
  IUnknown* one = nullptr;
  IUnknown* two = nullptr;
  CHECK_HR(S_OK, initDone->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&one)));
  CHECK_HR(S_OK, augment->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&two)));
  CHECK(one != nullptr && one == two);
  if (one) one->Release();
  if (two) two->Release();
  // Automation clients get the same object; a stranger interface is refused.
  IDispatch* dispatch = nullptr;
  CHECK_HR(S_OK, augment->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
  IUnknown* three = nullptr;
  if (dispatch) {
    CHECK_HR(S_OK, dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&three)));
    CHECK(three != nullptr && three == one);
    if (three) three->Release();
    dispatch->Release();
  }
  void* refused = &one;
  CHECK_HR(E_NOINTERFACE, augment->QueryInterface(IID_IErrorLog, &refused));
  CHECK(refused == nullptr);
  IPropertyPage* page = nullptr;
  CHECK_HR(S_OK, initDone->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page)));
  if (page) page->Release();

  CHECK_HR(S_FALSE, canUnload());

  TConnection host(true);
  CHECK_HR(S_OK, initDone->Init(host.Dispatch()));
  CHECK(host.Refs == 1);
  CheckSurface(augment);

  SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  CHECK_HR(S_OK, initDone->GetInfo(&info));
  VARIANT element;
  VariantInit(&element);
  LONG index = 0;
  SafeArrayGetElement(info, &index, &element);
  CHECK(element.vt == VT_BSTR && FromBstr(element.bstrVal) == L"1000");
  VariantClear(&element);
  SafeArrayDestroy(info);

  // Before Load every other function is refused with a report to the host's log.
  VARIANT result;
  VariantInit(&result);
  result.vt = VT_I4;
  result.lVal = 77;
  CHECK_HR(E_FAIL, CallFunction(augment, MethodEnumObjects, result, L"Document"));
  CHECK(result.vt == VT_I4 && result.lVal == 77);
  CHECK(host.Reports.size() == 1);
  CHECK(IsReport(host, 0, 1006, L"Компонента не инициализированна"));
  CHECK_HR(E_FAIL, CallFunction(augment, MethodLoad, result, L"C:\\no such base\\"));
  CHECK(host.Reports.size() == 2);
  CHECK(IsReport(host, 1, 1006, L"Ошибка при инициализации компоненты"));

  CHECK_HR(S_OK, initDone->Done());
  CHECK(host.Refs == 0);
  CHECK_HR(S_OK, initDone->Done());

  // A connection without a log: Init says so, the object still works, reports are lost.
  TConnection silent(false);
  CHECK_HR(E_NOINTERFACE, initDone->Init(silent.Dispatch()));
  CHECK(silent.Refs == 0);
  CHECK_HR(E_FAIL, CallFunction(augment, MethodEnumObjects, result, L"Document"));
  CHECK(host.Reports.size() == 2);
  LONG number = -5;
  CHECK_HR(S_OK, augment->GetNMethods(&number));
  CHECK(number == MethodCount);

  // Init again after Done: the newest connection's log takes the reports.
  TConnection next(true);
  CHECK_HR(S_OK, initDone->Init(next.Dispatch()));
  CHECK_HR(E_FAIL, CallFunction(augment, MethodHasAttr, result, L"x"));
  CHECK(IsReport(next, 0, 1006, L"Компонента не инициализированна"));
  CHECK(host.Reports.size() == 2);
  CHECK_HR(S_OK, initDone->Done());
  CHECK(next.Refs == 0);

  augment->Release();
}

void CheckFactory(TGetClassObject getClassObject, TCanUnload canUnload) {
  IClassFactory* factory = nullptr;
  void* out = &factory;
  CHECK_HR(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IErrorLog, IID_IClassFactory, &out));
  CHECK(out == nullptr);

  if (!CHECK_HR(S_OK, CoGetClassObject(ExpectedClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory))))
    return;
  CHECK_HR(S_FALSE, canUnload());

  out = &factory;
  CHECK_HR(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IErrorLog, &out));
  CHECK(out == nullptr);
  IUnknown* outer = factory;
  out = &factory;
  CHECK_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &out));
  CHECK(out == nullptr);

  // Every request makes a new, independent object.
  IInitDone* first = nullptr;
  IInitDone* second = nullptr;
  CHECK_HR(S_OK, factory->CreateInstance(nullptr, IID_IInitDone, reinterpret_cast<void**>(&first)));
  CHECK_HR(S_OK, factory->CreateInstance(nullptr, IID_IInitDone, reinterpret_cast<void**>(&second)));
  if (first && second) {
    CHECK(first != second);
    TConnection firstLog(true);
    TConnection secondLog(true);
    CHECK_HR(S_OK, first->Init(firstLog.Dispatch()));
    CHECK_HR(S_OK, second->Init(secondLog.Dispatch()));
    IScriptAugment* augment = nullptr;
    if (CHECK_HR(S_OK, second->QueryInterface(IID_IScriptAugment, reinterpret_cast<void**>(&augment)))) {
      VARIANT result;
      VariantInit(&result);
      CHECK_HR(E_FAIL, CallFunction(augment, MethodSbKindType, result, L"x"));
      augment->Release();
    }
    CHECK(firstLog.Reports.empty());
    CHECK(secondLog.Reports.size() == 1);
    first->Done();
    second->Done();
  }
  if (first) first->Release();
  if (second) second->Release();

  // A lock holds the server past the factory's last reference.
  CHECK_HR(S_OK, factory->LockServer(TRUE));
  factory->Release();
  CHECK_HR(S_FALSE, canUnload());
  factory = nullptr;
  if (CHECK_HR(S_OK, getClassObject(ExpectedClsid, IID_IUnknown, reinterpret_cast<void**>(&factory)))) {
    CHECK_HR(S_OK, factory->LockServer(FALSE));
    CHECK_HR(S_FALSE, canUnload());
    factory->Release();
  }
  CHECK_HR(S_OK, canUnload());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: shell_e2e_client <path of the registered kalamos.dll>\n");
    return 2;
  }
  wchar_t dllPath[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, dllPath, MAX_PATH);
  const std::wstring dll = dllPath;

  // The names must come through code page 1251, as on a Russian system.
  CHECK(GetACP() == 1251);
  CheckVersionBlock(dll);
  CheckRegistry(dll);

  if (FAILED(CoInitialize(nullptr))) {
    std::printf("CoInitialize failed\n");
    return 1;
  }
  CLSID clsid = {};
  CHECK_HR(S_OK, CLSIDFromProgID(L"AddIn.kalamos", &clsid));
  CHECK(IsEqualCLSID(clsid, ExpectedClsid));

  IInitDone* initDone = nullptr;
  if (CHECK_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone,
                                      reinterpret_cast<void**>(&initDone)))) {
    HMODULE module = GetModuleHandleW(KALAMOS_DLL_FILE_W);
    CHECK(module != nullptr);
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(module, loaded, MAX_PATH);
    CHECK(lstrcmpiW(loaded, dll.c_str()) == 0);
    auto canUnload = reinterpret_cast<TCanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    auto getClassObject = reinterpret_cast<TGetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    CHECK(GetProcAddress(module, "DllRegisterServer") != nullptr);
    CHECK(GetProcAddress(module, "DllUnregisterServer") != nullptr);
    CHECK(GetProcAddress(module, "DllInstall") != nullptr);
    if (CHECK(canUnload != nullptr && getClassObject != nullptr)) {
      CheckObject(initDone, canUnload);
      CHECK(initDone->Release() == 0);
      CHECK_HR(S_OK, canUnload());
      CheckFactory(getClassObject, canUnload);
    }
  }
  CoUninitialize();

  std::printf("%d passed, %d failed\n", Passed, Failed);
  return Failed == 0 ? 0 : 1;
}
