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

// Modal message boxes titled with the caption, with one button "确定". Every box shown is known
// here, so that the end of the session can close them all at once and show no more.
class MessageBoxes {
 public:
  MessageBoxes() = default;
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  // Shows `text` over `parent` and returns when the box is closed (or at once once closed down).
  void Run(GtkWindow* parent, const std::string& text, GtkMessageType type);
  // Closes every open box and shows none from now on.
  void CloseAll();

 private:
  std::vector<GtkDialog*> open_;
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
