// The in-process server around TOstrak: DLL entry point, the one class factory, the four
// exports and self-registration under HKEY_CLASSES_ROOT.
#include <new>
#include <string>
#include <vector>

#include "platform/Ole.h"
#include "shell/Ostrak.h"
#include "shell/win/ModulePath.h"

namespace {

HINSTANCE ModuleInstance = nullptr;

// References to the factory held by clients, LockServer(TRUE) included. Calls come on the
// host's one thread, so a plain counter does.
LONG ServerLocks = 0;

class TClassFactory final : public IClassFactory {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // The factory lives as long as the module; its count only tells DllCanUnloadNow.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++ServerLocks); }
  ULONG STDMETHODCALLTYPE Release() override {
    if (ServerLocks > 0) --ServerLocks;
    return static_cast<ULONG>(ServerLocks);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    // One identity per object: nothing to delegate to an outer object.
    if (outer) return CLASS_E_NOAGGREGATION;
    TOstrak* ostrak = new (std::nothrow) TOstrak;
    if (!ostrak) return E_OUTOFMEMORY;
    // The temporary reference destroys the object at once when the interface is refused.
    ostrak->AddRef();
    const HRESULT hr = ostrak->QueryInterface(riid, object);
    ostrak->Release();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      AddRef();
    else
      Release();
    return S_OK;
  }
};

TClassFactory Factory;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case digits, as the registry keeps it.
std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
           static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
           guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

// Full path of this DLL, quoted when it holds a blank; empty when it cannot be had whole.
std::wstring QuotedModulePath() {
  std::wstring path = ModulePath(ModuleInstance);
  if (path.find(L' ') != std::wstring::npos) path = L"\"" + path + L"\"";
  return path;
}

struct TRegistryEntry {
  std::wstring Key;
  std::wstring Value;
};

// The keys in the order they are written; unregistering walks them backwards, which
// deletes every key after its subkeys.
std::vector<TRegistryEntry> RegistryEntries(const std::wstring& modulePath) {
  const std::wstring clsid = GuidText(CLSID_Ostrak);
  const std::wstring clsidKey = L"CLSID\\" + clsid;
  const std::wstring progId = Widen(ProgId);
  const std::wstring description = Widen(ClassDescription);
  return {
      {clsidKey, description},
      {clsidKey + L"\\InprocServer32", modulePath},
      {progId, description},
      {progId + L"\\Clsid", clsid},
      {clsidKey + L"\\ProgID", progId},
  };
}

bool WriteEntry(const TRegistryEntry& entry) {
  if (entry.Value.empty()) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.Key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  // REG_SZ counts its terminating zero.
  const DWORD bytes = static_cast<DWORD>((entry.Value.size() + 1) * sizeof(wchar_t));
  const LONG status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.Value.c_str()), bytes);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// Whether the registry view of the other bitness (64-bit for kalamos.dll, 32-bit for
// kalamos64.dll) has the class's server key. On 32-bit Windows the flag is ignored and
// this view itself is asked.
bool OtherViewHasClass(const std::wstring& serverKey) {
  const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, KEY_READ | otherView, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

}  // namespace

#if defined(__GLIBCXX__)
// The static C++ runtime's emergency exception pool (about 19 KB) is freed only here; a
// host that loads and frees the DLL again and again would lose it at every unload.
namespace __gnu_cxx {
void __freeres() noexcept;
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    ModuleInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
#if defined(__GLIBCXX__)
  // Null reserved: FreeLibrary, the process lives on. At process exit nothing needs freeing.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) __gnu_cxx::__freeres();
#endif
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* object) {
  if (!object) return E_POINTER;
  if (!IsEqualCLSID(rclsid, CLSID_Ostrak)) {
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return Factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return TOstrak::LiveObjects() == 0 && ServerLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  try {
    // The first entry that cannot be written stops us; those before it stay.
    for (const TRegistryEntry& entry : RegistryEntries(QuotedModulePath()))
      if (!WriteEntry(entry)) return E_FAIL;
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  try {
    const std::vector<TRegistryEntry> entries = RegistryEntries(L"-");
    // Missing keys are fine: unregistering twice is not an error. The class keys first,
    // then the ProgID's, but only when no build of the component is left registered: on
    // 64-bit Windows the class keys are kept apart for 32- and 64-bit programs while the
    // ProgID key is one for both, and the other build still needs it.
    const auto deleteKeys = [&](bool classKeys) {
      for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        if ((entry->Key.rfind(L"CLSID\\", 0) == 0) == classKeys) RegDeleteKeyW(HKEY_CLASSES_ROOT, entry->Key.c_str());
    };
    deleteKeys(true);
    if (!OtherViewHasClass(L"CLSID\\" + GuidText(CLSID_Ostrak) + L"\\InprocServer32")) deleteKeys(false);
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
  return S_OK;
}
