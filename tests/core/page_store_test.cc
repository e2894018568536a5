#include "shell/core/page_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/core/messages.h"
#include "tests/core/fakes.h"

namespace plq::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

TEST(PagePathTest, FolderFollowedDirectlyByTheFileName) {
  const struct {
    std::string folder;
    PageEntry page;
    std::string path;
  } cases[] = {
      {"/opt/plqcalc", kCalculatorPage, "/opt/plqcalc/plqclear.htm"},
      {"/opt/plqcalc", kSidePanelPage, "/opt/plqcalc/1.htm"},
      {"/opt/plqcalc/", kCalculatorPage, "/opt/plqcalc//plqclear.htm"},
      {"/", kSidePanelPage, "//1.htm"},
      {"C:\\", kCalculatorPage, "C:\\/plqclear.htm"},
      {"C:\\", kSidePanelPage, "C:\\/1.htm"},
      {R"(C:\Program Files\plqcalc)", kCalculatorPage, R"(C:\Program Files\plqcalc/plqclear.htm)"},
      {R"(C:\Program Files\plqcalc\)", kSidePanelPage, R"(C:\Program Files\plqcalc\/1.htm)"},
      {"\\\\server\\share", kSidePanelPage, "\\\\server\\share/1.htm"},
      {"/home/用户/排卵期 计算器", kCalculatorPage, "/home/用户/排卵期 计算器/plqclear.htm"},
      {"", kCalculatorPage, "/plqclear.htm"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PagePath(c.folder, c.page), c.path) << c.folder;
  }
}

// A page folder in a real temporary folder, logged.
struct Folder {
  Folder() : page_folder(dir.text(), FolderKind::kApplication, locks, log) {
    log.WatchFolder(dir.text());
  }
  TempDir dir;
  FolderLocks locks;
  EventLog log;
  FakePageFolder page_folder;
};

TEST(ExtractPagesTest, WritesTheCalculatorPageFirstWithExactlyTheResourceBytes) {
  Folder folder;
  Bytes every_byte;
  for (int i = 0; i < 512; ++i) every_byte.push_back(static_cast<unsigned char>(i));
  const PageContents contents{every_byte, SidePanelBytes()};
  ASSERT_TRUE(ExtractPages(contents, folder.page_folder).ok());
  EXPECT_THAT(folder.log.events(), ElementsAre("write plqclear.htm | - -", "write 1.htm | ? -"));
  EXPECT_EQ(ReadFile(folder.dir.path() / "plqclear.htm"), every_byte);
  EXPECT_EQ(ReadFile(folder.dir.path() / "1.htm"), SidePanelBytes());
}

TEST(ExtractPagesTest, FirstFailureStopsItAndNamesTheFile) {
  for (const char* blocked : {"plqclear.htm", "1.htm"}) {
    SCOPED_TRACE(blocked);
    Folder folder;
    fs::create_directory(folder.dir.path() / blocked);
    const Status status =
        ExtractPages(PageContents{CalculatorBytes(), SidePanelBytes()}, folder.page_folder);
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(),
                StartsWith("无法写入网页文件 " + folder.dir.text() + "/" + blocked + "：rename: "));
    // A page already written stays: another copy may show it.
    if (std::string(blocked) == "1.htm") {
      EXPECT_EQ(ReadFile(folder.dir.path() / "plqclear.htm"), CalculatorBytes());
    }
  }
}

TEST(ReadPagesTest, UnreadableResourceNamesItsTypeAndId) {
  for (const int missing : {101, 102}) {
    SCOPED_TRACE(missing);
    EventLog log;
    FakeResources resources(log);
    resources.Remove(missing);
    PageContents contents;
    const Status status = ReadPages(resources, &contents);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.message(),
              "无法读取内嵌网页（资源 custom " + std::to_string(missing) + "）：no such resource");
  }
}

