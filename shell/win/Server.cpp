// The in-process server around TOstrak: DLL entry point, the one class factory, the five
// exports, and the registry that self-registration writes to.
#include <new>
#include <string>

#include "platform/Ole.h"
#include "shell/Ostrak.h"
#include "shell/Registration.h"
#include "shell/win/ModulePath.h"

namespace kalamos {
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

// Full path of this DLL, quoted when it holds a blank; empty when it cannot be had whole.
std::wstring QuotedModulePath() {
  std::wstring path = ModulePath(ModuleInstance);
  if (path.find(L' ') != std::wstring::npos) path = L"\"" + path + L"\"";
  return path;
}

// The classes roots named outright rather than through HKEY_CLASSES_ROOT: that merged view
// writes into the person's own classes wherever a key of ours is already there, so a
// machine-wide registration would land per user after a per-user one. Each call works in
// this module's registry view; that is the view of the programs that can load it.
class TWindowsRegistry final : public TClassesRegistry {
public:
  TWriteStatus Write(TClassesRoot root, const TRegistryEntry& entry) override {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(Root(root), Path(entry.Key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
      // REG_SZ counts its terminating zero.
      const DWORD bytes = static_cast<DWORD>((entry.Value.size() + 1) * sizeof(wchar_t));
      status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.Value.c_str()), bytes);
      RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS) return TWriteStatus::Written;
    return status == ERROR_ACCESS_DENIED ? TWriteStatus::Denied : TWriteStatus::Failed;
  }

  void Delete(TClassesRoot root, const WideString& key) override { RegDeleteKeyW(Root(root), Path(key).c_str()); }

  // On 32-bit Windows the flag is ignored and this view itself is asked.
  bool OtherViewHas(TClassesRoot root, const WideString& path) override {
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root(root), Path(path).c_str(), 0, KEY_READ | otherView, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

private:
  static HKEY Root(TClassesRoot root) { return root == TClassesRoot::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
  static std::wstring Path(const WideString& key) { return L"Software\\Classes\\" + key; }
};

}  // namespace
}  // namespace kalamos

#if defined(__GLIBCXX__)
// The static C++ runtime's emergency exception pool (about 19 KB) is freed only here; a
// host that loads and frees the DLL again and again would lose it at every unload.
namespace __gnu_cxx {
void __freeres() noexcept;
}
#endif

// The entry points are the DLL's C names, outside the namespace.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    kalamos::ModuleInstance = instance;
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
  return kalamos::Factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
  return kalamos::TOstrak::LiveObjects() == 0 && kalamos::ServerLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  try {
    kalamos::TWindowsRegistry registry;
    return kalamos::RegisterServer(registry, kalamos::QuotedModulePath());
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
}

STDAPI DllUnregisterServer() {
  try {
    kalamos::TWindowsRegistry registry;
    return kalamos::UnregisterServer(registry);
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
}

// regsvr32 /n /i:user registers for the person alone, /u /n /i:user removes that again.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  try {
    kalamos::TWindowsRegistry registry;
    return kalamos::InstallServer(registry, install != FALSE, commandLine,
                                  install ? kalamos::QuotedModulePath() : std::wstring());
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
}
