#include "shell/core/form1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/core/addresses.h"
#include "shell/core/messages.h"
#include "tests/core/fakes.h"

namespace plq::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kExitOpened = std::string("open ") + kExitPageAddress + " 3";
const std::string kHomeOpened = std::string("open ") + kHomePageAddress + " 1";

// One copy of the program: the fakes around a Form1, all writing to one event log. Copies in one
// test share the folders' locks, as copies on one machine do.
struct Program {
  Program(std::string application_directory, std::vector<std::string> private_folders,
          FolderLocks& locks)
      : window(log),
        resources(log),
        launcher(log),
        reporter(log),
        folders(std::move(application_directory), std::move(private_folders), locks, log),
        form(window, resources, launcher, reporter, folders) {}

  // The events logged since `from`.
  std::vector<std::string> EventsSince(size_t from) const {
    return {log.events().begin() + static_cast<std::ptrdiff_t>(from), log.events().end()};
  }

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
    fs::create_directories(cache_.parent_path());
  }

  std::unique_ptr<Program> Start(const std::string& application_directory) {
    auto program = std::make_unique<Program>(
        application_directory, std::vector<std::string>{Text(runtime_), Text(cache_)}, locks_);
    program->log.WatchFolder(application_directory);
    return program;
  }

  // A started copy of the program from the application folder.
  std::unique_ptr<Program> Running() {
    auto program = Start(Text(app_));
    const Status status = Module1::Main(program->form);
    EXPECT_TRUE(status.ok()) << status.message();
    return program;
  }

  TempDir dir_;
  FolderLocks locks_;
  fs::path app_;
  fs::path runtime_;
  fs::path cache_;
};

TEST_F(Form1Test, StartUpWritesThePagesNavigatesThenSetsTheCaptionAndShows) {
  auto program = Start(Text(app_));
  const Status status = Module1::Main(program->form);
  ASSERT_TRUE(status.ok()) << status.message();

  const std::string app = Text(app_);
  EXPECT_THAT(program->log.events(), ElementsAre("read custom 101 | - -", "read custom 102 | - -",
                                                 "write plqclear.htm | - -", "write 1.htm | C -",
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
  const std::vector<std::string> events = program->log.events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "write plqclear.htm | - -"), 1);
  EXPECT_THAT(std::vector<std::string>(events.end() - 3, events.end()),
              ElementsAre("caption 排卵期计算器 | C S", "show | C S", "show | C S"));
}

TEST_F(Form1Test, ApplicationDirectoryEndingInASeparatorKeepsIt) {
  const std::string app = Text(app_) + "/";
  auto program = Start(app);
  ASSERT_TRUE(Module1::Main(program->form).ok());
  EXPECT_THAT(program->log.events(), Contains("navigate 1 " + app + "/plqclear.htm | C S"));
  EXPECT_THAT(program->log.events(), Contains("navigate 2 " + app + "/1.htm | C S"));
  program->form.Unload();
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, UnloadRemovesThePagesThenOpensTheExitPageMaximised) {
  auto program = Running();
  const size_t before = program->log.events().size();

  program->form.Unload();
  program->form.Unload();  // runs once

  EXPECT_THAT(
      program->EventsSince(before),
      ElementsAre("remove plqclear.htm | C S", "remove 1.htm | - S", kExitOpened + " | - -"));
  EXPECT_THAT(program->reporter.messages(), IsEmpty());
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, SessionEndRemovesThePagesWithNoBrowserAndNoMessage) {
  auto program = Running();
  program->launcher.set_failure("nothing should start");
  const size_t before = program->log.events().size();

  program->form.EndSession();
  program->form.Unload();  // the window closing afterwards changes nothing
  program->form.EndSession();

  EXPECT_THAT(program->EventsSince(before),
              ElementsAre("remove plqclear.htm | C S", "remove 1.htm | - S"));
  EXPECT_THAT(program->reporter.messages(), IsEmpty());
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, SessionEndBeforeOrWithoutALoadDoesNothing) {
  auto program = Start(Text(app_));
  program->form.EndSession();
  EXPECT_THAT(program->log.events(), IsEmpty());
}

