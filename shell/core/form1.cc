#include "shell/core/form1.h"

#include <string>

#include "shell/core/addresses.h"
#include "shell/core/page_store.h"

namespace plq {

void LaunchBrowser(BrowserLauncher& launcher, FailureReporter& reporter, const std::string& address,
                   WindowStyle style) {
  const Status opened = launcher.Open(address, style);
  if (opened.ok()) return;
  std::string message = "无法打开网页 " + address;
  if (!opened.message().empty()) message += "\n" + opened.message();
  reporter.Report(message);
}

Form1::Form1(MainWindow& window, ResourceStore& resources, BrowserLauncher& launcher,
             FailureReporter& reporter, Folders& folders)
    : window_(window),
      resources_(resources),
      launcher_(launcher),
      reporter_(reporter),
      folders_(folders) {}

Status Form1::SetCaption(const std::string& caption) {
  const Status loaded = Load();
  if (!loaded.ok()) return loaded;
  window_.SetCaption(caption);
  return Status::Ok();
}

Status Form1::Show() {
  const Status loaded = Load();
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
  const Status written = WritePagesToFirstFolder();
  if (!written.ok()) return written;
  const struct {
    Pane pane;
    const PageEntry& page;
  } steps[] = {{Pane::kWebBrowser1, kCalculatorPage}, {Pane::kWebBrowser2, kSidePanelPage}};
  for (const auto& step : steps) {
    const std::string path = PagePath(page_folder_, step.page);
    const Status navigated = window_.Navigate(step.pane, path);
    if (!navigated.ok()) {
      DiscardPages();
      return Status::Failure("无法在窗口中打开网页文件 " + path + "：" + navigated.message());
    }
  }
  return Status::Ok();
}

Status Form1::WritePagesToFirstFolder() {
  PageContents contents;
  const Status read = ReadPages(resources_, &contents);
  if (!read.ok()) return read;

  std::string reasons;
  const auto note = [&reasons](const Status& failure) { reasons += "\n" + failure.message(); };
  const std::string application_directory = folders_.ApplicationDirectory();
  Status written = WritePages(contents, application_directory);
  if (written.ok()) {
    page_folder_ = application_directory;
    page_folder_is_private_ = false;
    return written;
  }
  note(written);
  for (const std::string& folder : folders_.PrivateFolders()) {
    const Status prepared = PreparePrivateFolder(folder);
    if (!prepared.ok()) {
      note(prepared);
      continue;
    }
    written = WritePages(contents, folder);
    if (written.ok()) {
      page_folder_ = folder;
      page_folder_is_private_ = true;
      return written;
    }
    note(written);
    RemovePrivateFolderIfEmpty(folder);
  }
  return Status::Failure("没有可以写入网页文件的文件夹，程序无法启动。" + reasons);
}

void Form1::DiscardPages() {
  // The files were written a moment ago by this call; a failure to remove them has nothing
  // more useful to say than the failure that brought us here.
  RemovePages(page_folder_);
  if (page_folder_is_private_) RemovePrivateFolderIfEmpty(page_folder_);
  page_folder_.clear();
  page_folder_is_private_ = false;
}

void Form1::Unload() {
  if (!loaded_ || !load_status_.ok() || unloaded_) return;
  unloaded_ = true;
  const Status removed = RemovePages(page_folder_);
  if (page_folder_is_private_) RemovePrivateFolderIfEmpty(page_folder_);
  if (!removed.ok()) reporter_.Report(removed.message());
  LaunchBrowser(launcher_, reporter_, kExitPageAddress, WindowStyle::kMaximizedFocus);
}

void Form1::HomepageClick() {
  LaunchBrowser(launcher_, reporter_, kHomePageAddress, WindowStyle::kNormalFocus);
}

void Form1::AboutClick() {
  LaunchBrowser(launcher_, reporter_, kHomePageAddress, WindowStyle::kNormalFocus);
}

Status Module1::Main(Form1& form) {
  const Status captioned = form.SetCaption(kCaption);
  if (!captioned.ok()) {
    form.reporter_.Report(captioned.message());
    return captioned;
  }
  return form.Show();
}

}  // namespace plq
