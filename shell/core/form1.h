// Form1, the main window's behaviour, and Module1, the program's start-up routine. The backend
// builds the window and calls these handlers; they do the steps in a fixed order.
#ifndef PLQ_SHELL_CORE_FORM1_H_
#define PLQ_SHELL_CORE_FORM1_H_

#include <memory>
#include <string>

#include "shell/core/layout.h"
#include "shell/core/messages.h"
#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq {

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
  ~Form1();

  // The first touch of the window loads it, as a form always has: each of these runs the load
  // handler first (once: it writes the page files and sends the panes to them, Load), and only
  // then sets the caption or shows the window. Module1::Main sets the caption first, so the pages
  // are on disk before the window ever shows.
  Status SetCaption(const std::string& caption);
  Status Show();

  // Load handler: writes both page files (into the application directory when it can be used,
  // otherwise into the first private folder that can), then navigates WebBrowser1 to the
  // calculator page and WebBrowser2 to the side panel page. Runs once; a failure is returned with
  // a message naming each folder tried and why it failed. A load that fails after writing (a
  // pane that cannot navigate) takes the files away again.
  Status Load();
  // Unload handler, when the user closes the window: the page files go (unless another copy of
  // the program still shows them: the last copy to leave takes them away), a file that could not
  // be removed is reported, then the exit page opens maximised, and the program ends
  // (MainWindow::Quit). Never cancels the unload. A window that never loaded wrote nothing: it
  // only ends.
  void Unload();
  // The session ends under the program (log-off, shut-down, a signal) or the program must end
  // without the user: the page files go as at unload, but no browser starts and nothing is
  // shown; then the program ends.
  void EndSession();
  // Whether the program is ending. Unload and EndSession are the one way it ends, once: whichever
  // comes first ends it, and after it neither, nor a pane's report, does anything any more.
  bool ending() const { return ending_; }

  // Menu entries "主页" and "关于": both open the home page in a normal window.
  void HomepageClick();
  void AboutClick();

  // A pane's page asks for a new window (target=_blank, window.open): the external browser
  // opens `address` in a normal window when the pane policy lets it (a click on a web address,
  // JudgeLoad); anything else opens nothing.
  void NewWindowRequested(const std::string& address, bool user_gesture);

  // The pane has finished loading its page.
  void PageLoaded(Pane pane);
  // The pane could not load its page file: the user is told.
  void PageLoadFailed(Pane pane, const std::string& detail);
  // What ran the pane's page ended under it (the engine's process crashed or was killed): the
  // pane loads its page again. When that happens again before the page has loaded, the
  // calculator cannot be shown: the user is told and the program ends; the side panel is left
  // empty, since it must never stop the calculator.
  void PaneEnded(Pane pane, const std::string& detail);

  // The folder the page files were written to; empty before a successful load and after leaving.
  std::string page_folder() const;

 private:
  // Module1 reports a failed load through the window's reporter.
  friend class Module1;

  Status LoadOnce();
  // Writes both pages into the first folder that takes them and keeps that folder; the failure
  // names every folder tried and why it could not be used.
  Status WritePagesToFirstFolder();
  // Takes the page files (and an emptied private folder) away when no other copy uses them, and
  // lets go of the folder.
  Status LeaveFolder();
  Status NavigatePane(Pane pane);
  // Marks the program as ending (false if it already was) and says whether the pages are there
  // to take away.
  bool BeginEnding();

  MainWindow& window_;
  ResourceStore& resources_;
  BrowserLauncher& launcher_;
  FailureReporter& reporter_;
  Folders& folders_;
  bool loaded_ = false;
  Status load_status_ = Status::Ok();
  std::unique_ptr<PageFolder> folder_;
  FolderKind folder_kind_ = FolderKind::kApplication;
  bool ending_ = false;
  // Per pane: its page is being loaded again after its process ended.
  bool reloading_[2] = {false, false};
};

class Module1 {
 public:
  // The start-up routine: sets the caption (which loads the window) and shows it. When the window
  // cannot be loaded the failure is reported and returned; the caller then exits with a non-zero
  // status instead of running the program.
  static Status Main(Form1& form);
  // The program's life after start-up: the window's event loop, until the program ends. However
  // the loop ended, the pages are gone when this returns. A loop that broke down is returned; the
  // caller then exits with a non-zero status.
  static Status Run(Form1& form);
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_FORM1_H_