TEST_F(Form1Test, EveryWayOfEndingEndsTheProgramOnceAndTheFirstOneDecides) {
  const struct {
    const char* name;
    void (*end)(Program&);
    std::vector<std::string> expected;
  } cases[] = {
      {"closed, then the session ends, then closed again",
       [](Program& p) {
         p.form.Unload();
         p.form.EndSession();
         p.form.Unload();
       },
       {"remove plqclear.htm | C S", "remove 1.htm | - S", kExitOpened + " | - -"}},
      {"the session ends, then closed",
       [](Program& p) {
         p.form.EndSession();
         p.form.Unload();
       },
       {"remove plqclear.htm | C S", "remove 1.htm | - S"}},
      // Someone else ended the window's loop: the pages go all the same, and no browser starts.
      {"the loop ends by itself",
       [](Program& p) { ASSERT_TRUE(Module1::Run(p.form).ok()); },
       {"loop | C S", "remove plqclear.htm | C S", "remove 1.htm | - S"}},
      {"closed, then the loop ends",
       [](Program& p) {
         p.form.Unload();
         ASSERT_TRUE(Module1::Run(p.form).ok());
       },
       {"remove plqclear.htm | C S", "remove 1.htm | - S", kExitOpened + " | - -"}},
  };
  for (const auto& c : cases) {
    auto program = Running();
    const size_t before = program->log.events().size();
    c.end(*program);
    EXPECT_THAT(program->EventsSince(before), ::testing::ElementsAreArray(c.expected)) << c.name;
    EXPECT_EQ(program->window.quits(), 1) << c.name;
    EXPECT_TRUE(program->form.ending()) << c.name;
    EXPECT_THAT(Entries(app_), IsEmpty()) << c.name;
  }
  // A window that never loaded only ends.
  auto unloaded = Start(Text(app_));
  unloaded->form.Unload();
  EXPECT_THAT(unloaded->log.events(), IsEmpty());
  EXPECT_EQ(unloaded->window.quits(), 1);
}

TEST_F(Form1Test, BothMenuEntriesOpenTheHomePageInANormalWindow) {
  auto program = Running();
  const size_t before = program->log.events().size();
  program->form.HomepageClick();
  program->form.AboutClick();
  program->form.AboutClick();
  EXPECT_THAT(program->EventsSince(before),
              ElementsAre(kHomeOpened + " | C S", kHomeOpened + " | C S", kHomeOpened + " | C S"));
}

TEST_F(Form1Test, APagesNewWindowOpensTheBrowserOnlyForAClickOnAWebAddress) {
  auto program = Running();
  const size_t before = program->log.events().size();
  program->form.NewWindowRequested("https://shop.example.com/item?id=7", true);
  program->form.NewWindowRequested("https://shop.example.com/popup", false);
  program->form.NewWindowRequested("file:///etc/passwd", true);
  program->form.NewWindowRequested("javascript:alert(1)", true);
  EXPECT_THAT(program->EventsSince(before),
              ElementsAre("open https://shop.example.com/item?id=7 1 | C S"));
}

