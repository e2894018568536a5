#include "shell/core/form1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/core/addresses.h"
#include "tests/core/directory_watch.h"
#include "tests/core/fakes.h"

namespace plq::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kExitOpened = std::string("open ") + kExitPageAddress + " 3";
const std::string kHomeOpened = std::string("open ") + kHomePageAddress + " 1";

// One copy of the program: the fakes around a Form1, all writing to one event log.
struct Program {
  Program(std::string application_directory, std::vector<std::string> private_folders)
      : window(log),
        resources(log),
        launcher(log),
        reporter(log),
        folders(std::move(application_directory), std::move(private_folders)),
        form(window, resources, launcher, reporter, folders) {}

  EventLog log;
  FakeWindow window;
  FakeResources resources;
  FakeLauncher launcher;
  FakeReporter reporter;
  FakeFolders folders;
  Form1 form;
};

class Form1Test : public ::testing::Test {
 protected:
  Form1Test()
      : app_(dir_.path() / "app"),
        runtime_(dir_.path() / "run" / "plqcalc"),
        cache_(dir_.path() / "home" / ".cache" / "plqcalc") {
    fs::create_directories(app_);
    fs::create_directories(runtime_.parent_path());
  }

  std::unique_ptr<Program> Start(const std::string& application_directory) {
    auto program = std::make_unique<Program>(
        application_directory, std::vector<std::string>{Text(runtime_), Text(cache_)});
    program->log.WatchFolder(application_directory);
    return program;
  }

  TempDir dir_;
  fs::path app_;
  fs::path runtime_;
  fs::path cache_;
};

TEST_F(Form1Test, StartUpLoadsTheWindowThenSetsTheCaptionThenShowsIt) {
  auto program = Start(Text(app_));
  const Status status = Module1::Main(program->form);
  ASSERT_TRUE(status.ok()) << status.message();

  const std::string app = Text(app_);
  EXPECT_THAT(program->log.events(), ElementsAre("read custom 101 | - -", "read custom 102 | - -",
                                                 "navigate 1 " + app + "/plqclear.htm | C S",
                                                 "navigate 2 " + app + "/1.htm | C S",
                                                 "caption 排卵期计算器 | C S", "show | C S"));
  EXPECT_EQ(program->form.page_folder(), app);
  EXPECT_EQ(Entries(app_), (std::vector<std::string>{"1.htm", "plqclear.htm"}));
}

TEST_F(Form1Test, WindowLoadsOnce) {
  auto program = Start(Text(app_));
  ASSERT_TRUE(program->form.Load().ok());
  ASSERT_TRUE(Module1::Main(program->form).ok());
  ASSERT_TRUE(program->form.Load().ok());
  ASSERT_TRUE(program->form.Show().ok());
  const std::string app = Text(app_);
  EXPECT_THAT(
      program->log.events(),
      ElementsAre("read custom 101 | - -", "read custom 102 | - -",
                  "navigate 1 " + app + "/plqclear.htm | C S", "navigate 2 " + app + "/1.htm | C S",
                  "caption 排卵期计算器 | C S", "show | C S", "show | C S"));
}

