// The core's platform services on Windows: resources of the executable, the external browser,
// the message box for failures and the folders for the page files.
#ifndef PLQ_SHELL_WIN32_SERVICES_H_
#define PLQ_SHELL_WIN32_SERVICES_H_

#include <windows.h>

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

class FailureReporter final : public plq::FailureReporter {
 public:
  // Message boxes belong to `owner` once it is visible.
  explicit FailureReporter(HWND owner) : owner_(owner) {}
  void Report(const std::string& message) override;

 private:
  HWND owner_;
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
