// The core's platform services on Windows: resources of the executable, the external browser,
// the message box for failures and the folders for the page files.
#ifndef PLQ_SHELL_WIN32_SERVICES_H_
#define PLQ_SHELL_WIN32_SERVICES_H_

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/core/platform.h"

namespace plq::win32 {

// Resources stored under Chinese (PRC), language id 2052, in this executable.
class ResourceStore final : public plq::ResourceStore {
 public:
  Status Read(const std::string& type, int id, Bytes* bytes) override;
};

// Internet Explorer from its fixed path; the system's default browser when that cannot start.
class BrowserLauncher final : public plq::BrowserLauncher {
 public:
  Status Open(const std::string& address, WindowStyle style) override;
};

// The program's message boxes, one at a time. A box runs a message loop of its own, in which a
// pane's page can ask for another box; shown there, boxes would nest without end (and a close
// of the window handled inside them would destroy what the outer ones still use). So a box asked
// for while one is open waits its turn: it is shown by the code that showed the first, right
// after that one closes, and the request returns at once. Waiting rather than joining the open
// box's text keeps each sentence and icon as the core worded it; a text already waiting is not
// queued twice, so a page that repeats itself cannot pile boxes up.
class MessageBoxes {
 public:
  // Boxes belong to `owner` while it is visible.
  void set_owner(HWND owner) { owner_ = owner; }
  // Shows `text` with `icon` (MB_ICONERROR...), or queues it while a box is open.
  void Show(const std::string& text, UINT icon);
  bool open() const { return open_; }
  // Forgets the boxes still waiting (the program is ending).
  void DropWaiting() { waiting_.clear(); }
  // Runs after the last box has closed; the window's close waits for it.
  void set_when_closed(std::function<void()> when_closed) { when_closed_ = std::move(when_closed); }

 private:
  struct Box {
    std::string text;
    UINT icon;
  };
  HWND owner_ = nullptr;
  bool open_ = false;
  std::deque<Box> waiting_;
  std::function<void()> when_closed_;
};

class FailureReporter final : public plq::FailureReporter {
 public:
  explicit FailureReporter(MessageBoxes& boxes) : boxes_(boxes) {}
  void Report(const std::string& message) override;

 private:
  MessageBoxes& boxes_;
};

class Folders final : public plq::Folders {
 public:
  std::string ApplicationDirectory() override;
  std::vector<std::string> PrivateFolders() override;
  Status Open(const std::string& path, FolderKind kind,
              std::unique_ptr<plq::PageFolder>* folder) override;
};

// Shows `message` in a modal message box titled with the caption, for failures before there is
// a window to own it.
void ShowFailure(const std::string& message);

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_SERVICES_H_
