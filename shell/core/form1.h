// Form1, the main window's behaviour, and Module1, the program's start-up routine. The backend
// builds the window and calls these handlers; they do the steps in a fixed order.
#ifndef PLQ_SHELL_CORE_FORM1_H_
#define PLQ_SHELL_CORE_FORM1_H_

#include <string>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq {

inline constexpr char kCaption[] = "排卵期计算器";

// Starts the external browser on `address`, returning at once. A browser that cannot be
// started is reported to the user and is not fatal.
void LaunchBrowser(BrowserLauncher& launcher, FailureReporter& reporter, const std::string& address,
                   WindowStyle style);

class Form1 {
 public:
  Form1(MainWindow& window, ResourceStore& resources, BrowserLauncher& launcher,
        FailureReporter& reporter, Folders& folders);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The first touch of the window loads it: both run the load handler first, once.
  Status SetCaption(const std::string& caption);
  Status Show();

  // Load handler: writes both page files (into the application directory when it can be
  // written, otherwise into the first private folder that can), then navigates WebBrowser1 to
  // the calculator page and WebBrowser2 to the side panel page. Runs once; a failure is returned
  // with a message naming each folder tried and why it failed.
  Status Load();
  // Unload handler: removes both page files from where Load wrote them, then opens the exit page
  // maximised. Never cancels the unload.
  void Unload();
  // Menu entries "主页" and "关于": both open the home page in a normal window.
  void HomepageClick();
  void AboutClick();

  // The folder the page files were written to; empty before a successful load.
  const std::string& page_folder() const { return page_folder_; }

 private:
  MainWindow& window_;
  ResourceStore& resources_;
  BrowserLauncher& launcher_;
  FailureReporter& reporter_;
  Folders& folders_;
  bool loaded_ = false;
  Status load_status_ = Status::Ok();
  std::string page_folder_;
};

class Module1 {
 public:
  // The start-up routine: sets the caption (which loads the window) and shows it. When the window
  // cannot be loaded the failure is reported and returned; the caller then exits with a non-zero
  // status instead of running its event loop.
  static Status Main(Form1& form);
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_FORM1_H_
