// The browser panes under Wine, with no page engine (Wine renders no HTML without Gecko): what
// each pane's site answers when a page asks to show a box, the page load failures the pane
// reports from its events, which loads and new windows its events let through, and the control
// going when the pane does (the WebBrowser control, ieframe, runs in full here).
#include "shell/win32/browser_pane.h"

#include <exdispid.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shobjidl.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/core/browser_command.h"
#include "shell/core/form1.h"
#include "shell/win32/pane_events.h"
#include "shell/win32/pane_site.h"
#include "shell/win32/text.h"
#include "tests/core/fakes.h"

namespace plq::win32 {
namespace {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

class RecordingListener final : public PaneListener {
 public:
  void PageLoaded(Pane pane) override { loaded.push_back(pane); }
  void PageLoadFailed(Pane pane, const std::string& detail) override {
    failed.push_back(std::to_string(static_cast<int>(pane)) + " " + detail);
  }
  void Alert(const std::string& message) override { alerts.push_back(message); }
  void NewWindowRequested(Pane, const std::string& address, bool user_gesture) override {
    if (form != nullptr) form->NewWindowRequested(address, user_gesture);
  }

  Form1* form = nullptr;
  std::vector<Pane> loaded;
  std::vector<std::string> failed;
  std::vector<std::string> alerts;
};

int ThreadWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND, LPARAM counter) {
        ++*reinterpret_cast<int*>(counter);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

class OleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override { OleUninitialize(); }
};

using PaneSiteTest = OleTest;

TEST_F(PaneSiteTest, APagesBoxesAreAnsweredByThePanesTrust) {
  // The engine's MessageBox flags: alert() is MB_OK, confirm() MB_OKCANCEL.
  constexpr DWORD kAlert = MB_OK | MB_ICONEXCLAMATION;
  constexpr DWORD kConfirm = MB_OKCANCEL | MB_ICONQUESTION;
  const struct {
    const char* name;
    Trust trust;
    DWORD type;
    LRESULT answer;
    bool shown_as_the_programs;
  } cases[] = {
      {"calculator alert", Trust::kOwnPage, kAlert, IDOK, true},
      {"calculator confirm", Trust::kOwnPage, kConfirm, IDCANCEL, false},
      {"side panel alert", Trust::kForeignContent, kAlert, IDOK, false},
      {"side panel yes/no", Trust::kForeignContent, MB_YESNO, IDCANCEL, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingListener listener;
    ComPtr<PaneSite> site;
    site.Attach(new PaneSite(nullptr, RECT{0, 0, 10, 10}, c.trust, &listener));
    ComPtr<IDocHostShowUI> show_ui;
    ASSERT_EQ(site.As(&show_ui), S_OK);
    const int windows_before = ThreadWindows();
    wchar_t text[] = L"排卵 \"widget\"";
    wchar_t caption[] = L"Message from webpage";
    LRESULT answer = -1;
    // S_OK: the engine shows no box of its own.
    EXPECT_EQ(show_ui->ShowMessage(nullptr, text, caption, c.type, nullptr, 0, &answer), S_OK);
    EXPECT_EQ(answer, c.answer);
    if (c.shown_as_the_programs) {
      EXPECT_THAT(listener.alerts, ElementsAre("排卵 \"widget\""));
    } else {
      EXPECT_THAT(listener.alerts, IsEmpty());
    }
    EXPECT_EQ(ThreadWindows(), windows_before) << "a window appeared";
    // No help of the engine's own either.
    EXPECT_EQ(show_ui->ShowHelp(nullptr, nullptr, 0, 0, POINT{0, 0}, nullptr), S_OK);
    EXPECT_EQ(ThreadWindows(), windows_before) << "a window appeared";
  }
}

TEST_F(PaneSiteTest, OnlyTheSidePanelsScriptErrorsAreKeptQuiet) {
  const GUID doc_host = {
      0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
  const GUID other = {0x1, 0x2, 0x3, {0, 0, 0, 0, 0, 0, 0, 4}};
  RecordingListener listener;
  for (const Trust trust : {Trust::kOwnPage, Trust::kForeignContent}) {
    ComPtr<PaneSite> site;
    site.Attach(new PaneSite(nullptr, RECT{0, 0, 10, 10}, trust, &listener));
    ComPtr<IOleCommandTarget> commands;
    ASSERT_EQ(site.As(&commands), S_OK);
    VARIANT out;
    VariantInit(&out);
    const HRESULT answered = commands->Exec(&doc_host, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out);
    if (trust == Trust::kForeignContent) {
      // Handled (no box), and the widget's scripts keep running.
      EXPECT_EQ(answered, S_OK);
      EXPECT_EQ(out.vt, VT_BOOL);
      EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    } else {
      // The engine's own handling for the program's page.
      EXPECT_EQ(answered, OLECMDERR_E_NOTSUPPORTED);
    }
    EXPECT_EQ(commands->Exec(&other, 1, 0, nullptr, nullptr), OLECMDERR_E_UNKNOWNGROUP);
    EXPECT_EQ(commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr),
              OLECMDERR_E_UNKNOWNGROUP);
  }
}

// An event as the control raises it: `values` first to last, as the event declares them.
class Event {
 public:
  explicit Event(std::vector<VARIANT> values) : arguments_(values.rbegin(), values.rend()) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event() {
    for (VARIANT& argument : arguments_) VariantClear(&argument);
  }
  void Send(IDispatch* sink, DISPID id) {
    DISPPARAMS parameters = {arguments_.data(), nullptr, static_cast<UINT>(arguments_.size()), 0};
    sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
  }

 private:
  std::vector<VARIANT> arguments_;
};

// An event's argument of type `type`, which `fill` gives its value.
template <typename Fill>
VARIANT Argument(VARTYPE type, Fill fill) {
  VARIANT value;
  VariantInit(&value);
  value.vt = type;
  fill(value);
  return value;
}
VARIANT Text(const wchar_t* text) {
  return Argument(VT_BSTR, [text](VARIANT& v) { v.bstrVal = SysAllocString(text); });
}
VARIANT Number(long number) {
  return Argument(VT_I4, [number](VARIANT& v) { v.lVal = number; });
}
VARIANT Flag(bool flag) {
  return Argument(VT_BOOL, [flag](VARIANT& v) { v.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE; });
}
VARIANT Sender(IDispatch* sender) {
  sender->AddRef();
  return Argument(VT_DISPATCH, [sender](VARIANT& v) { v.pdispVal = sender; });
}
VARIANT Out(VARIANT_BOOL* cancel) {
  return Argument(VT_BYREF | VT_BOOL, [cancel](VARIANT& v) { v.pboolVal = cancel; });
}
VARIANT Empty() {
  return Argument(VT_EMPTY, [](VARIANT&) {});
}
// A reference to a value the caller keeps, as the control passes some arguments.
VARIANT Ref(VARIANT* referred) {
  return Argument(VT_BYREF | VT_VARIANT, [referred](VARIANT& v) { v.pvarVal = referred; });
}

TEST(PaneEventsTest, OnlyThePanesOwnPageFailingIsReported) {
  RecordingListener listener;
  ComPtr<PaneEvents> events;
  events.Attach(new PaneEvents(Pane::kWebBrowser2, &listener));
  ComPtr<PaneEvents> frame;  // any other object stands for a frame inside the page
  frame.Attach(new PaneEvents(Pane::kWebBrowser2, nullptr));
  ComPtr<IUnknown> top;
  ASSERT_EQ(events.As(&top), S_OK);
  events->set_top(top.Get());
  const auto reported = [](const std::string& line) { return ElementsAre(line); };
  const struct {
    const char* name;
    IDispatch* sender;
    const wchar_t* address;
    long status;
    ::testing::Matcher<const std::vector<std::string>&> failed;
    bool cancelled;  // no error page of the engine's own
  } cases[] = {
      {"a frame's", frame.Get(), L"http://widget.example.com/", INET_E_RESOURCE_NOT_FOUND,
       IsEmpty(), false},
      {"no page engine", events.Get(), L"file:///C:/x/1.htm", REGDB_E_CLASSNOTREG, IsEmpty(),
       false},
      {"missing file", events.Get(), L"file:///C:/x/1.htm", INET_E_RESOURCE_NOT_FOUND,
       ElementsAre(AllOf(StartsWith("2 file:///C:/x/1.htm: "), HasSubstr("(0x800C0005)"))), true},
      {"web server", events.Get(), L"http://x.example.com/1.htm", 404,
       reported("2 http://x.example.com/1.htm: HTTP 404"), true},
  };
  // NavigateError(pDisp, URL, TargetFrameName, StatusCode, Cancel), as the control raises it.
  const auto send = [&events](const auto& c) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT url = Text(c.address);
    VARIANT status = Number(c.status);
    Event error({Sender(c.sender), Ref(&url), Empty(), Ref(&status), Out(&cancel)});
    error.Send(events.Get(), DISPID_NAVIGATEERROR);
    VariantClear(&url);
    return cancel == VARIANT_TRUE;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    listener.failed.clear();
    EXPECT_EQ(send(c), c.cancelled);
    EXPECT_THAT(listener.failed, c.failed);
  }
  events->Detach();
  listener.failed.clear();
  send(cases[2]);
  EXPECT_THAT(listener.failed, IsEmpty());
}

TEST(PaneEventsTest, EachPaneStaysOnItsPage) {
  ComPtr<PaneEvents> events;
  events.Attach(new PaneEvents(Pane::kWebBrowser1, nullptr));
  ComPtr<PaneEvents> frame;
  frame.Attach(new PaneEvents(Pane::kWebBrowser1, nullptr));
  ComPtr<IUnknown> top;
  ASSERT_EQ(events.As(&top), S_OK);
  events->set_top(top.Get());
  events->ExpectPage("file:///C:/app/%23x/plqclear.htm");
  const struct {
    const char* name;
    IDispatch* sender;
    const wchar_t* address;
    bool cancelled;
  } cases[] = {
      // The control's own spelling of the page the window asked for.
      {"the page", events.Get(), L"file:///C:/app/#x/plqclear.htm", false},
      {"its # link", events.Get(), L"file:///C:/app/#x/plqclear.htm#", false},
      {"asked spelling, fragment", events.Get(), L"file:///C:/app/%23x/plqclear.htm#top", false},
      {"another file", events.Get(), L"file:///C:/Windows/win.ini", true},
      {"a dropped link", events.Get(), L"https://evil.example.com/#x/plqclear.htm", true},
      {"the widget's frame", frame.Get(), L"http://widget.example.com/", false},
      {"a frame to a file", frame.Get(), L"file:///C:/Windows/win.ini", true},
  };
  for (const auto& c : cases) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Event before(
        {Sender(c.sender), Text(c.address), Number(0), Empty(), Empty(), Empty(), Out(&cancel)});
    before.Send(events.Get(), DISPID_BEFORENAVIGATE2);
    EXPECT_EQ(cancel, c.cancelled ? VARIANT_TRUE : VARIANT_FALSE) << c.name;
  }
}

