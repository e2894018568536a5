#include "tests/core/fakes.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "shell/core/page_store.h"

namespace plq::testing {

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
