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
// started is reported to the user ("无法打开网页" with the address and the reason) and is not
// fatal.
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
  // with a message naming each folder tried and why it failed. A load that fails after writing
  // (a pane that cannot navigate) removes the files again.
  Status Load();
  // Unload handler: removes both page files from where Load wrote them (and the private folder
  // too when that is left empty), reports a file that could not be removed, then opens the exit
  // page maximised. Never cancels the unload. Runs once, and only after a successful load: a
  // window that never loaded wrote nothing and was never shown.
  void Unload();
  // Menu entries "主页" and "关于": both open the home page in a normal window.
  void HomepageClick();
  void AboutClick();

  // The folder the page files were written to; empty before a successful load.
  const std::string& page_folder() const { return page_folder_; }

 private:
  // Module1 reports a failed load through the window's reporter.
  friend class Module1;

  Status LoadOnce();
  // Writes both pages into the first folder that takes them and sets page_folder_; the failure
  // names every folder tried and why it could not be used.
  Status WritePagesToFirstFolder();
  // Undoes a load that cannot go on: the page files and an emptied private folder go.
  void DiscardPages();

  MainWindow& window_;
  ResourceStore& resources_;
  BrowserLauncher& launcher_;
  FailureReporter& reporter_;
  Folders& folders_;
  bool loaded_ = false;
  Status load_status_ = Status::Ok();
  std::string page_folder_;
  bool page_folder_is_private_ = false;
  bool unloaded_ = false;
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