TEST(PaneEventsTest, ANewWindowOpensTheBrowserOnlyForAClickAndNeverInTheControl) {
  testing::EventLog log;
  testing::FakeWindow window(log);
  testing::FakeResources resources(log);
  testing::FakeLauncher launcher(log);
  testing::FakeReporter reporter(log);
  testing::FolderLocks locks;
  testing::FakeFolders folders("", {}, locks, log);
  Form1 form(window, resources, launcher, reporter, folders);
  RecordingListener listener;
  listener.form = &form;
  ComPtr<PaneEvents> events;
  events.Attach(new PaneEvents(Pane::kWebBrowser2, &listener));
  const struct {
    long flags;
    const wchar_t* address;
  } cases[] = {
      {NWMF_USERINITED | NWMF_FIRST, L"https://shop.example.com/item?id=7"},
      {NWMF_USERREQUESTED, L"http://shop.example.com/menu"},
      {0, L"https://shop.example.com/popup"},
      {NWMF_FIRST, L"http://shop.example.com/onload"},
      {NWMF_USERINITED, L"file:///C:/Windows/win.ini"},
  };
  for (const auto& c : cases) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Event new_window({Empty(), Out(&cancel), Number(c.flags), Text(L"http://widget.example.com/"),
                      Text(c.address)});
    new_window.Send(events.Get(), DISPID_NEWWINDOW3);
    EXPECT_EQ(cancel, VARIANT_TRUE) << "the control opened a window of its own";
  }
  EXPECT_THAT(log.events(), ElementsAre("open https://shop.example.com/item?id=7 1 | - -",
                                        "open http://shop.example.com/menu 1 | - -"));
}