TEST(RemovePagesTest, RemovesTheCalculatorPageThenTheSidePanelPage) {
  Folder folder;
  ASSERT_TRUE(
      ExtractPages(PageContents{CalculatorBytes(), SidePanelBytes()}, folder.page_folder).ok());
  folder.log = EventLog();
  folder.log.WatchFolder(folder.dir.text());
  ASSERT_TRUE(RemovePages(folder.page_folder).ok());
  EXPECT_THAT(folder.log.events(), ElementsAre("remove plqclear.htm | C S", "remove 1.htm | - S"));
  EXPECT_TRUE(Entries(folder.dir.path()).empty());
}

TEST(RemovePagesTest, PageThatCannotBeRemovedDoesNotKeepTheOtherOne) {
  for (const char* blocked : {"plqclear.htm", "1.htm"}) {
    SCOPED_TRACE(blocked);
    Folder folder;
    ASSERT_TRUE(
        ExtractPages(PageContents{CalculatorBytes(), SidePanelBytes()}, folder.page_folder).ok());
    fs::remove(folder.dir.path() / blocked);
    fs::create_directory(folder.dir.path() / blocked);

    const Status status = RemovePages(folder.page_folder);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.message(),
              "无法删除网页文件 " + folder.dir.text() + "/" + blocked + "：unlink: Is a directory");
    EXPECT_EQ(Entries(folder.dir.path()), std::vector<std::string>{blocked});
  }
}

TEST(CheckFolderPathTest, RefusesWhatNamesNoFolderAnywhere) {
  EXPECT_EQ(CheckFolderPath("").message(), messages::kEmptyPath);
  EXPECT_EQ(CheckFolderPath(std::string("/tmp\0/x", 7)).message(), messages::kPathWithNul);
  EXPECT_TRUE(CheckFolderPath("/opt/plqcalc").ok());
  EXPECT_TRUE(CheckFolderPath("relative").ok()) << "the platform judges what is absolute";
}

TEST(CheckFolderFactsTest, WhichFolderIsRefusedAndWhy) {
  using Found = FolderFacts::Found;
  using Owner = FolderFacts::Owner;
  const auto app = FolderKind::kApplication;
  const auto own = FolderKind::kPrivate;
  const struct {
    FolderKind kind;
    FolderFacts facts;
    const char* refusal;  // nullptr: used
  } cases[] = {
      {app, {Found::kFolder, Owner::kUser, false}, nullptr},
      // An administrator's folder (a system-wide install) is fine to use when it can be written.
      {app, {Found::kFolder, Owner::kAdministrator, false}, nullptr},
      // Another user could swap the page for one the program then runs.
      {app, {Found::kFolder, Owner::kOther, false}, messages::kOwnedByAnother},
      {app, {Found::kFolder, Owner::kUser, true}, messages::kOthersCanWrite},
      {app, {Found::kFolder, Owner::kAdministrator, true}, messages::kOthersCanWrite},
      {own, {Found::kFolder, Owner::kUser, false}, nullptr},
      {own, {Found::kFolder, Owner::kAdministrator, false}, messages::kOwnedByAnother},
      {own, {Found::kFolder, Owner::kOther, false}, messages::kOwnedByAnother},
      {own, {Found::kFolder, Owner::kUser, true}, messages::kOthersCanWrite},
      {app, {Found::kNothing, Owner::kUser, false}, messages::kNoSuchFolder},
      {own, {Found::kLink, Owner::kUser, false}, messages::kIsALink},
      {app, {Found::kLink, Owner::kUser, false}, messages::kIsALink},
      {app, {Found::kOther, Owner::kUser, false}, messages::kNotAFolder},
      {own, {Found::kBadPath, Owner::kUser, false}, messages::kBadPath},
      {own, {Found::kTooLong, Owner::kUser, false}, messages::kPathTooLong},
  };
  for (const auto& c : cases) {
    const Status status = CheckFolderFacts(c.kind, c.facts);
    SCOPED_TRACE(std::to_string(static_cast<int>(c.kind)) + " " +
                 std::to_string(static_cast<int>(c.facts.found)) + " " +
                 std::to_string(static_cast<int>(c.facts.owner)) + " " +
                 std::to_string(c.facts.others_can_write));
    if (c.refusal == nullptr) {
      EXPECT_TRUE(status.ok()) << status.message();
    } else {
      EXPECT_EQ(status.message(), c.refusal);
    }
  }
}

}  // namespace
}  // namespace plq::testing
