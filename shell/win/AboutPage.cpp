// The read-only About page: dialog 401 of our own resources, with the file version of the
// DLL read from its version block when the page opens.
#include <cwchar>
#include <string>
#include <vector>

#include "platform/System.h"
#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "shell/win/ModulePath.h"

namespace kalamos {

namespace {

constexpr int AboutDialogId = 401;
constexpr int VersionControlId = 301;

// The module that holds this code: the DLL in the product, the test program when the core
// is linked into one. The exe's handle would find no dialog 401 when we live in a DLL.
HINSTANCE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// "FileVersion" of the first translation of a file's version block; empty on any failure.
std::wstring FileVersionOf(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};

  void* value = nullptr;
  UINT valueLength = 0;
  // A translation entry is a language and a code page, two WORDs; a shorter value has none.
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &valueLength) ||
      value == nullptr || valueLength < 2 * sizeof(WORD))
    return {};
  const WORD* translation = static_cast<const WORD*>(value);
  DWORD languageAndCodePage = (DWORD(translation[0]) << 16) | translation[1];

  wchar_t key[64];
  swprintf(key, sizeof key / sizeof key[0], L"\\StringFileInfo\\%08lX\\FileVersion",
           static_cast<unsigned long>(languageAndCodePage));
  value = nullptr;
  valueLength = 0;
  if (!VerQueryValueW(block.data(), key, &value, &valueLength) || value == nullptr) return {};
  // The length counts characters, the terminator included when there is one.
  const wchar_t* text = static_cast<const wchar_t*>(value);
  std::wstring version(text, valueLength);
  version.resize(wcsnlen(version.c_str(), version.size()));
  return version;
}

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  // No C++ exception may unwind through the dialog manager.
  try {
    // The version belongs to the module by our name only: a renamed copy shows none.
    HMODULE module = GetModuleHandleA(LoadResourceString(IDS_MODULE_NAME).c_str());
    if (module == nullptr) return FALSE;

    std::wstring version;
    std::wstring path = ModulePath(module);
    if (!path.empty()) version = FileVersionOf(path);
    SetDlgItemTextW(window, VersionControlId, version.c_str());
  } catch (...) {
    SetDlgItemTextW(window, VersionControlId, L"");
  }
  return TRUE;
}

void PlacePage(HWND page, const RECT& rect) {
  SetWindowPos(page, nullptr, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, 0);
}

}  // namespace

HRESULT STDMETHODCALLTYPE TOstrak::SetPageSite(IPropertyPageSite* site) {
  if (site == nullptr) {
    PageSite.Reset();
    return S_OK;
  }
  // Take the new reference first: the host may hand us the site we already hold.
  site->AddRef();
  PageSite.Reset(site);

  // The host asks for the page size before it activates the page: measure a hidden copy.
  HWND probe = CreateDialogParamW(OwnModule(), MAKEINTRESOURCEW(AboutDialogId),
                                  GetDesktopWindow(), nullptr, 0);
  if (probe != nullptr) {
    RECT rect{};
    GetWindowRect(probe, &rect);
    PageWidth = rect.right - rect.left;
    PageHeight = rect.bottom - rect.top;
    DestroyWindow(probe);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (PageWindow != nullptr) return E_UNEXPECTED;
  if (rect == nullptr) return E_POINTER;
  HWND page = CreateDialogParamW(OwnModule(), MAKEINTRESOURCEW(AboutDialogId), parent,
                                 AboutDialogProc, 0);
  if (page == nullptr) return E_OUTOFMEMORY;
  PageWindow = page;
  PlacePage(page, *rect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::Deactivate() {
  if (PageWindow == nullptr) return E_UNEXPECTED;
  DestroyWindow(PageWindow);
  PageWindow = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  *info = PROPPAGEINFO{};
  static const wchar_t title[] = L"Scholion";
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof title));
  // A page with no title would be shown as if all were well; say what went wrong instead.
  if (copy == nullptr) return E_OUTOFMEMORY;
  std::wmemcpy(copy, title, sizeof title / sizeof title[0]);
  info->pszTitle = copy;
  info->size.cx = PageWidth;
  info->size.cy = PageHeight;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::SetObjects(ULONG, IUnknown**) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TOstrak::Show(UINT command) {
  if (PageWindow == nullptr) return E_UNEXPECTED;
  ShowWindow(PageWindow, static_cast<int>(command));
  if (command == SW_SHOW || command == SW_SHOWNORMAL) SetFocus(PageWindow);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  // An inactive page has nothing to move.
  if (PageWindow != nullptr) PlacePage(PageWindow, *rect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TOstrak::IsPageDirty() { return S_FALSE; }

HRESULT STDMETHODCALLTYPE TOstrak::Apply() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TOstrak::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TOstrak::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

}  // namespace kalamos
