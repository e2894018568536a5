// The program's entry on Windows (wWinMain, Unicode): initialises OLE for the WebBrowser
// controls, builds the window and the platform services, hands them to the core's start-up
// routine and runs the message loop until the window is closed.
#include <ole2.h>
#include <windows.h>

#include <string>

#include "shell/core/form1.h"
#include "shell/win32/feature_controls.h"
#include "shell/win32/main_window.h"
#include "shell/win32/services.h"
#include "shell/win32/text.h"

namespace {

// OLE on this thread for as long as the program runs; the controls need a single-threaded
// apartment.
class OleScope {
 public:
  OleScope() : result_(OleInitialize(nullptr)) {}
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;
  ~OleScope() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  // Something loaded before us (a shell extension, an injected DLL) may already have put the
  // thread in a multithreaded apartment; the controls still work there through marshalling, so
  // that is no reason to stop.
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// Runs until WM_QUIT, which the window posts once it has been closed, or until GetMessage fails.
int RunMessageLoop(plq::win32::MainWindow& window) {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    if (window.TranslateAccelerator(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  OleScope ole;
  if (!ole.usable()) {
    plq::win32::ShowFailure(
        plq::messages::CannotStart("OleInitialize: " + plq::win32::HresultText(ole.result())));
    return 1;
  }
  // Before the first WebBrowser control: it takes them as it is created.
  for (const std::string& refused : plq::win32::SwitchOnFeatureControls()) {
    OutputDebugStringA(("plqcalc: Feature Control not switched on: " + refused).c_str());
  }
  std::string error;
  std::unique_ptr<plq::win32::MainWindow> window = plq::win32::MainWindow::Create(instance, &error);
  if (!window) {
    plq::win32::ShowFailure(plq::messages::CannotStart(error));
    return 1;
  }
  plq::win32::ResourceStore resources;
  plq::win32::BrowserLauncher launcher;
  plq::win32::FailureReporter reporter(window->boxes());
  plq::win32::Folders folders;
  plq::Form1 form(*window, resources, launcher, reporter, folders);
  window->set_form(&form);
  // A window that cannot be loaded has been reported by the start-up routine already.
  if (!plq::Module1::Main(form).ok()) return 1;
  const int status = RunMessageLoop(*window);
  // The loop also ends without the window being closed: a WM_QUIT posted by someone else, or
  // GetMessage failing. The pages go then too, and no browser starts (after a close this does
  // nothing).
  form.EndSession();
  window->set_form(nullptr);
  return status;
}