TEST_F(Form1Test, BrowserThatCannotBeStartedIsReportedAndTheProgramGoesOn) {
  auto program = Running();
  program->launcher.set_failure("找不到浏览器 (2)");
  const size_t before = program->log.events().size();

  program->form.HomepageClick();
  program->form.AboutClick();
  program->form.Unload();

  const std::string home_failure =
      std::string("report 无法打开网页 ") + kHomePageAddress + "\n找不到浏览器 (2)";
  EXPECT_THAT(program->EventsSince(before),
              ElementsAre(kHomeOpened + " | C S", home_failure + " | C S", kHomeOpened + " | C S",
                          home_failure + " | C S", "remove plqclear.htm | C S",
                          "remove 1.htm | - S", kExitOpened + " | - -",
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
  for (const std::vector<const char*>& gone : std::vector<std::vector<const char*>>{
           {"plqclear.htm"}, {"1.htm"}, {"plqclear.htm", "1.htm"}}) {
    SCOPED_TRACE(gone.front());
    auto program = Running();
    for (const char* name : gone) fs::remove(app_ / name);
    program->form.Unload();
    EXPECT_EQ(program->log.events().back(), kExitOpened + " | - -");
    EXPECT_THAT(program->reporter.messages(), IsEmpty());
    EXPECT_THAT(Entries(app_), IsEmpty());
  }
}

TEST_F(Form1Test, PageThatCannotBeRemovedIsReportedAndUnloadGoesOn) {
  auto program = Running();
  fs::remove(app_ / "plqclear.htm");
  fs::create_directory(app_ / "plqclear.htm");
  WriteFile(app_ / "plqclear.htm" / "inside", ToBytes("kept"));
  const size_t before = program->log.events().size();

  program->form.Unload();

  EXPECT_THAT(program->EventsSince(before),
              ElementsAre("remove plqclear.htm | ! S", "remove 1.htm | ! S",
                          "report 无法删除网页文件 " + Text(app_) +
                              "/plqclear.htm：unlink: Is a directory | ! -",
                          kExitOpened + " | ! -"));
  EXPECT_EQ(ReadFile(app_ / "plqclear.htm" / "inside"), ToBytes("kept"));
}

TEST_F(Form1Test, TheLastCopyToLeaveTakesThePagesAway) {
  // Whichever copy closes first, the pages stay for the other and go with the last one.
  for (const bool first_leaves_first : {true, false}) {
    SCOPED_TRACE(first_leaves_first);
    auto first = Running();
    auto second = Running();
    EXPECT_EQ(first->form.page_folder(), second->form.page_folder());
    Program& early = first_leaves_first ? *first : *second;
    Program& late = first_leaves_first ? *second : *first;

    early.form.Unload();
    EXPECT_EQ(early.log.events().back(), kExitOpened + " | C S");
    EXPECT_EQ(Entries(app_), (std::vector<std::string>{"1.htm", "plqclear.htm"}));
    late.form.Unload();
    EXPECT_EQ(late.log.events().back(), kExitOpened + " | - -");
    EXPECT_THAT(early.reporter.messages(), IsEmpty());
    EXPECT_THAT(late.reporter.messages(), IsEmpty());
    EXPECT_THAT(Entries(app_), IsEmpty());
  }
}

TEST_F(Form1Test, ACopyThatEndedWithoutCleaningUpLeavesThePagesToTheNextOneToLeave) {
  auto killed = Running();
  auto survivor = Running();
  // Killed outright: its hold on the folder ends with it, its unload never runs.
  killed.reset();
  survivor->form.Unload();
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, LeftoversOfACopyThatDiedWhileWritingAreRemovedByTheNextStart) {
  WriteFile(app_ / "plqclear.htm.00112233aabbccdd.tmp", ToBytes("half a page"));
  WriteFile(app_ / "1.htm.ffeeddccbbaa9988.tmp", ToBytes(""));
  WriteFile(app_ / "notes.tmp", ToBytes("not ours"));
  auto program = Running();
  EXPECT_THAT(program->log.events(), Contains("remove plqclear.htm.00112233aabbccdd.tmp | - -"));
  EXPECT_EQ(Entries(app_), (std::vector<std::string>{"1.htm", "notes.tmp", "plqclear.htm"}));
}

TEST_F(Form1Test, AnotherCopysTemporaryFileIsNotTouched) {
  // While another copy uses the folder, a temporary file there may be one it is writing.
  auto running = Running();
  WriteFile(app_ / "plqclear.htm.00112233aabbccdd.tmp", ToBytes("being written"));
  auto starting = Running();
  EXPECT_EQ(ReadFile(app_ / "plqclear.htm.00112233aabbccdd.tmp"), ToBytes("being written"));
}

TEST_F(Form1Test, AFailedStartDoesNotTakeAwayThePagesAnotherCopyShows) {
  auto running = Running();
  auto failing = Start(Text(app_));
  failing->window.FailNavigate(Pane::kWebBrowser2);
  ASSERT_FALSE(Module1::Main(failing->form).ok());
  EXPECT_EQ(Entries(app_), (std::vector<std::string>{"1.htm", "plqclear.htm"}));
  running->form.Unload();
  EXPECT_THAT(Entries(app_), IsEmpty());
}

TEST_F(Form1Test, UnusableApplicationDirectoryFallsBackToAPrivateFolder) {
  const fs::path file = dir_.path() / "a_file";
  WriteFile(file, ToBytes("not a folder"));
  const fs::path open_to_all = dir_.path() / "open_to_all";
  fs::create_directory(open_to_all);
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
      {"others can write", Text(open_to_all)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto program = Start(c.application_directory);
    program->folders.SetFacts(Text(open_to_all),
                              {FolderFacts::Found::kFolder, FolderFacts::Owner::kUser, true});
    program->log.WatchFolder(Text(runtime_));
    const Status status = Module1::Main(program->form);
    ASSERT_TRUE(status.ok()) << status.message();

    const std::string runtime = Text(runtime_);
    EXPECT_EQ(program->form.page_folder(), runtime);
    EXPECT_TRUE(IsPrivate(runtime_));
    EXPECT_THAT(program->log.events(), ElementsAre("read custom 101 | - -", "read custom 102 | - -",
                                                   "write plqclear.htm | - -", "write 1.htm | C -",
                                                   "navigate 1 " + runtime + "/plqclear.htm | C S",
                                                   "navigate 2 " + runtime + "/1.htm | C S",
                                                   "caption 排卵期计算器 | C S", "show | C S"));
    EXPECT_THAT(program->reporter.messages(), IsEmpty());

    program->form.Unload();
    EXPECT_EQ(program->log.events().back(), kExitOpened + " | - -");
    // No file of the program outlives it, its private folder included.
    EXPECT_FALSE(fs::exists(runtime_));
    EXPECT_THAT(Entries(app_), IsEmpty());
    EXPECT_THAT(Entries(open_to_all), IsEmpty());
    EXPECT_EQ(ReadFile(file), ToBytes("not a folder"));
  }
}

TEST_F(Form1Test, ReadOnlyApplicationDirectoryFallsBackToAPrivateFolder) {
  fs::permissions(app_, fs::perms::owner_read | fs::perms::owner_exec);
  WriteFile(app_ / "probe", ToBytes("x"));
  if (fs::exists(app_ / "probe")) {
    GTEST_SKIP() << "this user writes through read-only modes (root); the window tests run the "
                    "program as an ordinary user for this case";
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
  auto program = Start(Text(dir_.path() / "missing"));
  program->folders.SetFacts(Text(runtime_), {FolderFacts::Found::kLink});
  program->log.WatchFolder(Text(cache_));
  ASSERT_TRUE(Module1::Main(program->form).ok());
  EXPECT_EQ(program->form.page_folder(), Text(cache_));
  EXPECT_FALSE(fs::exists(runtime_));

  program->form.Unload();
  EXPECT_FALSE(fs::exists(cache_));
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
  second->log.WatchFolder(Text(runtime_));
  ASSERT_TRUE(Module1::Main(first->form).ok());
  ASSERT_TRUE(Module1::Main(second->form).ok());
  EXPECT_EQ(second->form.page_folder(), Text(runtime_));
  first->form.Unload();
  EXPECT_EQ(Entries(runtime_), (std::vector<std::string>{"1.htm", "plqclear.htm"}));
  second->form.Unload();
  EXPECT_THAT(first->reporter.messages(), IsEmpty());
  EXPECT_THAT(second->reporter.messages(), IsEmpty());
  EXPECT_EQ(second->log.events().back(), kExitOpened + " | - -");
  EXPECT_FALSE(fs::exists(runtime_));
}

TEST_F(Form1Test, NoUsableFolderIsReportedNamingEachFolderAndStartUpFails) {
  const fs::path file = dir_.path() / "a_file";
  WriteFile(file, ToBytes("not a folder"));
  const std::string app = Text(file);
  const std::string runtime = Text(file / "run");
  const std::string cache = Text(file / "cache");
  const std::string long_folder = Text(dir_.path()) + "/" + std::string(100000, 'p');
  const std::string shared = Text(app_);
  Program program(app, {runtime, cache, "", long_folder, shared}, locks_);
  program.folders.SetFacts(shared, {FolderFacts::Found::kFolder, FolderFacts::Owner::kOther});
  program.log.WatchFolder(app);

  const Status status = Module1::Main(program.form);
  ASSERT_FALSE(status.ok());
  EXPECT_THAT(status.message(), StartsWith("没有可以写入网页文件的文件夹，程序无法启动。\n"));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + app + "：这不是文件夹"));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + runtime + "：文件夹不存在"));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + cache + "："));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 ：路径为空"));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + long_folder + "："));
  EXPECT_THAT(status.message(), HasSubstr("\n无法使用文件夹 " + shared + "：文件夹属于其他用户"));
  EXPECT_EQ(program.reporter.messages(), std::vector<std::string>{status.message()});
  // Nothing written, neither pane navigated, no caption, never shown.
  EXPECT_THAT(program.log.events(),
              ElementsAre(StartsWith("read custom 101"), StartsWith("read custom 102"),
                          StartsWith("report ")));
  EXPECT_TRUE(program.form.page_folder().empty());

  // A window that never loaded has nothing to remove and opens nothing when it goes.
  program.form.Unload();
  program.form.EndSession();
  program.form.HomepageClick();
  EXPECT_EQ(program.log.events().size(), 4u);
  EXPECT_EQ(program.log.events().back(), kHomeOpened + " | - -");
  EXPECT_EQ(Entries(dir_.path()), (std::vector<std::string>{"a_file", "app", "home", "run"}));
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

