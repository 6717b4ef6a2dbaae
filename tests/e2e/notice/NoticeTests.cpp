// The failure notice of GetAttr and SetAttr, shown by the real kalamos.dll on a display:
// a host object refuses a read or a write, the component shows a message box with the
// HRESULT and then writes its report. A CBT hook on this thread reads every box as it
// becomes active and closes it, so nothing waits for a person.
//
//   notice_tests [gtest options]      needs a display: run under xvfb-run
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/Session.h"
#include "tests/support/CallFixture.h"
#include "tests/support/ContainerBuilder.h"
#include "tests/support/MockDispatch.h"
#include "tests/support/TempDir.h"
#include "Version.h"

using namespace kalamos;

namespace {

constexpr DISPID TotalId = 40;
constexpr int BoxTextId = 0xFFFF;

// One window that became active while the hook was set, as it looked at that moment.
struct TBoxSeen {
  std::wstring Text;      // the static control 0xFFFF
  std::wstring Caption;
  HWND Owner = nullptr;
  std::vector<int> Buttons;  // ids of the visible buttons
  size_t ReportsBefore = 0;  // reports the host had received when the box came up
};

std::vector<TBoxSeen>* Seen = nullptr;
TErrorLogSink* WatchedLog = nullptr;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  if (window == nullptr) return L"<none>";
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM list) {
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if (ClassOf(child) == L"Button" && (style & WS_VISIBLE) != 0)
    reinterpret_cast<std::vector<int>*>(list)->push_back(GetDlgCtrlID(child));
  return TRUE;
}

// Boxes recorded and told to close, until they are destroyed: a box activated again is the
// same box, not a second one.
std::vector<HWND> Closing;

