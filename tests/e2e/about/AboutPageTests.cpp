// The About page of the real kalamos.dll, driven as a property frame drives it: the DLL is
// loaded from beside this program and its class factory asked directly, no registration.
//
//   about_page_tests [gtest options]      the tests (need a display: run under xvfb-run)
//   about_page_tests --show-frame SECONDS  opens the system's property frame with our page,
//                                          prints "frame X Y W H" and closes it after SECONDS
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include "Version.h"

namespace {

// {6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}, as a host knows the component.
const CLSID ClsidOstrak = {0x6E1A3D52, 0x9C47, 0x4B0E, {0x8F, 0x21, 0x5A, 0x7C, 0x3B, 0x9D, 0x0E, 0x14}};
constexpr int VersionControlId = 301;
constexpr int AboutDialogId = 401;

std::wstring ProgramDir() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring dir(path, length);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

void PumpMessages() {
  for (int round = 0; round < 5; ++round) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// The one page dialog the component put under a parent window, or null.
HWND PageUnder(HWND parent) { return FindWindowExW(parent, nullptr, L"#32770", nullptr); }

// A page site that expects nothing but to be held: any real call is a fault of the page.
class TestSite : public IPropertyPageSite {
public:
  LONG References = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
      *object = static_cast<IPropertyPageSite*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override { return --References; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return Unexpected("OnStatusChange"); }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return Unexpected("GetLocaleID"); }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return Unexpected("GetPageContainer"); }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return Unexpected("TranslateAccelerator"); }

private:
  HRESULT Unexpected(const char* name) {
    ADD_FAILURE() << "the page called its site's " << name;
    return E_NOTIMPL;
  }
};

// The DLL under some file name, with its class factory; unloaded at the end.
class LoadedComponent {
public:
  explicit LoadedComponent(const std::wstring& path) {
    Module = LoadLibraryW(path.c_str());
    if (Module == nullptr) return;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(Module, "DllGetClassObject")));
    if (get != nullptr) get(ClsidOstrak, IID_IClassFactory, reinterpret_cast<void**>(&Factory));
  }
  ~LoadedComponent() {
    if (Factory != nullptr) Factory->Release();
    if (Module != nullptr) FreeLibrary(Module);
  }
  LoadedComponent(const LoadedComponent&) = delete;
  LoadedComponent& operator=(const LoadedComponent&) = delete;

  IPropertyPage* NewPage() const {
    IPropertyPage* page = nullptr;
    if (Factory != nullptr)
      Factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page));
    return page;
  }

  HMODULE Module = nullptr;
  IClassFactory* Factory = nullptr;
};

// A visible top-level window for the pages to live in, with an edit box to hold the focus.
// One for the whole run: Wine without a window manager waits two seconds for every visible
// top-level window that goes away.
struct HostWindow {
  HWND Window = nullptr;
  HWND Edit = nullptr;
};

const HostWindow& Host() {
  static HostWindow host = [] {
    HostWindow made;
    made.Window = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  600, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    made.Edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 400, 420, 100,
                                24, made.Window, nullptr, GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
    return made;
  }();
  return host;
}

// Pages a failed test left behind must not be found by the next one.
void ClearHost() {
  while (HWND page = PageUnder(Host().Window)) DestroyWindow(page);
}

class AboutPage : public testing::Test {
protected:
  static void SetUpTestSuite() { Component = new LoadedComponent(ProgramDir() + KALAMOS_DLL_FILE_W); }
  static void TearDownTestSuite() {
    delete Component;
    Component = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(Component->Module, nullptr) << KALAMOS_DLL_FILE " must lie beside this program";
    ASSERT_NE(Component->Factory, nullptr);
    Page = Component->NewPage();
    ASSERT_NE(Page, nullptr);
  }
  void TearDown() override {
    if (Page != nullptr) {
      EXPECT_EQ(Page->Release(), 0u);
    }
    ClearHost();
  }

  static LoadedComponent* Component;
  IPropertyPage* Page = nullptr;
  const HostWindow& Host = ::Host();
};

