// The main window `Form1` on Windows: a top-level window with a menu bar of two plain entries and
// the two WebBrowser panes, forwarding its events to the core's Form1 handlers.
#ifndef PLQ_SHELL_WIN32_MAIN_WINDOW_H_
#define PLQ_SHELL_WIN32_MAIN_WINDOW_H_

#include <windows.h>

#include <memory>
#include <string>

#include "shell/core/form1.h"
#include "shell/core/layout.h"
#include "shell/core/platform.h"
#include "shell/win32/browser_pane.h"
#include "shell/win32/services.h"

namespace plq::win32 {

// The menu bar: "主页" (IDM_HOMEPAGE) and "关于" (IDM_ABOUT), plain entries with no submenu.
HMENU CreateMenuBar();

class MainWindow final : public plq::MainWindow, private PaneListener {
 public:
  // Creates the window, hidden, with both panes in place. Returns nothing on failure, with the
  // technical reason in `error`.
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance, std::string* error);

  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  MainWindow(MainWindow&&) = delete;
  MainWindow& operator=(MainWindow&&) = delete;
  ~MainWindow() override;

  // Where the menu and the close request go; set once the core's Form1 exists.
  void set_form(Form1* form) { form_ = form; }
  HWND hwnd() const { return hwnd_; }
  // Every message box of the program while the window lives goes through these.
  MessageBoxes& boxes() { return boxes_; }

  void SetCaption(const std::string& caption) override;
  void Show() override;
  Status Navigate(Pane pane, const std::string& path) override;
  Status RunEventLoop() override;
  void Quit() override;

  // Lets the panes see keystrokes first; true when the window or one of them used the message.
  // F6 and Ctrl+Tab move the keyboard between the panes; F10 always reaches the menu.
  bool TranslateAccelerator(MSG* message);

 private:
  MainWindow() = default;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void DestroyPanes();
  BrowserPane* PaneAt(Pane pane) const;
  // The pane whose control holds `focus`, or nothing.
  BrowserPane* PaneHolding(HWND focus) const;
  void FocusPane(Pane pane);
  // Puts both panes at their places for the window's density, and scales their pages to match.
  void FitPanesToDpi();

  // PaneListener
  void PageLoaded(Pane pane) override;
  void PageLoadFailed(Pane pane, const std::string& detail) override;
  void Alert(const std::string& message) override;
  void NewWindowRequested(Pane pane, const std::string& address, bool user_gesture) override;

  HWND hwnd_ = nullptr;
  Form1* form_ = nullptr;
  MessageBoxes boxes_;
  bool quit_ = false;
  // The user closed the window while a message box was open: it closes once the box has.
  bool close_waiting_ = false;
  // Where the keyboard goes when the window is activated: the calculator, unless the user moved
  // it.
  Pane keyboard_pane_ = Pane::kWebBrowser1;
  // The density of the monitor the window is on, in dots per inch.
  int dpi_ = kBaseDpi;
  std::unique_ptr<BrowserPane> web_browser1_;
  std::unique_ptr<BrowserPane> web_browser2_;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_MAIN_WINDOW_H_