LRESULT CALLBACK WatchActivation(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_DESTROYWND) std::erase(Closing, window);
  // Closing a box activates what was active before it, often no window at all; only
  // dialogs are of interest.
  if (code == HCBT_ACTIVATE && Seen != nullptr && ClassOf(window) == L"#32770" &&
      std::find(Closing.begin(), Closing.end(), window) == Closing.end()) {
    TBoxSeen box;
    box.Text = TextOf(GetDlgItem(window, BoxTextId));
    box.Caption = TextOf(window);
    box.Owner = GetWindow(window, GW_OWNER);
    EnumChildWindows(window, CollectButton, reinterpret_cast<LPARAM>(&box.Buttons));
    box.ReportsBefore = WatchedLog != nullptr ? WatchedLog->Reports().size() : 0;
    Seen->push_back(box);
    Closing.push_back(window);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string ProgramDirUtf8() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring dir(path, length);
  dir = dir.substr(0, dir.find_last_of(L"\\/") + 1);
  int size = WideCharToMultiByte(CP_UTF8, 0, dir.c_str(), static_cast<int>(dir.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, dir.c_str(), static_cast<int>(dir.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

// One document kind with head and table attributes; the test reads and writes "Total".
std::string Configuration() {
  std::string text = "{\"Documents\",\r\n{\"120\",\"Invoice\",\"\",\r\n{\"Head Fields\",\r\n";
  text += AttrList("121", "Customer", "S", "20") + ",\r\n";
  text += AttrList("124", "Total", "N", "15", "2") + "},\r\n";
  text += "{\"Table Fields\",\r\n" + AttrList("122", "Amount", "N", "10", "3") + "}}}\r\n}";
  return text;
}

class FailureNotice : public testing::Test {
protected:
  static void SetUpTestSuite() {
    Dir = new TTempDir;
    ASSERT_EQ(S_OK, WriteContainer(*Dir, Configuration()));
    // The caption the system gives a box that was handed no caption of its own.
    std::vector<TBoxSeen> probe;
    HHOOK hook = SetWindowsHookExW(WH_CBT, WatchActivation, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Seen = &probe;
    MessageBoxA(nullptr, "probe", nullptr, MB_OK);
    UnhookWindowsHookEx(hook);
    Seen = nullptr;
    ASSERT_EQ(probe.size(), 1u) << "no message box came up: is there a display?";
    DefaultCaption = new std::wstring(probe[0].Caption);
  }
  static void TearDownTestSuite() {
    delete Dir;
    delete DefaultCaption;
    Dir = nullptr;
    DefaultCaption = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(Dir, nullptr);
    TSessionOptions options;
    options.Source = TComponentSource::Library;
    options.DllPath = ProgramDirUtf8() + KALAMOS_DLL_FILE;
    Host = std::make_unique<TSession>(options);
    ASSERT_EQ(S_OK, Host->Start()) << Host->StartError();
    ASSERT_EQ(S_OK, Host->InitResult());
    ASSERT_TRUE(Host->Load(Dir->Utf8()));
    Host->Log().Clear();
    MakeDocument(Document, "Invoice");
    Document.Knows("TOTAL", TotalId);
    Seen = &Boxes;
    WatchedLog = &Host->Log();
    Hook = SetWindowsHookExW(WH_CBT, WatchActivation, nullptr, GetCurrentThreadId());
    ASSERT_NE(Hook, nullptr);
  }
  void TearDown() override {
    if (Hook != nullptr) UnhookWindowsHookEx(Hook);
    Seen = nullptr;
    WatchedLog = nullptr;
    if (Host) Host->End();
    Host.reset();
    EXPECT_EQ(Document.References(), 1u) << "the component kept a reference to the host object";
  }

  // The script call obj.Method(document, "Total", value); the trailing date is the default.
  TCallOutcome Call(LONG method, TVariant value) {
    TCallOutcome outcome;
    Host->Call(method, {Document.AsParam(), TVariant::Utf8("Total"), value}, outcome);
    return outcome;
  }

  static TTempDir* Dir;
  static std::wstring* DefaultCaption;
  std::unique_ptr<TSession> Host;
  TMockDispatch Document;
  std::vector<TBoxSeen> Boxes;
  HHOOK Hook = nullptr;
};

TTempDir* FailureNotice::Dir = nullptr;
std::wstring* FailureNotice::DefaultCaption = nullptr;

TEST_F(FailureNotice, RefusedReadOrWriteShowsTheResultThenReports) {
  struct {
    const char* Title;
    LONG Method;
    HRESULT Refusal;
    const wchar_t* Notice;
    const wchar_t* Report;
  } cases[] = {
      {"read, member not found", MethodGetAttr, DISP_E_MEMBERNOTFOUND, L"80020003",
       L"Ошибка при получении значения реквизита"},
      {"read, unexpected", MethodGetAttr, E_UNEXPECTED, L"8000FFFF", L"Ошибка при получении значения реквизита"},
      {"write, type mismatch", MethodSetAttr, DISP_E_TYPEMISMATCH, L"80020005",
       L"Ошибка при установке значения реквизита"},
      {"write, access denied", MethodSetAttr, E_ACCESSDENIED, L"80070005", L"Ошибка при установке значения реквизита"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Title);
    Boxes.clear();
    Host->Log().Clear();
    Document.Invokes.clear();
    Document.OnInvoke(TotalId, FailWith(c.Refusal));

    TCallOutcome outcome = Call(c.Method, TVariant::Int(77));
    EXPECT_EQ(outcome.Result, E_FAIL);
    EXPECT_TRUE(outcome.Return.IsInt());
    EXPECT_EQ(outcome.Return.AsInt(), 0);
    ASSERT_GE(outcome.Params.size(), 3u);
    EXPECT_TRUE(outcome.Params[2].IsInt()) << "parameter 3 is left as it was";
    EXPECT_EQ(outcome.Params[2].AsInt(), 77);

    ASSERT_FALSE(Document.Invokes.empty());
    const auto& last = Document.Invokes.back();
    EXPECT_EQ(last.Id, TotalId);
    EXPECT_EQ(last.Flags, c.Method == MethodGetAttr ? DISPATCH_PROPERTYGET : DISPATCH_PROPERTYPUT);

    ASSERT_EQ(Boxes.size(), 1u) << "exactly one notice per refused call";
    const TBoxSeen& box = Boxes[0];
    EXPECT_EQ(box.Text, c.Notice);
    EXPECT_EQ(box.Caption, *DefaultCaption) << "the component gives the box no caption";
    EXPECT_EQ(box.Owner, nullptr);
    EXPECT_EQ(box.Buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.ReportsBefore, 0u) << "the report is written after the box is closed";

    auto reports = Host->Log().TakeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Code, 1002);
    EXPECT_EQ(reports[0].Source, "Scholion");
    EXPECT_EQ(std::wstring(reports[0].WideDescription.begin(), reports[0].WideDescription.end()),
              std::wstring(c.Report));
  }
}

TEST_F(FailureNotice, NoBoxWhenTheHostAnswers) {
  Document.OnInvoke(TotalId, [](const TMockDispatch::TInvoke& call, VARIANT* result) -> HRESULT {
    if (call.Flags == DISPATCH_PROPERTYGET) {
      result->vt = VT_I4;
      result->lVal = 1234;
    } else {
      EXPECT_EQ(call.Args.size(), 1u);
      if (!call.Args.empty()) {
        EXPECT_EQ(call.Args[0].AsInt(), 55);
      }
    }
    return S_OK;
  });

  TCallOutcome read = Call(MethodGetAttr, TVariant::Int(77));
  EXPECT_EQ(read.Result, S_OK);
  EXPECT_EQ(read.Return.AsInt(), 1);
  ASSERT_GE(read.Params.size(), 3u);
  EXPECT_EQ(read.Params[2].AsInt(), 1234);

  TCallOutcome write = Call(MethodSetAttr, TVariant::Int(55));
  EXPECT_EQ(write.Result, S_OK);
  EXPECT_EQ(write.Return.AsInt(), 1);

  EXPECT_EQ(Document.Invokes.size(), 4u) << "Kind and the attribute, for each call";
  EXPECT_TRUE(Boxes.empty()) << "a box came up on success";
  EXPECT_TRUE(Host->Log().Reports().empty());
}

}  // namespace
