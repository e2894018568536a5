// The program's entry on Windows (wWinMain, Unicode): initialises OLE for the WebBrowser
// controls, builds the window and the platform services, hands them to the core's start-up
// routine, and lets the core run the program until it ends.
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
  const bool ran = plq::Module1::Main(form).ok() && plq::Module1::Run(form).ok();
  window->set_form(nullptr);
  return ran ? 0 : 1;
}
