// A COM client on Windows: ole32 for COM itself, the loader for a DLL named by its file, the
// registry and the version resource for what a registered server is.
#include "platform/ComClient.h"

#include <cstdio>

#include "platform/ComPtr.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

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
std::wstring RegisteredServerPath(const OLECHAR* progId) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(progId, &clsid))) return std::wstring();
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

}  // namespace

bool StartCom() { return SUCCEEDED(CoInitialize(nullptr)); }
void StopCom() { CoUninitialize(); }

HRESULT CreateFromLibrary(const std::string& dllPath, REFCLSID clsid, REFIID iid, void** object, void*& module,
                          std::string& message) {
  *object = nullptr;
  std::wstring path = Utf8ToWide(dllPath);
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library) {
    message = "cannot load the library " + dllPath;
    return HRESULT_FROM_WIN32(GetLastError());
  }
  module = library;
  using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto getClassObject = reinterpret_cast<TGetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  if (!getClassObject) {
    message = dllPath + " exports no DllGetClassObject";
    return E_FAIL;
  }
  TComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.OutVoid());
  if (FAILED(hr) || !factory) {
    factory.Abandon();
    message = "DllGetClassObject failed with 0x" + HresultDigits(hr);
    return FAILED(hr) ? hr : E_FAIL;
  }
  return factory->CreateInstance(nullptr, iid, object);
}

void FreeServerLibrary(void* module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

HRESULT ClassOfProgId(const OLECHAR* progId, CLSID& clsid) { return CLSIDFromProgID(progId, &clsid); }

HRESULT CreateInProcess(REFCLSID clsid, REFIID iid, void** object) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

std::string ServerFileVersion(const std::string& dllPath, const OLECHAR* progId) {
  bool com = StartCom();
  std::wstring path = dllPath.empty() ? RegisteredServerPath(progId) : Utf8ToWide(dllPath);
  if (com) StopCom();
  return path.empty() ? std::string() : VersionOfFile(path);
}

}  // namespace kalamos
