// The narrow interfaces through which the portable core reaches the operating system. Each
// backend (shell/gtk on Linux, shell/win32 on Windows) implements them; the core's unit tests
// replace them with fakes. All texts are UTF-8; paths are UTF-8 strings.
//
// What a backend returns in a failed Status is the technical detail (the call that failed and the
// system's own reason). Every sentence the user reads is worded by the core (messages.h).
#ifndef PLQ_SHELL_CORE_PLATFORM_H_
#define PLQ_SHELL_CORE_PLATFORM_H_

#include <memory>
#include <string>
#include <vector>

#include "shell/core/layout.h"
#include "shell/core/status.h"

namespace plq {

using Bytes = std::vector<unsigned char>;

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
  // Runs the window's event loop until Quit(); a loop that breaks down is a failure.
  virtual Status RunEventLoop() = 0;
  // The program is ending (Form1 says so, once, and has done what ending needs: the page files):
  // ends the event loop, or keeps it from starting, and closes any message box still open.
  virtual void Quit() = 0;
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

// What stands at a folder's path, as the backend found it on the folder it opened (not on a path
// looked up again), for the core to judge (CheckFolderFacts in page_store.h).
struct FolderFacts {
  enum class Found {
    kNothing,  // no such folder
    kFolder,
    kLink,     // a symbolic link, junction or other reparse point
    kOther,    // a file or anything else that is no folder
    kBadPath,  // a text that names no folder here (relative, not UTF-8, ...)
    kTooLong,  // a folder whose page files' paths are longer than the browser can open
  };
  enum class Owner {
    kUser,           // the user running the program
    kAdministrator,  // root; Administrators, SYSTEM or TrustedInstaller
    kOther,
  };
  Found found = Found::kNothing;
  Owner owner = Owner::kOther;
  // A user other than the owner may add, rename or delete entries in the folder: write
  // permission for the group or for everyone without the sticky bit (POSIX), or an access rule
  // that grants it to someone other than the user and the administrators (Windows).
  bool others_can_write = false;
};

enum class FolderKind {
  // The folder that holds the executable: used as it is, never created or changed.
  kApplication,
  // The user's own folder for the pages: created for the user alone when missing (its parent
  // must exist), narrowed to the user alone when it is the user's.
  kPrivate,
};

// One folder that holds the page files, opened once and used through what was opened: every step
// works on the folder that was checked, never on its path looked up again. Several copies of the
// program may use one folder at once; each holds it shared for as long as the object lives, and
// only a copy that holds it alone may take the pages away.
class PageFolder {
 public:
  // Lets go of the folder.
  virtual ~PageFolder() = default;
  // The folder's path as it was given to Folders::Open.
  virtual const std::string& path() const = 0;
  // Whether this copy is the only one using the folder. When it is, the folder stays held alone
  // (no other copy can start using it) until Share() or the end of the object; when it is not,
  // the folder is still held shared.
  virtual bool TryHoldAlone() = 0;
  // Holds the folder shared again after TryHoldAlone(); waits a few seconds at most while another
  // copy holds it alone.
  virtual Status Share() = 0;
  // Makes the file `name` hold exactly `bytes`: a fresh temporary file beside it, created
  // exclusively and never through a link, readable by everyone and writable by the owner only
  // whatever the process's defaults, is renamed over `name` (a link there is replaced, never
  // followed). A failure leaves no temporary file.
  virtual Status Write(const std::string& name, const Bytes& bytes) = 0;
  // Deletes the file `name`. One already gone counts as deleted; a folder there is left alone and
  // is a failure.
  virtual Status Remove(const std::string& name) = 0;
  // Deletes the temporary files of `name` that copies which ended while writing left behind. Only
  // while the folder is held alone: then nobody is writing one.
  virtual void RemoveLeftovers(const std::string& name) = 0;
  // Deletes a private folder that holds nothing any more; the application folder always stays.
  // Only while the folder is held alone.
  virtual void RemoveIfEmpty() = 0;
};

// Where page files may be written.
class Folders {
 public:
  virtual ~Folders() = default;
  // The directory that holds the executable, as the platform reports it (it may end in a
  // separator, as a drive root does).
  virtual std::string ApplicationDirectory() = 0;
  // The private per-user folders to fall back on, best first (Linux: $XDG_RUNTIME_DIR/plqcalc
  // when the session has one, then ~/.cache/plqcalc; Windows: %LOCALAPPDATA%\plqcalc). They need
  // not exist yet.
  virtual std::vector<std::string> PrivateFolders() = 0;
  // Opens `path` for the page files and holds it shared with the other copies of the program:
  // the folder found there is judged with CheckFolderFacts, whose refusal is returned as it is.
  virtual Status Open(const std::string& path, FolderKind kind,
                      std::unique_ptr<PageFolder>* folder) = 0;
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PLATFORM_H_
