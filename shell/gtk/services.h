// The core's platform services on Linux: the pages as GResources compiled into the executable,
// xdg-open as the external browser, GTK message boxes, and the folders for the page files.
#ifndef PLQ_SHELL_GTK_SERVICES_H_
#define PLQ_SHELL_GTK_SERVICES_H_

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq::gtk {

// Resource type "custom" and id 101 are the GResource path "/custom/101".
class ResourceStore final : public plq::ResourceStore {
 public:
  Status Read(const std::string& type, int id, Bytes* bytes) override;
};

// Hands addresses to xdg-open, which starts the desktop's web browser.
class BrowserLauncher final : public plq::BrowserLauncher {
 public:
  Status Open(const std::string& address, WindowStyle style) override;
};

// Modal message boxes titled with the caption, with one button "确定", one at a time: a request
// while a box is open adds its text to that box's (once) and returns at once. Waiting for the
// open box instead would take a loop inside that box's loop, and a page that kept asking made
// the program nest them until its stack ran out (measured: 112 boxes in 24 s; at a 5 ms interval
// the program died of SIGSEGV). The calculator alerts only on the user's input, which a modal
// box holds back: its alert is always a box of its own, which holds its script until closed.
// A box fits on the screen: long paths wrap, a long text scrolls. The end of the session closes
// the box and shows none any more; a close request for the window while a box is open closes the
// box and then reaches the window (GTK would drop it). Made after gtk_init, whose event handler
// it puts itself in front of.
class MessageBoxes {
 public:
  MessageBoxes();
  ~MessageBoxes();
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  // Shows `text` over `parent` and returns when the box is closed; while another box is open,
  // adds `text` to it and returns at once (or at once once closed down).
  void Run(GtkWindow* parent, const std::string& text, GtkMessageType type);
  // Closes the open box and shows none from now on.
  void CloseAll();

 private:
  static void OnEvent(GdkEvent* event, gpointer self);
  // Adds `text` to the open box's, unless it is there already.
  void AddText(const std::string& text);
  // Keeps the open box's text within the screen: wrapped, and scrolled where it is too long.
  void PutTextInScroller(GtkWindow* parent);
  void FitText();

  GtkDialog* open_ = nullptr;
  GtkLabel* label_ = nullptr;  // the open box's text, in
  GtkScrolledWindow* scroller_ = nullptr;
  int most_height_ = 0;                // of the text before it scrolls
  std::vector<std::string> texts_;     // the open box's, in the order they came
  GdkEvent* close_request_ = nullptr;  // for a window behind the open box, passed on after it
  bool closed_ = false;
};

class FailureReporter final : public plq::FailureReporter {
 public:
  // The boxes belong to `parent` (the main window, visible or not yet).
  FailureReporter(MessageBoxes& boxes, GtkWindow* parent) : boxes_(boxes), parent_(parent) {}
  void Report(const std::string& message) override;

 private:
  MessageBoxes& boxes_;
  GtkWindow* parent_;
};

class Folders final : public plq::Folders {
 public:
  // `argv0` only serves when /proc/self/exe cannot be read.
  explicit Folders(std::string argv0) : argv0_(std::move(argv0)) {}
  std::string ApplicationDirectory() override;
  std::vector<std::string> PrivateFolders() override;
  Status Open(const std::string& path, FolderKind kind,
              std::unique_ptr<plq::PageFolder>* folder) override;

 private:
  std::string argv0_;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_SERVICES_H_