TEST(PaneEventsTest, AFileDownloadIsCancelledAndAPageIsNot) {
  ComPtr<PaneEvents> events;
  events.Attach(new PaneEvents(Pane::kWebBrowser2, nullptr));
  for (const bool document : {false, true}) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Event download({Flag(document), Out(&cancel)});
    download.Send(events.Get(), DISPID_FILEDOWNLOAD);
    EXPECT_EQ(cancel, document ? VARIANT_FALSE : VARIANT_TRUE) << document;
  }
}

// A pane needs a parent window, which Wine makes only on a display.
class BrowserPaneTest : public OleTest {
 protected:
  void SetUp() override {
    OleTest::SetUp();
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
    if (parent_ == nullptr) {
      GTEST_SKIP() << "no window can be made here (Wine has no display): the "
                      "windows.pane_events test runs this one on a virtual display";
    }
  }
  void TearDown() override {
    if (parent_ != nullptr) DestroyWindow(parent_);
    OleTest::TearDown();
  }

  HWND parent_ = nullptr;
};

TEST_F(BrowserPaneTest, APageFileThatCannotBeLoadedIsReported) {
  testing::TempDir dir;
  const fs::path present = dir.path() / fs::u8path("程序 #1 100%") / "plqclear.htm";
  fs::create_directories(present.parent_path());
  testing::WriteFile(present, testing::CalculatorBytes());
  const fs::path missing = dir.path() / "gone" / "1.htm";
  RecordingListener listener;
  std::string error;
  auto pane = BrowserPane::Create(parent_, RECT{0, 0, 300, 200}, Pane::kWebBrowser1,
                                  Trust::kOwnPage, listener, &error);
  ASSERT_NE(pane, nullptr) << error;
  ASSERT_TRUE(pane->Navigate(Narrow(present.wstring())).ok());
  ASSERT_TRUE(pane->Navigate(Narrow(missing.wstring())).ok());
  // The control reports in order; the file that is there is never reported.
  const ULONGLONG deadline = GetTickCount64() + 20000;
  while (listener.failed.empty() && GetTickCount64() < deadline) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  ASSERT_EQ(listener.failed.size(), 1u);
  EXPECT_THAT(listener.failed[0], StartsWith("1 " + FileUrl(Narrow(missing.wstring())) + ": "));
  pane.reset();
}

TEST_F(BrowserPaneTest, TheControlIsGoneWhenThePaneLetsItGo) {
  RecordingListener listener;
  std::string error;
  auto pane = BrowserPane::Create(parent_, RECT{0, 0, 300, 200}, Pane::kWebBrowser2,
                                  Trust::kForeignContent, listener, &error);
  ASSERT_NE(pane, nullptr) << error;
  testing::TempDir dir;
  ASSERT_TRUE(pane->Navigate(Narrow((dir.path() / "1.htm").wstring())).ok());
  pane->Focus();
  IWebBrowser2* control = pane->browser();
  control->AddRef();
  pane.reset();
  // The pane held none of it back, and the control none of itself: this was the last one.
  EXPECT_EQ(control->Release(), 0u);
}

}  // namespace
}  // namespace plq::win32