LoadedComponent* AboutPage::Component = nullptr;

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Pixel size of dialog 401 as the dialog manager lays it out with the dialog's own font.
SIZE DialogPixels(HMODULE module) {
  HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(AboutDialogId), GetDesktopWindow(),
                                   QuietDialog, 0);
  EXPECT_NE(dialog, nullptr);
  RECT rect{0, 0, 199, 153};
  MapDialogRect(dialog, &rect);
  DestroyWindow(dialog);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

TEST_F(AboutPage, PageInfoIsTitledAndSizedByTheSite) {
  PROPPAGEINFO info;
  std::memset(&info, 0xCC, sizeof info);
  ASSERT_EQ(Page->GetPageInfo(&info), S_OK);
  ASSERT_NE(info.pszTitle, nullptr);
  EXPECT_STREQ(info.pszTitle, L"Scholion");
  EXPECT_EQ(info.size.cx, 0);
  EXPECT_EQ(info.size.cy, 0);
  EXPECT_EQ(info.pszDocString, nullptr);
  EXPECT_EQ(info.pszHelpFile, nullptr);
  EXPECT_EQ(info.dwHelpContext, 0u);
  CoTaskMemFree(info.pszTitle);

  TestSite site;
  EXPECT_EQ(Page->SetPageSite(&site), S_OK);
  EXPECT_EQ(site.References, 2);
  ASSERT_EQ(Page->GetPageInfo(&info), S_OK);
  CoTaskMemFree(info.pszTitle);
  SIZE expected = DialogPixels(Component->Module);
  EXPECT_GT(expected.cx, 199);
  EXPECT_EQ(info.size.cx, expected.cx);
  EXPECT_EQ(info.size.cy, expected.cy);

  // A withdrawn site is let go; withdrawing again is harmless and keeps the measurement.
  EXPECT_EQ(Page->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(site.References, 1);
  EXPECT_EQ(Page->SetPageSite(nullptr), S_OK);
  ASSERT_EQ(Page->GetPageInfo(&info), S_OK);
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(info.size.cx, expected.cx);

  EXPECT_EQ(Page->GetPageInfo(nullptr), E_POINTER);
}

TEST_F(AboutPage, FinalReleaseLetsTheSiteGo) {
  TestSite site;
  ASSERT_EQ(Page->SetPageSite(&site), S_OK);
  ASSERT_EQ(Page->SetPageSite(&site), S_OK);
  EXPECT_EQ(site.References, 2);
  EXPECT_EQ(Page->Release(), 0u);
  Page = nullptr;
  EXPECT_EQ(site.References, 1);
}

TEST_F(AboutPage, ReadOnlyPageRefusesEditingAndInactiveCalls) {
  EXPECT_EQ(Page->IsPageDirty(), S_FALSE);
  IUnknown* objects[1] = {Page};
  EXPECT_EQ(Page->SetObjects(1, objects), E_NOTIMPL);
  EXPECT_EQ(Page->Apply(), E_NOTIMPL);
  EXPECT_EQ(Page->Help(L"C:\\"), E_NOTIMPL);
  MSG message{};
  EXPECT_EQ(Page->TranslateAccelerator(&message), E_NOTIMPL);

  RECT rect{0, 0, 100, 100};
  EXPECT_EQ(Page->Deactivate(), E_UNEXPECTED);
  EXPECT_EQ(Page->Show(SW_SHOW), E_UNEXPECTED);
  EXPECT_EQ(Page->Move(&rect), S_OK);
  EXPECT_EQ(PageUnder(Host.Window), nullptr);
  EXPECT_EQ(Page->Activate(Host.Window, nullptr, TRUE), E_POINTER);
  EXPECT_EQ(PageUnder(Host.Window), nullptr);
}

TEST_F(AboutPage, ActivePageShowsTheFileVersionWhereItIsPut) {
  RECT rect{10, 20, 410, 340};
  ASSERT_EQ(Page->Activate(Host.Window, &rect, TRUE), S_OK);
  HWND window = PageUnder(Host.Window);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window)) << "the page waits for Show";

  RECT placed;
  GetWindowRect(window, &placed);
  MapWindowPoints(nullptr, Host.Window, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right, 410);
  EXPECT_EQ(placed.bottom, 340);

  EXPECT_EQ(WindowText(GetDlgItem(window, VersionControlId)), L"1.0.0.30");
  EXPECT_NE(FindWindowExW(window, nullptr, L"Static", L"Версия:"), nullptr);

  // A second activation leaves the first page alone.
  EXPECT_EQ(Page->Activate(Host.Window, &rect, TRUE), E_UNEXPECTED);
  EXPECT_EQ(PageUnder(Host.Window), window);
  EXPECT_EQ(FindWindowExW(Host.Window, window, L"#32770", nullptr), nullptr);

  RECT moved{30, 40, 330, 290};
  EXPECT_EQ(Page->Move(&moved), S_OK);
  GetWindowRect(window, &placed);
  MapWindowPoints(nullptr, Host.Window, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 30);
  EXPECT_EQ(placed.bottom, 290);
  EXPECT_EQ(Page->IsPageDirty(), S_FALSE);

  EXPECT_EQ(Page->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Page->Deactivate(), E_UNEXPECTED);
  EXPECT_EQ(Page->Show(SW_SHOW), E_UNEXPECTED);

  // The page can be opened again after it was closed.
  ASSERT_EQ(Page->Activate(Host.Window, &rect, TRUE), S_OK);
  EXPECT_NE(PageUnder(Host.Window), nullptr);
  EXPECT_EQ(Page->Deactivate(), S_OK);
}

