// The narrow interfaces through which the portable core reaches the operating system. Each
// backend (GTK on Linux, Win32 on Windows) implements them; unit tests replace them with fakes.
// All texts are UTF-8; paths are UTF-8 strings.
#ifndef PLQ_SHELL_CORE_PLATFORM_H_
#define PLQ_SHELL_CORE_PLATFORM_H_

#include <string>
#include <vector>

#include "shell/core/status.h"

namespace plq {

using Bytes = std::vector<unsigned char>;

// The two browser panes of the main window.
enum class Pane { kWebBrowser1 = 1, kWebBrowser2 = 2 };

// Window styles in the platform's numbering, passed to the external browser.
enum class WindowStyle { kNormalFocus = 1, kMaximizedFocus = 3 };

// The main window as the backend builds it: caption, menu bar with "主页" and "关于", and the two
// panes. The backend calls Form1's handlers for the window's events.
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  // Shows the window modeless, with no owner.
  virtual void Show() = 0;
  // Starts loading the local file `path` in the pane and returns without waiting for the load.
  virtual Status Navigate(Pane pane, const std::string& path) = 0;
};

// The pages carried inside the executable.
class ResourceStore {
 public:
  virtual ~ResourceStore() = default;
  // Reads the whole resource of `type` (compared without regard to case) and numeric `id`.
  virtual Status Read(const std::string& type, int id, Bytes* bytes) = 0;
};

// Starts the external web browser; never waits for it.
class BrowserLauncher {
 public:
  virtual ~BrowserLauncher() = default;
  virtual Status Open(const std::string& address, WindowStyle style) = 0;
};

// Tells the user about a failure, in a modal message box titled with the window's caption.
class FailureReporter {
 public:
  virtual ~FailureReporter() = default;
  virtual void Report(const std::string& message) = 0;
};

// Where page files may be written.
class Folders {
 public:
  virtual ~Folders() = default;
  // The directory that holds the executable, as the platform reports it (it may end in a
  // separator, as a drive root does).
  virtual std::string ApplicationDirectory() = 0;
  // The private per-user folders to fall back on, best first (Linux: $XDG_RUNTIME_DIR/<program>,
  // then ~/.cache/<program>; Windows: %LOCALAPPDATA%\<program>). They need not exist yet.
  virtual std::vector<std::string> PrivateFolders() = 0;
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PLATFORM_H_
