#include "shell/core/form1.h"

#include <string>
#include <utility>
#include <vector>

#include "shell/core/addresses.h"
#include "shell/core/page_store.h"
#include "shell/core/pane_policy.h"

namespace plq {
namespace {

const PageEntry& PageOf(Pane pane) {
  return pane == Pane::kWebBrowser1 ? kCalculatorPage : kSidePanelPage;
}

int IndexOf(Pane pane) { return pane == Pane::kWebBrowser1 ? 0 : 1; }

// Takes the page files away when this copy holds `folder` alone; otherwise another copy of the
// program still shows them and they stay.
Status TakePagesAway(PageFolder& folder, FolderKind kind) {
  if (!folder.TryHoldAlone()) return Status::Ok();
  Status removed = RemovePages(folder);
  if (kind == FolderKind::kPrivate) folder.RemoveIfEmpty();
  return removed;
}

}  // namespace

void LaunchBrowser(BrowserLauncher& launcher, FailureReporter& reporter, const std::string& address,
                   WindowStyle style) {
  Status opened = launcher.Open(address, style);
  if (!opened.ok()) reporter.Report(messages::CannotOpenAddress(address, opened.message()));
}

Form1::Form1(MainWindow& window, ResourceStore& resources, BrowserLauncher& launcher,
             FailureReporter& reporter, Folders& folders)
    : window_(window),
      resources_(resources),
      launcher_(launcher),
      reporter_(reporter),
      folders_(folders) {}

Form1::~Form1() = default;

Status Form1::SetCaption(const std::string& caption) {
  Status loaded = Load();
  if (!loaded.ok()) return loaded;
  window_.SetCaption(caption);
  return Status::Ok();
}

Status Form1::Show() {
  Status loaded = Load();
  if (!loaded.ok()) return loaded;
  window_.Show();
  return Status::Ok();
}

Status Form1::Load() {
  if (!loaded_) {
    loaded_ = true;
    load_status_ = LoadOnce();
  }
  return load_status_;
}

Status Form1::LoadOnce() {
  Status written = WritePagesToFirstFolder();
  if (!written.ok()) return written;
  for (const PageEntry& page : kPages) {
    Status navigated = NavigatePane(page.pane);
    if (!navigated.ok()) {
      // Nothing more useful to say than the failure that brought us here.
      LeaveFolder().IgnoreError();
      return navigated;
    }
  }
  return Status::Ok();
}

Status Form1::NavigatePane(Pane pane) {
  const std::string path = PagePath(folder_->path(), PageOf(pane));
  Status navigated = window_.Navigate(pane, path);
  if (navigated.ok()) return navigated;
  return Status::Failure(messages::CannotShowPage(path, navigated.message()));
}

Status Form1::WritePagesToFirstFolder() {
  PageContents contents;
  Status read = ReadPages(resources_, &contents);
  if (!read.ok()) return read;

  std::vector<std::pair<std::string, FolderKind>> candidates = {
      {folders_.ApplicationDirectory(), FolderKind::kApplication}};
  for (std::string& folder : folders_.PrivateFolders()) {
    candidates.emplace_back(std::move(folder), FolderKind::kPrivate);
  }
  std::string reasons;
  const auto note = [&reasons](const std::string& reason) { reasons += "\n" + reason; };
  for (const auto& [path, kind] : candidates) {
    Status usable = CheckFolderPath(path);
    std::unique_ptr<PageFolder> folder;
    if (usable.ok()) usable = folders_.Open(path, kind, &folder);
    // Copies that ended while writing leave temporary files; only a copy alone in the folder
    // can tell they are nobody's any more.
    if (usable.ok() && folder->TryHoldAlone()) {
      for (const PageEntry& page : kPages) folder->RemoveLeftovers(PageFileName(page));
      usable = folder->Share();
    }
    if (!usable.ok()) {
      note(messages::CannotUseFolder(path, usable.message()));
      continue;
    }
    Status written = ExtractPages(contents, *folder);
    if (written.ok()) {
      folder_ = std::move(folder);
      folder_kind_ = kind;
      return written;
    }
    note(written.message());
    TakePagesAway(*folder, kind).IgnoreError();
  }
  return Status::Failure(messages::NoFolderForPages(reasons));
}

Status Form1::LeaveFolder() {
  if (!folder_) return Status::Ok();
  Status removed = TakePagesAway(*folder_, folder_kind_);
  folder_.reset();
  return removed;
}

bool Form1::BeginEnding() {
  if (ending_) return false;
  ending_ = true;
  return loaded_ && load_status_.ok();
}

void Form1::Unload() {
  if (ending_) return;
  if (BeginEnding()) {
    Status removed = LeaveFolder();
    if (!removed.ok()) reporter_.Report(removed.message());
    LaunchBrowser(launcher_, reporter_, kExitPageAddress, WindowStyle::kMaximizedFocus);
  }
  window_.Quit();
}

void Form1::EndSession() {
  if (ending_) return;
  // Nobody is there to read a message any more.
  if (BeginEnding()) LeaveFolder().IgnoreError();
  window_.Quit();
}

void Form1::HomepageClick() {
  LaunchBrowser(launcher_, reporter_, kHomePageAddress, WindowStyle::kNormalFocus);
}

void Form1::AboutClick() {
  LaunchBrowser(launcher_, reporter_, kHomePageAddress, WindowStyle::kNormalFocus);
}

void Form1::NewWindowRequested(const std::string& address, bool user_gesture) {
  LoadRequest request;
  request.kind = LoadRequest::Kind::kNewWindow;
  request.address = address;
  request.user_gesture = user_gesture;
  if (JudgeLoad(request, std::string()) != LoadVerdict::kOpenInBrowser) return;
  LaunchBrowser(launcher_, reporter_, address, WindowStyle::kNormalFocus);
}

void Form1::PageLoaded(Pane pane) { reloading_[IndexOf(pane)] = false; }

void Form1::PageLoadFailed(Pane pane, const std::string& detail) {
  if (!folder_ || ending_) return;
  reporter_.Report(messages::CannotShowPage(PagePath(folder_->path(), PageOf(pane)), detail));
}

void Form1::PaneEnded(Pane pane, const std::string& detail) {
  if (!folder_ || ending_) return;
  bool& reloading = reloading_[IndexOf(pane)];
  std::string why = detail;
  if (!reloading) {
    reloading = true;
    Status navigated = NavigatePane(pane);
    if (navigated.ok()) return;
    why = navigated.message();
  }
  if (pane != Pane::kWebBrowser1) return;
  reporter_.Report(messages::CalculatorKeepsFailing(why));
  EndSession();
}

std::string Form1::page_folder() const { return folder_ ? folder_->path() : std::string(); }

Status Module1::Main(Form1& form) {
  Status captioned = form.SetCaption(kCaption);
  if (!captioned.ok()) {
    form.reporter_.Report(captioned.message());
    return captioned;
  }
  return form.Show();
}

Status Module1::Run(Form1& form) {
  // A session that ended while the window was being made ends the program before its loop.
  Status ran = form.ending() ? Status::Ok() : form.window_.RunEventLoop();
  // The loop also ends without the program ending it: someone else asked it to (a quit message
  // posted from outside), or it broke down. The pages go then too, and no browser starts; after
  // a close or the session's end this does nothing.
  form.EndSession();
  return ran;
}

}  // namespace plq