TEST_F(Form1Test, ApplicationDirectoryEndingInASeparatorKeepsIt) {
  const std::string app = Text(app_) + "/";
  auto program = Start(app);
  ASSERT_TRUE(Module1::Main(program->form).ok());
  EXPECT_THAT(program->log.events(),
              ::testing::Contains("navigate 1 " + app + "/plqclear.htm | C S"));
  EXPECT_THAT(program->log.events(), ::testing::Contains("navigate 2 " + app + "/1.htm | C S"));
  program->form.Unload();
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, UnloadRemovesThePagesThenOpensTheExitPageMaximised) {
  auto program = Start(Text(app_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  const size_t before = program->log.events().size();
  DirectoryWatch watch(app_);

  program->form.Unload();
  program->form.Unload();  // runs once

  const std::vector<std::string> events(program->log.events().begin() + before,
                                        program->log.events().end());
  EXPECT_THAT(events, ElementsAre(kExitOpened + " | - -"));
  EXPECT_THAT(program->reporter.messages(), IsEmpty());
  EXPECT_THAT(Entries(app_), IsEmpty());
  if (watch.available()) {
    EXPECT_THAT(watch.Take(), ElementsAre("delete plqclear.htm", "delete 1.htm"));
  }
}

TEST_F(Form1Test, BothMenuEntriesOpenTheHomePageInANormalWindow) {
  auto program = Start(Text(app_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  const size_t before = program->log.events().size();
  program->form.HomepageClick();
  program->form.AboutClick();
  program->form.AboutClick();
  const std::vector<std::string> events(program->log.events().begin() + before,
                                        program->log.events().end());
  EXPECT_THAT(events,
              ElementsAre(kHomeOpened + " | C S", kHomeOpened + " | C S", kHomeOpened + " | C S"));
  EXPECT_EQ(std::string(kHomePageAddress).find('/'), std::string::npos);
}

TEST_F(Form1Test, BrowserThatCannotBeStartedIsReportedAndTheProgramGoesOn) {
  auto program = Start(Text(app_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  program->launcher.set_failure("找不到浏览器 (2)");
  const size_t before = program->log.events().size();

  program->form.HomepageClick();
  program->form.AboutClick();
  program->form.Unload();

  const std::string home_failure =
      std::string("report 无法打开网页 ") + kHomePageAddress + "\n找不到浏览器 (2)";
  const std::vector<std::string> events(program->log.events().begin() + before,
                                        program->log.events().end());
  EXPECT_THAT(events,
              ElementsAre(kHomeOpened + " | C S", home_failure + " | C S", kHomeOpened + " | C S",
                          home_failure + " | C S", kExitOpened + " | - -",
                          std::string("report 无法打开网页 ") + kExitPageAddress +
                              "\n找不到浏览器 (2) | - -"));
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST(LaunchBrowserTest, ReportsOnlyAFailureAndEachTimeOnce) {
  EventLog log;
  FakeLauncher launcher(log);
  FakeReporter reporter(log);
  LaunchBrowser(launcher, reporter, "http://a.example.com/", WindowStyle::kMaximizedFocus);
  launcher.set_failure("\n");
  LaunchBrowser(launcher, reporter, "", WindowStyle::kNormalFocus);
  launcher.set_failure(std::string(100000, 'x'));
  LaunchBrowser(launcher, reporter, std::string(5000, '/'), WindowStyle::kNormalFocus);
  EXPECT_THAT(log.events(), ElementsAre(StartsWith("open http://a.example.com/ 3"),
                                        StartsWith("open  1"), StartsWith("report 无法打开网页 \n"),
                                        StartsWith("open /"), StartsWith("report 无法打开网页 /")));
  EXPECT_EQ(reporter.messages().size(), 2u);
}

TEST_F(Form1Test, PageFileAlreadyGoneAtUnloadCountsAsRemoved) {
  // Another copy started from the same folder and closed earlier removed the files.
  for (const std::vector<const char*>& gone : std::vector<std::vector<const char*>>{
           {"plqclear.htm"}, {"1.htm"}, {"plqclear.htm", "1.htm"}}) {
    SCOPED_TRACE(gone.front());
    auto program = Start(Text(app_));
    ASSERT_TRUE(Module1::Main(program->form).ok());
    for (const char* name : gone) fs::remove(app_ / name);
    program->form.Unload();
    EXPECT_EQ(program->log.events().back(), kExitOpened + " | - -");
    EXPECT_THAT(program->reporter.messages(), IsEmpty());
    EXPECT_THAT(Entries(app_), IsEmpty());
  }
}

TEST_F(Form1Test, PageThatCannotBeRemovedIsReportedAndUnloadGoesOn) {
  auto program = Start(Text(app_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  fs::remove(app_ / "plqclear.htm");
  fs::create_directory(app_ / "plqclear.htm");
  WriteFile(app_ / "plqclear.htm" / "inside", ToBytes("kept"));
  const size_t before = program->log.events().size();

  program->form.Unload();

  const std::vector<std::string> events(program->log.events().begin() + before,
                                        program->log.events().end());
  EXPECT_THAT(events, ElementsAre("report 无法删除网页文件 " + Text(app_) +
                                      "/plqclear.htm：这是一个文件夹 | ! -",
                                  kExitOpened + " | ! -"));
  EXPECT_EQ(ReadFile(app_ / "plqclear.htm" / "inside"), ToBytes("kept"));
}

TEST_F(Form1Test, TwoCopiesInOneFolderShareThePages) {
  auto first = Start(Text(app_));
  auto second = Start(Text(app_));
  ASSERT_TRUE(Module1::Main(first->form).ok());
  ASSERT_TRUE(Module1::Main(second->form).ok());
  EXPECT_EQ(first->form.page_folder(), second->form.page_folder());
  EXPECT_EQ(Entries(app_), (std::vector<std::string>{"1.htm", "plqclear.htm"}));

  first->form.Unload();
  second->form.Unload();
  EXPECT_EQ(first->log.events().back(), kExitOpened + " | - -");
  EXPECT_EQ(second->log.events().back(), kExitOpened + " | - -");
  EXPECT_THAT(first->reporter.messages(), IsEmpty());
  EXPECT_THAT(second->reporter.messages(), IsEmpty());
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, UnwritableApplicationDirectoryFallsBackToAPrivateFolder) {
  // Root writes through any mode, so the application directory is made unwritable by what it is.
  const fs::path file = dir_.path() / "a_file";
  WriteFile(file, ToBytes("not a folder"));
  const struct {
    const char* name;
    std::string application_directory;
  } cases[] = {
      {"a regular file", Text(file)},
      {"under a regular file", Text(file / "app")},
      {"missing parent", Text(dir_.path() / "missing" / "app")},
      {"empty", ""},
      {"relative", "app"},
      {"very long", Text(app_) + "/" + std::string(100000, 'a')},
  };
  const bool root_had_page = fs::exists(fs::symlink_status("/plqclear.htm"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto program = Start(c.application_directory);
    program->log.WatchFolder(Text(runtime_));
    const Status status = Module1::Main(program->form);
    ASSERT_TRUE(status.ok()) << status.message();

    const std::string runtime = Text(runtime_);
    EXPECT_EQ(program->form.page_folder(), runtime);
    EXPECT_TRUE(IsPrivate(runtime_));
    EXPECT_THAT(program->log.events(), ElementsAre("read custom 101 | - -", "read custom 102 | - -",
                                                   "navigate 1 " + runtime + "/plqclear.htm | C S",
                                                   "navigate 2 " + runtime + "/1.htm | C S",
                                                   "caption 排卵期计算器 | C S", "show | C S"));
    EXPECT_THAT(program->reporter.messages(), IsEmpty());

    program->form.Unload();
    EXPECT_EQ(program->log.events().back(), kExitOpened + " | - -");
    // No file of the program outlives it, its private folder included.
    EXPECT_FALSE(fs::exists(runtime_));
    EXPECT_THAT(Entries(app_), IsEmpty());
    EXPECT_EQ(ReadFile(file), ToBytes("not a folder"));
    // An empty directory must not become the root.
    EXPECT_EQ(fs::exists(fs::symlink_status("/plqclear.htm")), root_had_page);
  }
}

TEST_F(Form1Test, ReadOnlyApplicationDirectoryFallsBackToAPrivateFolder) {
  fs::permissions(app_, fs::perms::owner_read | fs::perms::owner_exec);
  WriteFile(app_ / "probe", ToBytes("x"));
  if (fs::exists(app_ / "probe")) {
    GTEST_SKIP() << "this user writes through read-only modes (root); the other fallback tests "
                    "make the folder unwritable by what it is";
  }
  auto program = Start(Text(app_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  EXPECT_EQ(program->form.page_folder(), Text(runtime_));
  EXPECT_THAT(program->reporter.messages(), IsEmpty());
  program->form.Unload();
  EXPECT_FALSE(fs::exists(runtime_));
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, PrivateFolderThatIsNotAFolderOfOursIsPassedOver) {
  const fs::path real = dir_.path() / "real";
  fs::create_directory(real);
  std::error_code no_link;
  fs::create_directory_symlink(real, runtime_, no_link);
  const bool have_link = fs::is_symlink(fs::symlink_status(runtime_));
  if (!have_link) WriteFile(runtime_, ToBytes("a file"));

  auto program = Start(Text(dir_.path() / "missing"));
  program->log.WatchFolder(Text(cache_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  EXPECT_EQ(program->form.page_folder(), Text(cache_));
  EXPECT_TRUE(IsPrivate(cache_));
  EXPECT_THAT(Entries(real), IsEmpty());

  program->form.Unload();
  EXPECT_FALSE(fs::exists(cache_));
  EXPECT_TRUE(fs::exists(fs::symlink_status(runtime_)));
}

TEST_F(Form1Test, PrivateFolderStillHoldingFilesStays) {
  auto program = Start("");
  ASSERT_TRUE(Module1::Main(program->form).ok());
  ASSERT_EQ(program->form.page_folder(), Text(runtime_));
  WriteFile(runtime_ / "someone_else", ToBytes("kept"));
  program->form.Unload();
  EXPECT_EQ(Entries(runtime_), std::vector<std::string>{"someone_else"});
}

TEST_F(Form1Test, TwoCopiesFallingBackShareThePrivateFolder) {
  auto first = Start("");
  auto second = Start("");
  first->log.WatchFolder(Text(runtime_));
  ASSERT_TRUE(Module1::Main(first->form).ok());
  ASSERT_TRUE(Module1::Main(second->form).ok());
  EXPECT_EQ(second->form.page_folder(), Text(runtime_));
  first->form.Unload();
  second->form.Unload();
  EXPECT_THAT(first->reporter.messages(), IsEmpty());
  EXPECT_THAT(second->reporter.messages(), IsEmpty());
  EXPECT_EQ(second->log.events().back(), kExitOpened + " | - -");
  EXPECT_FALSE(fs::exists(runtime_));
}

TEST_F(Form1Test, NoWritableFolderIsReportedNamingEachFolderAndStartUpFails) {
  const fs::path file = dir_.path() / "a_file";
  WriteFile(file, ToBytes("not a folder"));
  const std::string app = Text(file);
  const std::string runtime = Text(file / "run");
  const std::string cache = Text(file / "cache");
  const std::string long_folder = Text(dir_.path()) + "/" + std::string(100000, 'p');
  Program program(app, {runtime, cache, "", long_folder});
  program.log.WatchFolder(app);

  const Status status = Module1::Main(program.form);
  ASSERT_FALSE(status.ok());
  EXPECT_THAT(status.message(), StartsWith("没有可以写入网页文件的文件夹，程序无法启动。\n"));
  EXPECT_THAT(status.message(), HasSubstr("\n无法写入网页文件 " + app + "/plqclear.htm："));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + runtime + "："));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + cache + "："));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 ：路径为空"));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + long_folder + "："));
  EXPECT_EQ(program.reporter.messages(), std::vector<std::string>{status.message()});
  // Neither pane navigated, no caption, never shown.
  EXPECT_THAT(program.log.events(),
              ElementsAre(StartsWith("read custom 101"), StartsWith("read custom 102"),
                          StartsWith("report ")));
  EXPECT_TRUE(program.form.page_folder().empty());

  // A window that never loaded has nothing to remove and opens nothing when it goes.
  program.form.Unload();
  program.form.HomepageClick();
  EXPECT_EQ(program.log.events().size(), 4u);
  EXPECT_EQ(program.log.events().back(), kHomeOpened + " | - -");
  EXPECT_EQ(Entries(dir_.path()), (std::vector<std::string>{"a_file", "app", "run"}));
}

TEST_F(Form1Test, UnreadableResourceStopsStartUpBeforeAnyFileIsWritten) {
  for (const int missing : {101, 102}) {
    SCOPED_TRACE(missing);
    auto program = Start(Text(app_));
    program->resources.Remove(missing);
    const Status status = Module1::Main(program->form);
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(), HasSubstr("资源 custom " + std::to_string(missing)));
    EXPECT_EQ(program->reporter.messages(), std::vector<std::string>{status.message()});
    EXPECT_EQ(program->log.events().back(), "report " + status.message() + " | - -");
    EXPECT_THAT(Entries(app_), IsEmpty());
    EXPECT_FALSE(fs::exists(runtime_));
  }
}

TEST_F(Form1Test, PaneThatCannotNavigateStopsStartUpAndRemovesThePages) {
  for (const Pane pane : {Pane::kWebBrowser1, Pane::kWebBrowser2}) {
    SCOPED_TRACE(static_cast<int>(pane));
    auto program = Start(Text(app_));
    program->window.FailNavigate(pane);
    const Status status = Module1::Main(program->form);
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(), StartsWith("无法在窗口中打开网页文件 " + Text(app_) + "/"));
    EXPECT_THAT(status.message(), HasSubstr("pane refused"));
    EXPECT_EQ(program->log.events().back(), "report " + status.message() + " | - -");
    EXPECT_THAT(Entries(app_), IsEmpty());
    program->form.Unload();
    EXPECT_EQ(program->log.events().back(), "report " + status.message() + " | - -");
  }
}

}  // namespace
}  // namespace plq::testing
