#include "tests/core/fakes.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <thread>

#include "shell/core/page_store.h"

namespace plq::testing {

Bytes ToBytes(const std::string& text) { return {text.begin(), text.end()}; }

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(Text(it->path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Text(const fs::path& path) { return path.u8string(); }

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool IsPrivate(const fs::path& folder) {
#if defined(_WIN32)
  return fs::is_directory(folder);
#else
  return fs::status(folder).permissions() == fs::perms::owner_all;
#endif
}

TempDir::TempDir() {
  std::random_device device;
  const std::string name = "plq_core_test_" + std::to_string(device()) + std::to_string(device());
  path_ = fs::temp_directory_path() / name;
  fs::create_directory(path_);
}

TempDir::~TempDir() {
  std::error_code error;
  // Tests narrow permissions on folders inside; open them up so that nothing stays behind.
  for (fs::recursive_directory_iterator it(path_, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_directory() && !it->is_symlink()) {
      std::error_code ignored;
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, error);
}

Bytes CalculatorBytes() {
  // "排卵期" in GB2312, CR LF line ends, one zero byte after "</html>".
  return ToBytes(std::string("<html>\r\n<title>\xC5\xC5\xC2\xD1\xC6\xDA</title>\r\n</html>") +
                 std::string(1, '\0'));
}

Bytes SidePanelBytes() {
  return ToBytes(std::string("<html>\r\n<body></body>\r\n</html>\r\n") + std::string(2, '\0'));
}

std::string EventLog::PageFiles() const {
  std::string state;
  for (const PageEntry& page : {kCalculatorPage, kSidePanelPage}) {
    const fs::path path = fs::u8path(PagePath(folder_, page));
    std::error_code error;
    if (!state.empty()) state += " ";
    if (!fs::exists(fs::symlink_status(path, error))) {
      state += "-";
    } else if (!fs::is_regular_file(fs::symlink_status(path, error))) {
      state += "!";
    } else {
      const Bytes bytes = ReadFile(path);
      state += bytes == CalculatorBytes() ? "C" : bytes == SidePanelBytes() ? "S" : "?";
    }
  }
  return state;
}

void EventLog::Add(const std::string& event) { events_.push_back(event + " | " + PageFiles()); }

void FakeWindow::SetCaption(const std::string& caption) { log_.Add("caption " + caption); }

Status FakeWindow::RunEventLoop() {
  // The loop ends at once, as if someone else had ended it.
  log_.Add("loop");
  return Status::Ok();
}

void FakeWindow::Quit() { ++quits_; }

void FakeWindow::Show() { log_.Add("show"); }

Status FakeWindow::Navigate(Pane pane, const std::string& path) {
  log_.Add("navigate " + std::to_string(static_cast<int>(pane)) + " " + path);
  if (static_cast<int>(pane) == failing_pane_) return Status::Failure("pane refused");
  return Status::Ok();
}

FakeResources::FakeResources(EventLog& log) : log_(log) {
  resources_[101] = CalculatorBytes();
  resources_[102] = SidePanelBytes();
}

Status FakeResources::Read(const std::string& type, int id, Bytes* bytes) {
  log_.Add("read " + type + " " + std::to_string(id));
  std::string lower = type;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto found = resources_.find(id);
  if (lower != "custom" || found == resources_.end()) {
    return Status::Failure("no such resource");
  }
  *bytes = found->second;
  return Status::Ok();
}

Status FakeLauncher::Open(const std::string& address, WindowStyle style) {
  log_.Add("open " + address + " " + std::to_string(static_cast<int>(style)));
  if (!failure_.empty()) return Status::Failure(failure_);
  return Status::Ok();
}

void FakeReporter::Report(const std::string& message) {
  log_.Add("report " + message);
  messages_.push_back(message);
}

}  // namespace plq::testing

namespace plq::testing {
namespace {}  // namespace

bool FolderLocks::TryHoldAlone(const std::string& folder, const void* holder) {
  const std::set<const void*>& holders = holders_[folder];
  if (holders.size() != 1 || holders.count(holder) == 0) return false;
  alone_.insert(folder);
  return true;
}

void FolderLocks::Release(const std::string& folder, const void* holder) {
  holders_[folder].erase(holder);
  if (holders_[folder].empty()) alone_.erase(folder);
}

FakePageFolder::FakePageFolder(std::string path, FolderKind kind, FolderLocks& locks, EventLog& log)
    : path_(std::move(path)), kind_(kind), locks_(locks), log_(log) {
  locks_.Share(path_, this);
}

FakePageFolder::~FakePageFolder() { locks_.Release(path_, this); }

bool FakePageFolder::TryHoldAlone() { return locks_.TryHoldAlone(path_, this); }

Status FakePageFolder::Share() {
  locks_.Release(path_, this);
  locks_.Share(path_, this);
  return Status::Ok();
}

Status FakePageFolder::Write(const std::string& name, const Bytes& bytes) {
  log_.Add("write " + name);
  const fs::path target = fs::u8path(path_) / fs::u8path(name);
  const fs::path temporary =
      fs::u8path(path_) / fs::u8path(TemporaryPageName(name, 0x0123456789abcdefULL));
  std::error_code error;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) return Status::Failure("ofstream: cannot write");
  }
  fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary);
    return Status::Failure("rename: " + error.message());
  }
  return Status::Ok();
}