TEST_F(Form1Test, PageThatCannotBeShownIsReported) {
  auto program = Running();
  program->form.PageLoadFailed(Pane::kWebBrowser2, "file:///x/1.htm: not found");
  EXPECT_THAT(program->reporter.messages(), ElementsAre("无法在窗口中打开网页文件 " + Text(app_) +
                                                        "/1.htm：file:///x/1.htm: not found"));
}

TEST_F(Form1Test, PaneWhoseProcessEndedLoadsItsPageAgain) {
  auto program = Running();
  const size_t before = program->log.events().size();
  const std::string app = Text(app_);
  // Each time the page has loaded again, the next end is met the same way.
  for (int round = 0; round < 3; ++round) {
    program->form.PaneEnded(Pane::kWebBrowser1, "crashed");
    program->form.PageLoaded(Pane::kWebBrowser1);
  }
  program->form.PaneEnded(Pane::kWebBrowser2, "crashed");
  EXPECT_THAT(program->EventsSince(before), ElementsAre("navigate 1 " + app + "/plqclear.htm | C S",
                                                        "navigate 1 " + app + "/plqclear.htm | C S",
                                                        "navigate 1 " + app + "/plqclear.htm | C S",
                                                        "navigate 2 " + app + "/1.htm | C S"));
  EXPECT_THAT(program->reporter.messages(), IsEmpty());
}