TEST_F(AboutPage, ShowTakesTheFocusOnlyWhenAskedTo) {
  RECT rect{0, 0, 400, 320};
  ASSERT_EQ(Page->Activate(Host.Window, &rect, TRUE), S_OK);
  HWND window = PageUnder(Host.Window);
  ASSERT_NE(window, nullptr);
  SetFocus(Host.Edit);
  PumpMessages();
  ASSERT_EQ(GetFocus(), Host.Edit);

  EXPECT_EQ(Page->Show(SW_SHOWNA), S_OK);
  PumpMessages();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetFocus(), Host.Edit);

  EXPECT_EQ(Page->Show(SW_SHOW), S_OK);
  PumpMessages();
  HWND focus = GetFocus();
  EXPECT_TRUE(focus == window || IsChild(window, focus)) << "focus is on " << focus;

  EXPECT_EQ(Page->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(Page->Deactivate(), S_OK);
}

// A copy of the DLL under another name still opens its page, from its own resources, but
// finds no module called kalamos and so shows no version.
TEST(AboutPageRenamed, CopyShowsABlankVersion) {
  ASSERT_EQ(GetModuleHandleW(KALAMOS_DLL_FILE_W), nullptr) << "the original must not be loaded here";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + L"kalamos-about-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring copy = dir + L"\\scholion.dll";
  ASSERT_TRUE(CopyFileW((ProgramDir() + KALAMOS_DLL_FILE_W).c_str(), copy.c_str(), FALSE));
  {
    LoadedComponent component(copy);
    ASSERT_NE(component.Module, nullptr);
    IPropertyPage* page = component.NewPage();
    ASSERT_NE(page, nullptr);
    const HostWindow& host = Host();
    RECT rect{0, 0, 400, 320};
    ASSERT_EQ(page->Activate(host.Window, &rect, TRUE), S_OK);
    HWND window = PageUnder(host.Window);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(window, VersionControlId)), L" ");
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->Release(), 0u);
    ClearHost();
  }
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(dir.c_str());
}

// --- The system's own property frame ---------------------------------------------------

struct FrameWatch {
  int Ticks = 0;
  int CloseAfterTicks = 0;
  HWND Frame = nullptr;
  std::wstring Version;
  std::wstring TabTitle;
  bool Printed = false;
  int StrayWindows = 0;
};
FrameWatch* Watch = nullptr;

BOOL CALLBACK FindVersion(HWND window, LPARAM) {
  if (GetDlgCtrlID(window) == VersionControlId) {
    wchar_t cls[32] = {};
    GetClassNameW(GetParent(window), cls, 32);
    if (std::wstring(cls) == L"#32770") {
      Watch->Version = WindowText(window);
      return FALSE;
    }
  }
  return TRUE;
}

