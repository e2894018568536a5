// Fakes at the core's platform interfaces, sharing one event log, and a real temporary folder
// for the page files. Every fake entry records what the page files held at that moment, so a
// test reads the order of the steps and the disk state at each step from one list.
#ifndef PLQ_TESTS_CORE_FAKES_H_
#define PLQ_TESTS_CORE_FAKES_H_

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq::testing {

namespace fs = std::filesystem;

Bytes ToBytes(const std::string& text);
Bytes ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const Bytes& bytes);
// Every entry of `folder` by file name, sorted: what a test expects to find and nothing more.
std::vector<std::string> Entries(const fs::path& folder);
// Only its owner may enter `folder` (mode 0700). Windows keeps access rights in ACLs that
// std::filesystem does not show: there it only asks for a folder.
bool IsPrivate(const fs::path& folder);
// UTF-8 path text for the core's interfaces.
std::string Text(const fs::path& path);
// Whether `condition` holds within 20 seconds, checked again every millisecond: for what another
// thread does.
bool WaitUntil(const std::function<bool()>& condition);

// A uniquely named folder under the system's temporary folder, removed with all it holds.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const fs::path& path() const { return path_; }
  std::string text() const { return Text(path_); }

 private:
  fs::path path_;
};

// Typical page bytes: GB2312 text, CR LF line ends and the trailing zero bytes.
Bytes CalculatorBytes();
Bytes SidePanelBytes();

class EventLog {
 public:
  // Describes the page files at the moment of an event, e.g. "C S" (calculator page, side panel
  // page), "- -" (both gone) or "? S" (a file with other bytes).
  void WatchFolder(std::string folder) { folder_ = std::move(folder); }
  std::string PageFiles() const;
  void Add(const std::string& event);
  const std::vector<std::string>& events() const { return events_; }

 private:
  std::string folder_;
  std::vector<std::string> events_;
};

class FakeWindow : public MainWindow {
 public:
  explicit FakeWindow(EventLog& log) : log_(log) {}
  void SetCaption(const std::string& caption) override;
  void Show() override;
  Status Navigate(Pane pane, const std::string& path) override;
  Status RunEventLoop() override;
  void Quit() override;
  // Navigate fails for this pane.
  void FailNavigate(Pane pane) { failing_pane_ = static_cast<int>(pane); }
  // How often the core has ended the program (kept out of the event log: every way of ending
  // ends in it).
  int quits() const { return quits_; }

 private:
  EventLog& log_;
  int quits_ = 0;
  int failing_pane_ = 0;
};

class FakeResources : public ResourceStore {
 public:
  explicit FakeResources(EventLog& log);
  Status Read(const std::string& type, int id, Bytes* bytes) override;
  void Set(int id, Bytes bytes) { resources_[id] = std::move(bytes); }
  void Remove(int id) { resources_.erase(id); }

 private:
  EventLog& log_;
  std::map<int, Bytes> resources_;
};

class FakeLauncher : public BrowserLauncher {
 public:
  explicit FakeLauncher(EventLog& log) : log_(log) {}
  Status Open(const std::string& address, WindowStyle style) override;
  void set_failure(std::string reason) { failure_ = std::move(reason); }

 private:
  EventLog& log_;
  std::string failure_;
};

class FakeReporter : public FailureReporter {
 public:
  explicit FakeReporter(EventLog& log) : log_(log) {}
  void Report(const std::string& message) override;
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  EventLog& log_;
  std::vector<std::string> messages_;
};

// Which fake page folders hold which folder, shared by every copy of the program in one test
// process as the real lock is shared by the copies on one machine.
class FolderLocks {
 public:
  void Share(const std::string& folder, const void* holder) { holders_[folder].insert(holder); }
  // True when `holder` is the only one holding `folder`; it then holds it alone.
  bool TryHoldAlone(const std::string& folder, const void* holder);
  void Release(const std::string& folder, const void* holder);
  bool held_alone(const std::string& folder) const { return alone_.count(folder) != 0; }

 private:
  std::map<std::string, std::set<const void*>> holders_;
  std::set<std::string> alone_;
};

// A page folder on std::filesystem: files written through a temporary name beside them and
// renamed into place, each step logged.
class FakePageFolder : public PageFolder {
 public:
  FakePageFolder(std::string path, FolderKind kind, FolderLocks& locks, EventLog& log);
  ~FakePageFolder() override;
  const std::string& path() const override { return path_; }
  bool TryHoldAlone() override;
  Status Share() override;
  Status Write(const std::string& name, const Bytes& bytes) override;
  Status Remove(const std::string& name) override;
  void RemoveLeftovers(const std::string& name) override;
  void RemoveIfEmpty() override;

 private:
  std::string path_;
  FolderKind kind_;
  FolderLocks& locks_;
  EventLog& log_;
};

// The folders of one copy of the program. Open judges what std::filesystem sees (the owner is
// always the user; `facts` overrides what is found at a path).
class FakeFolders : public Folders {
 public:
  FakeFolders(std::string application_directory, std::vector<std::string> private_folders,
              FolderLocks& locks, EventLog& log)
      : application_directory_(std::move(application_directory)),
        private_folders_(std::move(private_folders)),
        locks_(locks),
        log_(log) {}
  std::string ApplicationDirectory() override { return application_directory_; }
  std::vector<std::string> PrivateFolders() override { return private_folders_; }
  Status Open(const std::string& path, FolderKind kind,
              std::unique_ptr<PageFolder>* folder) override;
  void SetFacts(const std::string& path, FolderFacts facts) { facts_[path] = facts; }

 private:
  std::string application_directory_;
  std::vector<std::string> private_folders_;
  FolderLocks& locks_;
  EventLog& log_;
  std::map<std::string, FolderFacts> facts_;
};

}  // namespace plq::testing

#endif  // PLQ_TESTS_CORE_FAKES_H_