TEST_F(Form1Test, APaneThatEndsAgainBeforeLoadingEndsTheProgramOnlyWhenItIsTheCalculator) {
  // The calculator cannot be shown: the user is told and the program ends. The side panel is
  // left empty, since it must never stop the calculator.
  const struct {
    Pane pane;
    std::vector<std::string> expected;
    int quits;
  } cases[] = {
      {Pane::kWebBrowser1,
       {"report " + messages::CalculatorKeepsFailing("crashed again") + " | C S",
        "remove plqclear.htm | C S", "remove 1.htm | - S"},
       1},
      {Pane::kWebBrowser2, {}, 0},
  };
  for (const auto& c : cases) {
    auto program = Running();
    const size_t before = program->log.events().size();
    program->form.PaneEnded(c.pane, "crashed");
    program->form.PaneEnded(c.pane, "crashed again");
    program->form.PaneEnded(c.pane, "and again");
    // Once the program ends, the window's close changes nothing.
    if (c.quits > 0) program->form.Unload();
    std::vector<std::string> events = program->EventsSince(before);
    ASSERT_FALSE(events.empty());
    EXPECT_THAT(events.front(), StartsWith("navigate " + std::to_string(static_cast<int>(c.pane))));
    events.erase(events.begin());
    EXPECT_EQ(events, c.expected);
    EXPECT_EQ(program->window.quits(), c.quits);
    if (c.pane == Pane::kWebBrowser2) {
      EXPECT_THAT(program->reporter.messages(), IsEmpty());
      EXPECT_EQ(Entries(app_), (std::vector<std::string>{"1.htm", "plqclear.htm"}));
    }
  }
}

TEST_F(Form1Test, PaneEventsAfterLeavingChangeNothing) {
  auto program = Running();
  program->form.Unload();
  const size_t before = program->log.events().size();
  program->form.PaneEnded(Pane::kWebBrowser1, "ended with the program");
  program->form.PageLoadFailed(Pane::kWebBrowser1, "cancelled");
  EXPECT_THAT(program->EventsSince(before), IsEmpty());
}

}  // namespace
}  // namespace plq::testing