Status FakePageFolder::Remove(const std::string& name) {
  log_.Add("remove " + name);
  const fs::path target = fs::u8path(path_) / fs::u8path(name);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(target, error);
  if (status.type() == fs::file_type::not_found) return Status::Ok();
  if (fs::is_directory(status)) return Status::Failure("unlink: Is a directory");
  fs::remove(target, error);
  return error ? Status::Failure("unlink: " + error.message()) : Status::Ok();
}

void FakePageFolder::RemoveLeftovers(const std::string& name) {
  for (const std::string& entry : Entries(fs::u8path(path_))) {
    if (!IsTemporaryPageName(entry, name)) continue;
    log_.Add("remove " + entry);
    fs::remove(fs::u8path(path_) / fs::u8path(entry));
  }
}

void FakePageFolder::RemoveIfEmpty() {
  std::error_code error;
  if (kind_ == FolderKind::kPrivate) fs::remove(fs::u8path(path_), error);
}

Status FakeFolders::Open(const std::string& path, FolderKind kind,
                         std::unique_ptr<PageFolder>* folder) {
  FolderFacts facts;
  const auto given = facts_.find(path);
  if (given != facts_.end()) {
    facts = given->second;
  } else {
    fs::path folder_path;
    try {
      folder_path = fs::u8path(path);
    } catch (const std::exception&) {
      folder_path.clear();
    }
    std::error_code error;
    if (folder_path.empty() || !folder_path.is_absolute()) {
      facts.found = FolderFacts::Found::kBadPath;
    } else {
      if (kind == FolderKind::kPrivate) fs::create_directory(folder_path, error);
      const fs::file_status status = fs::symlink_status(folder_path, error);
      facts.found = fs::is_symlink(status)     ? FolderFacts::Found::kLink
                    : fs::is_directory(status) ? FolderFacts::Found::kFolder
                    : fs::exists(status)       ? FolderFacts::Found::kOther
                                               : FolderFacts::Found::kNothing;
      facts.owner = FolderFacts::Owner::kUser;
#if !defined(_WIN32)
      // Windows keeps access rights in ACLs that std::filesystem does not show.
      const fs::perms perms = status.permissions();
      facts.others_can_write =
          (perms & (fs::perms::group_write | fs::perms::others_write)) != fs::perms::none &&
          (perms & fs::perms::sticky_bit) == fs::perms::none;
#endif
      if (kind == FolderKind::kPrivate && facts.found == FolderFacts::Found::kFolder) {
        fs::permissions(folder_path, fs::perms::owner_all, error);
        facts.others_can_write = false;
      }
    }
  }
  Status judged = CheckFolderFacts(kind, facts);
  if (!judged.ok()) return judged;
  *folder = std::make_unique<FakePageFolder>(path, kind, locks_, log_);
  return Status::Ok();
}

}  // namespace plq::testing
