// The main window with the plain Win32 API: one window class, the menu from the resources, and
// `this` stored on WM_NCCREATE so the window procedure reaches the object. The window keeps its
// fixed layout: the panes never move when the window is resized.
//
// The program is per-monitor DPI aware (the manifest): the client area and the panes are the
// layout's sizes scaled to the density of the window's monitor, and again whenever the window
// moves to a monitor of another density (WM_DPICHANGED). The pages follow through IE's optical
// zoom rather than DOCHOSTUIFLAG_DPI_AWARE: that flag scales by the system's density, fixed at
// start-up, so a page would stay at the wrong size on a second monitor; the zoom is set per pane
// and changes with the window.
//
// The keyboard is the window's to place: it never keeps it itself but hands it to a pane (the
// calculator when the window opens and after it is activated again, else the pane the user
// moved it to with F6 or Ctrl+Tab). Tab is left to the pane that has it: the window is no
// dialog (no IsDialogMessage), so Tab never carries the keyboard into the other pane.
#include "shell/win32/main_window.h"

#include <type_traits>
#include <utility>

#include "shell/core/layout.h"
#include "shell/core/messages.h"
#include "shell/win32/com_util.h"
#include "shell/win32/resource.h"
#include "shell/win32/text.h"

namespace plq::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"plqcalc.Form1";
constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;

RECT BoundsOf(const PanePlace& place, int dpi) {
  const PanePlace scaled = ScaledPlace(place, dpi);
  return {scaled.x, scaled.y, scaled.x + scaled.width, scaled.y + scaled.height};
}

// A function of user32.dll that older Windows lacks, or nullptr.
template <typename Function>
Function User32Function(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  // Through void (*)(), which converts to any function pointer type without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The density of the window's monitor (Windows 10 1607 and later), or the system's before that.
int DpiOf(HWND hwnd) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi_for_window = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr) {
    const UINT dpi = get_dpi_for_window(hwnd);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

struct MenuDeleter {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, std::string* error) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PLQCALC),
                                                     IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                     GetSystemMetrics(SM_CYICON), LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PLQCALC),
                                                       IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    *error = "RegisterClassExW: " + ErrorText(GetLastError());
    return false;
  }
  return true;
}

// The outer size that gives the fixed client area at `dpi`, placed in the middle of the work
// area.
void PlaceCentred(HWND hwnd, int dpi) {
  RECT client = {};
  RECT outer = {};
  GetClientRect(hwnd, &client);
  GetWindowRect(hwnd, &outer);
  // Measured rather than computed, so a menu bar or border of another height still leaves the
  // client area exactly its size.
  const int width =
      (outer.right - outer.left) + ScaleToDpi(kClientWidth, dpi) - (client.right - client.left);
  const int height =
      (outer.bottom - outer.top) + ScaleToDpi(kClientHeight, dpi) - (client.bottom - client.top);
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + ((work.right - work.left) - width) / 2;
  const int y = work.top + ((work.bottom - work.top) - height) / 2;
  SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

HMENU CreateMenuBar() {
  HMENU menu = CreateMenu();
  if (menu == nullptr) return nullptr;
  if (!AppendMenuW(menu, MF_STRING, IDM_HOMEPAGE, Widen(kHomepageText).c_str()) ||
      !AppendMenuW(menu, MF_STRING, IDM_ABOUT, Widen(kAboutText).c_str())) {
    DestroyMenu(menu);
    return nullptr;
  }
  return menu;
}

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance, std::string* error) {
  if (!RegisterWindowClass(instance, &MainWindow::WindowProc, error)) return nullptr;
  std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter> menu(CreateMenuBar());
  if (!menu) {
    *error = "CreateMenu: " + ErrorText(GetLastError());
    return nullptr;
  }
  RECT outer = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&outer, kStyle, TRUE, kExStyle);

  std::unique_ptr<MainWindow> window(new MainWindow());
  // The caption is set by the start-up routine, which loads the window first.
  if (CreateWindowExW(kExStyle, kWindowClass, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      outer.right - outer.left, outer.bottom - outer.top, nullptr, menu.get(),
                      instance, window.get()) == nullptr) {
    *error = "CreateWindowExW: " + ErrorText(GetLastError());
    return nullptr;
  }
  static_cast<void>(menu.release());  // the window owns it now
  window->boxes_.set_owner(window->hwnd_);
  MainWindow* self = window.get();
  window->boxes_.set_when_closed([self] {
    if (self->close_waiting_ && self->hwnd_ != nullptr) PostMessageW(self->hwnd_, WM_CLOSE, 0, 0);
  });
  window->dpi_ = DpiOf(window->hwnd_);
  PlaceCentred(window->hwnd_, window->dpi_);

  std::string reason;
  window->web_browser1_ =
      BrowserPane::Create(window->hwnd_, BoundsOf(kWebBrowser1Place, window->dpi_),
                          Pane::kWebBrowser1, TrustOf(Pane::kWebBrowser1), *window, &reason);
  if (!window->web_browser1_) {
    *error = std::string(kWebBrowser1Place.name) + ": " + reason;
    return nullptr;
  }
  // The side panel frames a widget from elsewhere.
  window->web_browser2_ =
      BrowserPane::Create(window->hwnd_, BoundsOf(kWebBrowser2Place, window->dpi_),
                          Pane::kWebBrowser2, TrustOf(Pane::kWebBrowser2), *window, &reason);
  if (!window->web_browser2_) {
    *error = std::string(kWebBrowser2Place.name) + ": " + reason;
    return nullptr;
  }
  // What a screen reader says for each pane: the control's window text is the name of its
  // accessible object (measured under Wine: oleacc's client object of the "Shell Embedding"
  // window answers it; UI Automation's proxy for a window without a provider does the same).
  for (const auto& [pane, name] : {std::pair{window->web_browser1_.get(), kCalculatorPaneName},
                                   std::pair{window->web_browser2_.get(), kSidePanelPaneName}}) {
    if (pane->window() != nullptr) SetWindowTextW(pane->window(), Widen(name).c_str());
  }
  return window;
}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  DestroyPanes();
}