BOOL CALLBACK FindFrame(HWND window, LPARAM) {
  if (IsWindowVisible(window) && GetParent(window) == nullptr) {
    Watch->Version.clear();
    EnumChildWindows(window, FindVersion, 0);
    if (!Watch->Version.empty()) {
      Watch->Frame = window;
      return FALSE;
    }
  }
  return TRUE;
}

// Whatever the frame showed instead of our page must not keep the test waiting.
BOOL CALLBACK CloseWindowOfThread(HWND window, LPARAM) {
  if (IsWindowVisible(window) && GetParent(window) == nullptr) {
    ++Watch->StrayWindows;
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EndDialog(window, IDCANCEL);
  }
  return TRUE;
}

void CALLBACK WatchFrame(HWND, UINT, UINT_PTR, DWORD) {
  ++Watch->Ticks;
  if (Watch->Frame == nullptr) EnumThreadWindows(GetCurrentThreadId(), FindFrame, 0);
  if (Watch->Frame != nullptr && !Watch->Printed) {
    Watch->Printed = true;
    if (HWND tabs = FindWindowExW(Watch->Frame, nullptr, WC_TABCONTROLW, nullptr)) {
      wchar_t text[64] = {};
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 64;
      if (SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) Watch->TabTitle = text;
    }
    RECT rect;
    GetWindowRect(Watch->Frame, &rect);
    std::printf("frame %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    std::fflush(stdout);
  }
  // Close it as a person would; if the frame ignores that, or never showed, end it anyway.
  if (Watch->Frame != nullptr && Watch->Ticks >= Watch->CloseAfterTicks) {
    if (Watch->Ticks == Watch->CloseAfterTicks) PostMessageW(Watch->Frame, WM_COMMAND, IDCANCEL, 0);
    else EndDialog(Watch->Frame, IDCANCEL);
  } else if (Watch->Frame == nullptr && Watch->Ticks > 100) {
    EnumThreadWindows(GetCurrentThreadId(), CloseWindowOfThread, 0);
  }
}

// Shows the system's frame with the component's page and closes it after some ticks.
HRESULT RunFrame(LoadedComponent& component, int closeAfterTicks, FrameWatch& watch) {
  watch.CloseAfterTicks = closeAfterTicks;
  Watch = &watch;
  DWORD cookie = 0;
  HRESULT hr = CoRegisterClassObject(ClsidOstrak, component.Factory, CLSCTX_INPROC_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie);
  if (FAILED(hr)) return hr;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, WatchFrame);
  CLSID pages[1] = {ClsidOstrak};
  hr = OleCreatePropertyFrame(nullptr, 40, 40, L"kalamos", 0, nullptr, 1, pages,
                              MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT), 0,
                              nullptr);
  KillTimer(nullptr, timer);
  CoRevokeClassObject(cookie);
  Watch = nullptr;
  return hr;
}

TEST_F(AboutPage, SystemPropertyFrameShowsThePage) {
  FrameWatch watch;
  ASSERT_EQ(RunFrame(*Component, 3, watch), S_OK);
  ASSERT_NE(watch.Frame, nullptr) << "no frame with our page appeared; windows closed instead: "
                                   << watch.StrayWindows;
  EXPECT_EQ(watch.Version, L"1.0.0.30");
  EXPECT_EQ(watch.TabTitle, L"Scholion");
  EXPECT_FALSE(IsWindow(watch.Frame));
}

}  // namespace

int main(int argc, char** argv) {
  OleInitialize(nullptr);
  int result;
  if (argc == 3 && std::strcmp(argv[1], "--show-frame") == 0) {
    LoadedComponent component(ProgramDir() + KALAMOS_DLL_FILE_W);
    FrameWatch watch;
    int ticks = std::atoi(argv[2]) * 10;
    HRESULT hr = component.Factory ? RunFrame(component, ticks > 0 ? ticks : 50, watch) : E_FAIL;
    result = SUCCEEDED(hr) && watch.Frame != nullptr ? 0 : 1;
    if (result != 0) std::fprintf(stderr, "no frame shown (0x%08lX)\n", static_cast<unsigned long>(hr));
  } else {
    testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  OleUninitialize();
  return result;
}