void MainWindow::SetCaption(const std::string& caption) {
  SetWindowTextW(hwnd_, Widen(caption).c_str());
}

void MainWindow::Show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

BrowserPane* MainWindow::PaneAt(Pane pane) const {
  return pane == Pane::kWebBrowser1 ? web_browser1_.get() : web_browser2_.get();
}

Status MainWindow::Navigate(Pane pane, const std::string& path) {
  BrowserPane* target = PaneAt(pane);
  if (target == nullptr)
    return Status::Failure("IWebBrowser2::Navigate: " + ErrorText(ERROR_INVALID_HANDLE));
  return target->Navigate(path);
}

Status MainWindow::RunEventLoop() {
  if (quit_) return Status::Ok();
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return Status::Ok();
    if (got == -1) return Status::Failure("GetMessageW: " + ErrorText(GetLastError()));
    if (TranslateAccelerator(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void MainWindow::Quit() {
  // The window itself goes when its owner drops it, after the loop: never from inside a call
  // that a pane or a box is still in. A WM_QUIT also ends an open message box's own loop.
  quit_ = true;
  boxes_.DropWaiting();
  PostQuitMessage(0);
}

BrowserPane* MainWindow::PaneHolding(HWND focus) const {
  for (BrowserPane* pane : {web_browser1_.get(), web_browser2_.get()}) {
    HWND control = pane != nullptr ? pane->window() : nullptr;
    if (control != nullptr && focus != nullptr && (focus == control || IsChild(control, focus))) {
      return pane;
    }
  }
  return nullptr;
}

void MainWindow::FocusPane(Pane pane) {
  keyboard_pane_ = pane;
  if (PaneAt(pane) != nullptr) PaneAt(pane)->Focus();
}

bool MainWindow::TranslateAccelerator(MSG* message) {
  if (message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return false;
  if (hwnd_ == nullptr || (message->hwnd != hwnd_ && !IsChild(hwnd_, message->hwnd))) return false;
  const auto key = static_cast<UINT>(message->wParam);
  if (message->message == WM_KEYDOWN &&
      (key == VK_F6 || (key == VK_TAB && GetKeyState(VK_CONTROL) < 0))) {
    // Two panes: forwards and backwards (Shift) both lead to the other one.
    FocusPane(PaneHolding(GetFocus()) == web_browser1_.get() ? Pane::kWebBrowser2
                                                             : Pane::kWebBrowser1);
    return true;
  }
  // The menu's key goes to the window as it is: a control may keep F10 for itself.
  if (key == VK_F10 || key == VK_MENU) return false;
  for (BrowserPane* pane : {web_browser1_.get(), web_browser2_.get()}) {
    if (pane != nullptr && pane->TranslateAccelerator(message)) return true;
  }
  return false;
}

void MainWindow::FitPanesToDpi() {
  for (const PanePlace& place : kPanePlaces) {
    BrowserPane* target = PaneAt(place.pane);
    if (target == nullptr) continue;
    // Neither can fail with the control in place; a page not loaded yet is zoomed once it is.
    target->Place(BoundsOf(place, dpi_)).IgnoreError();
    target->Zoom(ScaleToDpi(100, dpi_)).IgnoreError();
  }
}

void MainWindow::PageLoaded(Pane pane) {
  // Each new page starts at the engine's own size.
  if (dpi_ != kBaseDpi && PaneAt(pane) != nullptr) {
    PaneAt(pane)->Zoom(ScaleToDpi(100, dpi_)).IgnoreError();
  }
  if (form_ != nullptr) form_->PageLoaded(pane);
}

void MainWindow::PageLoadFailed(Pane pane, const std::string& detail) {
  if (form_ != nullptr) form_->PageLoadFailed(pane, detail);
}

void MainWindow::Alert(const std::string& message) {
  // The page waits until the box is closed, as for the engine's own alert.
  boxes_.Show(message, MB_ICONWARNING);
}

void MainWindow::NewWindowRequested(Pane, const std::string& address, bool user_gesture) {
  if (form_ != nullptr) form_->NewWindowRequested(address, user_gesture);
}

void MainWindow::DestroyPanes() {
  // The controls must leave while their parent window still exists.
  web_browser2_.reset();
  web_browser1_.reset();
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window =
        static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  LRESULT result = 0;
  bool handled = false;
  Guarded("window procedure", [&] {
    result = window->HandleMessage(message, wparam, lparam);
    handled = true;
  });
  return handled ? result : DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == 0 && form_ != nullptr) {
        if (LOWORD(wparam) == IDM_HOMEPAGE) {
          form_->HomepageClick();
          return 0;
        }
        if (LOWORD(wparam) == IDM_ABOUT) {
          form_->AboutClick();
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      // Form1 ends the program once: a second close request while the unload handler shows a
      // message box is no second unload.
      if (form_ == nullptr || form_->ending()) return 0;
      // Unloading inside an open box's loop would stack the unload's own boxes on it: the close
      // waits until the box is answered, and the boxes still waiting are not shown.
      if (boxes_.open()) {
        close_waiting_ = true;
        boxes_.DropWaiting();
        return 0;
      }
      form_->Unload();
      return 0;
    case WM_QUERYENDSESSION:
      // The program never holds up a log-off or shut-down.
      return TRUE;
    case WM_ENDSESSION:
      // The session ends (or an installer's restart manager asks the program to leave): the
      // process may be ended as soon as this returns, so the pages go now. It is not the user
      // closing the window: no browser starts. The program then ends by itself, which also
      // dismisses a message box that was open.
      if (wparam && form_ != nullptr) form_->EndSession();
      return 0;
    case WM_DPICHANGED: {
      // The window moved to a monitor of another density: Windows suggests the rectangle that
      // keeps its place and its size in inches.
      dpi_ = HIWORD(wparam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      if (suggested != nullptr) {
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      FitPanesToDpi();
      return 0;
    }
    case WM_ACTIVATE:
      // Leaving: remember which pane had the keyboard, to give it back on return.
      if (LOWORD(wparam) == WA_INACTIVE) {
        BrowserPane* holder = PaneHolding(GetFocus());
        if (holder != nullptr) {
          keyboard_pane_ = holder == web_browser1_.get() ? Pane::kWebBrowser1 : Pane::kWebBrowser2;
        }
      }
      break;
    case WM_SETFOCUS:
      // Activation gives the window itself the keyboard (DefWindowProc); it goes on to a pane.
      FocusPane(keyboard_pane_);
      return 0;
    case WM_DESTROY:
      // The controls must leave while their parent still exists. Only Form1 ends the program:
      // a window torn down because start-up failed leaves no quit message behind, which would
      // dismiss the error's message box.
      DestroyPanes();
      return 0;
    case WM_NCDESTROY: {
      HWND hwnd = hwnd_;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace plq::win32
