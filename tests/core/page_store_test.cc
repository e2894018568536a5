#include "shell/core/page_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/core/directory_watch.h"
#include "tests/core/fakes.h"

namespace plq::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::vector<std::string> kBothPages = {"1.htm", "plqclear.htm"};

fs::path CalculatorFile(const fs::path& folder) { return folder / "plqclear.htm"; }
fs::path SidePanelFile(const fs::path& folder) { return folder / "1.htm"; }

// Symbolic links need a privilege on Windows; where they cannot be made the test skips.
bool MakeSymlink(const fs::path& target, const fs::path& link, bool directory = false) {
  std::error_code error;
  if (directory) {
    fs::create_directory_symlink(target, link, error);
  } else {
    fs::create_symlink(target, link, error);
  }
  return !error;
}

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
      {"C:\\Program Files\\plqcalc", kCalculatorPage, "C:\\Program Files\\plqcalc/plqclear.htm"},
      {"C:\\Program Files\\plqcalc\\", kSidePanelPage, "C:\\Program Files\\plqcalc\\/1.htm"},
      {"\\\\server\\share", kSidePanelPage, "\\\\server\\share/1.htm"},
      {"/home/用户/排卵期 计算器", kCalculatorPage, "/home/用户/排卵期 计算器/plqclear.htm"},
      {"", kCalculatorPage, "/plqclear.htm"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PagePath(c.folder, c.page), c.path) << c.folder;
  }
}

TEST(ExtractPagesTest, FilesHoldExactlyTheResourceBytes) {
  Bytes every_byte;
  for (int i = 0; i < 512; ++i) every_byte.push_back(static_cast<unsigned char>(i));
  const Bytes long_old(100000, 'x');
  const struct {
    const char* name;
    Bytes calculator;
    Bytes side_panel;
    const Bytes* old_files;  // left by an earlier run, or none
  } cases[] = {
      {"new files", CalculatorBytes(), SidePanelBytes(), nullptr},
      {"over longer old files", CalculatorBytes(), SidePanelBytes(), &long_old},
      {"over identical old files", CalculatorBytes(), SidePanelBytes(), nullptr},
      {"zero bytes", Bytes(), Bytes(), &long_old},
      {"zero bytes only", Bytes(3, 0), Bytes(1, 0), &long_old},
      {"every byte value", every_byte, every_byte, nullptr},
      {"one mebibyte", Bytes(1 << 20, 0xA5), Bytes(5, '\n'), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.old_files != nullptr) {
      WriteFile(CalculatorFile(dir.path()), *c.old_files);
      WriteFile(SidePanelFile(dir.path()), *c.old_files);
    }
    EventLog log;
    FakeResources resources(log);
    resources.Set(101, c.calculator);
    resources.Set(102, c.side_panel);
    ASSERT_TRUE(ExtractPages(resources, dir.text()).ok());
    // Again, as a second copy of the program started from the same folder does.
    const Status again = ExtractPages(resources, dir.text());
    EXPECT_TRUE(again.ok()) << again.message();
    EXPECT_EQ(ReadFile(CalculatorFile(dir.path())), c.calculator);
    EXPECT_EQ(ReadFile(SidePanelFile(dir.path())), c.side_panel);
    EXPECT_EQ(Entries(dir.path()), kBothPages);
  }
}

TEST(ExtractPagesTest, FolderWithATrailingSeparator) {
  TempDir dir;
  EventLog log;
  FakeResources resources(log);
  ASSERT_TRUE(ExtractPages(resources, dir.text() + "/").ok());
  EXPECT_EQ(ReadFile(CalculatorFile(dir.path())), CalculatorBytes());
  EXPECT_EQ(ReadFile(SidePanelFile(dir.path())), SidePanelBytes());
  EXPECT_TRUE(RemovePages(dir.text() + "/").ok());
  EXPECT_TRUE(Entries(dir.path()).empty());
}

TEST(ExtractPagesTest, ReplacesAPlantedLinkAndLeavesItsTargetAlone) {
  const struct {
    const char* name;
    bool target_is_directory;
    bool target_exists;
  } cases[] = {
      {"link to a file", false, true},
      {"dangling link", false, false},
      {"link to a folder", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path app = dir.path() / "app";
    const fs::path elsewhere = dir.path() / "elsewhere";
    fs::create_directories(app);
    fs::create_directories(elsewhere);
    const fs::path target = elsewhere / "victim";
    if (c.target_is_directory) {
      fs::create_directory(target);
    } else if (c.target_exists) {
      WriteFile(target, ToBytes("precious"));
    }
    if (!MakeSymlink(target, CalculatorFile(app), c.target_is_directory) ||
        !MakeSymlink(target, SidePanelFile(app), c.target_is_directory)) {
      GTEST_SKIP() << "cannot make symbolic links here";
    }
    EventLog log;
    FakeResources resources(log);
    ASSERT_TRUE(ExtractPages(resources, Text(app)).ok());

    for (const fs::path& page : {CalculatorFile(app), SidePanelFile(app)}) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(page))) << page;
    }
    EXPECT_EQ(ReadFile(CalculatorFile(app)), CalculatorBytes());
    EXPECT_EQ(ReadFile(SidePanelFile(app)), SidePanelBytes());
    EXPECT_EQ(Entries(app), kBothPages);
    if (c.target_is_directory) {
      EXPECT_TRUE(Entries(target).empty());
    } else if (c.target_exists) {
      EXPECT_EQ(ReadFile(target), ToBytes("precious"));
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(target)));
    }
    EXPECT_EQ(Entries(elsewhere).size(), c.target_exists ? 1u : 0u);
  }
}

TEST(ExtractPagesTest, UnreadableResourceTouchesNoFile) {
  for (const int missing : {101, 102}) {
    SCOPED_TRACE(missing);
    TempDir dir;
    WriteFile(CalculatorFile(dir.path()), ToBytes("old calculator"));
    EventLog log;
    FakeResources resources(log);
    resources.Remove(missing);

    const Status status = ExtractPages(resources, dir.text());
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(), HasSubstr(std::to_string(missing)));
    EXPECT_THAT(status.message(), HasSubstr("no such resource"));
    EXPECT_EQ(ReadFile(CalculatorFile(dir.path())), ToBytes("old calculator"));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"plqclear.htm"});
  }
}

TEST(ExtractPagesTest, FailureLeavesNoFileOfTheProgramBehind) {
  // A folder standing at a page path cannot be replaced by a file. When it is the second page,
  // the first page, already in place, goes again.
  const struct {
    const char* blocked;
    const char* named_in_message;
  } cases[] = {{"plqclear.htm", "plqclear.htm"}, {"1.htm", "1.htm"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    TempDir dir;
    fs::create_directory(dir.path() / c.blocked);
    WriteFile(dir.path() / c.blocked / "inside", ToBytes("kept"));
    EventLog log;
    FakeResources resources(log);

    const Status status = ExtractPages(resources, dir.text());
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(), StartsWith("无法写入网页文件 " + dir.text() + "/"));
    EXPECT_THAT(status.message(), HasSubstr(c.named_in_message));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{c.blocked});
    EXPECT_EQ(ReadFile(dir.path() / c.blocked / "inside"), ToBytes("kept"));
  }
}

TEST(ExtractPagesTest, FolderThatCannotHoldFilesIsReportedWithTheReason) {
  TempDir dir;
  const fs::path file = dir.path() / "a_file";
  WriteFile(file, ToBytes("not a folder"));
  const struct {
    const char* name;
    fs::path folder;
  } cases[] = {
      {"a regular file", file},
      {"under a regular file", file / "app"},
      {"missing folder", dir.path() / "missing"},
      {"missing parent", dir.path() / "missing" / "app"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EventLog log;
    FakeResources resources(log);
    const Status status = ExtractPages(resources, Text(c.folder));
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(), HasSubstr(Text(c.folder) + "/plqclear.htm："));
    // The reason follows the path.
    EXPECT_GT(status.message().size(), status.message().find("：") + 3);
  }
  EventLog log;
  FakeResources resources(log);
  const std::string missing = Text(dir.path() / "missing");
  EXPECT_EQ(ExtractPages(resources, missing).message(),
            "无法写入网页文件 " + missing + "/plqclear.htm：" +
                std::make_error_code(std::errc::no_such_file_or_directory).message());
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"a_file"});
  EXPECT_EQ(ReadFile(file), ToBytes("not a folder"));
}

TEST(ExtractPagesTest, BadFolderTextIsRefusedWithoutWritingAnywhere) {
  TempDir dir;
  const bool root_had_page = fs::exists(fs::symlink_status("/plqclear.htm"));
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path());
  std::string deep = dir.text();
  for (int i = 0; i < 5000; ++i) deep += "/d";
  const struct {
    const char* name;
    std::string folder;
    bool refused_outright;  // rather than found to hold no page
  } cases[] = {
      {"empty", "", true},
      {"relative", "relative", true},
      {"current folder", ".", true},
      {"embedded NUL", dir.text() + std::string("\0/x", 3), true},
      {"very long", dir.text() + "/" + std::string(100000, 'a'), false},
      {"many levels", deep, false},
      {"not UTF-8", dir.text() + "/\xFF\xFE", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EventLog log;
    FakeResources resources(log);
    EXPECT_FALSE(ExtractPages(resources, c.folder).ok());
    EXPECT_FALSE(WritePages(PageContents{CalculatorBytes(), SidePanelBytes()}, c.folder).ok());
    const Status removed = RemovePages(c.folder);
    if (c.refused_outright) {
      EXPECT_FALSE(removed.ok());
    }
  }
  fs::current_path(cwd);
  EXPECT_TRUE(Entries(dir.path()).empty());
  EXPECT_EQ(fs::exists(fs::symlink_status("/plqclear.htm")), root_had_page);
}

TEST(ExtractPagesTest, WritesTheCalculatorPageFirstThroughATemporaryFileBesideIt) {
  TempDir dir;
  DirectoryWatch watch(dir.path());
  if (!watch.available()) GTEST_SKIP() << "no directory watch on this platform";
  EventLog log;
  FakeResources resources(log);
  ASSERT_TRUE(ExtractPages(resources, dir.text()).ok());

  const std::vector<std::string> events = watch.Take();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_THAT(events[0], StartsWith("create plqclear.htm."));
  EXPECT_EQ(events[1], "moved_to plqclear.htm");
  EXPECT_THAT(events[2], StartsWith("create 1.htm."));
  EXPECT_EQ(events[3], "moved_to 1.htm");
}

TEST(RemovePagesTest, RemovesTheCalculatorPageThenTheSidePanelPage) {
  TempDir dir;
  EventLog log;
  FakeResources resources(log);
  ASSERT_TRUE(ExtractPages(resources, dir.text()).ok());
  DirectoryWatch watch(dir.path());
  ASSERT_TRUE(RemovePages(dir.text()).ok());
  EXPECT_TRUE(Entries(dir.path()).empty());
  if (watch.available()) {
    EXPECT_EQ(watch.Take(), (std::vector<std::string>{"delete plqclear.htm", "delete 1.htm"}));
  }
}

TEST(RemovePagesTest, FileAlreadyGoneCountsAsRemoved) {
  const struct {
    const char* name;
    std::vector<std::string> gone;
  } cases[] = {
      {"calculator page gone", {"plqclear.htm"}},
      {"side panel page gone", {"1.htm"}},
      {"both gone", {"plqclear.htm", "1.htm"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    EventLog log;
    FakeResources resources(log);
    ASSERT_TRUE(ExtractPages(resources, dir.text()).ok());
    WriteFile(dir.path() / "unrelated.txt", ToBytes("mine"));
    for (const std::string& name : c.gone) fs::remove(dir.path() / name);

    const Status status = RemovePages(dir.text());
    EXPECT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"unrelated.txt"});
  }
  // Nothing there at all: the folder itself is gone.
  TempDir dir;
  EXPECT_TRUE(RemovePages(Text(dir.path() / "missing")).ok());
}

TEST(RemovePagesTest, PageThatCannotBeRemovedDoesNotKeepTheOtherOne) {
  for (const char* blocked : {"plqclear.htm", "1.htm"}) {
    SCOPED_TRACE(blocked);
    TempDir dir;
    EventLog log;
    FakeResources resources(log);
    ASSERT_TRUE(ExtractPages(resources, dir.text()).ok());
    fs::remove(dir.path() / blocked);
    fs::create_directory(dir.path() / blocked);
    WriteFile(dir.path() / blocked / "inside", ToBytes("kept"));

    const Status status = RemovePages(dir.text());
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.message(),
              "无法删除网页文件 " + dir.text() + "/" + blocked + "：这是一个文件夹");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{blocked});
    EXPECT_EQ(ReadFile(dir.path() / blocked / "inside"), ToBytes("kept"));
  }
}

TEST(RemovePagesTest, RemovesALinkNotItsTarget) {
  TempDir dir;
  const fs::path target = dir.path() / "victim";
  const fs::path app = dir.path() / "app";
  fs::create_directory(app);
  WriteFile(target, ToBytes("precious"));
  if (!MakeSymlink(target, CalculatorFile(app))) GTEST_SKIP() << "cannot make symbolic links";
  ASSERT_TRUE(RemovePages(Text(app)).ok());
  EXPECT_TRUE(Entries(app).empty());
  EXPECT_EQ(ReadFile(target), ToBytes("precious"));
}

TEST(PreparePrivateFolderTest, CreatesOrNarrowsTheFolderToItsOwner) {
  TempDir dir;
  const fs::path created = dir.path() / "plqcalc";
  ASSERT_TRUE(PreparePrivateFolder(Text(created)).ok());
  EXPECT_TRUE(IsPrivate(created));

  const fs::path with_parent = dir.path() / "home" / ".cache" / "plqcalc";
  ASSERT_TRUE(PreparePrivateFolder(Text(with_parent)).ok());
  EXPECT_TRUE(IsPrivate(with_parent));

  const fs::path existing = dir.path() / "existing";
  fs::create_directory(existing);
  fs::permissions(existing, fs::perms::all);
  WriteFile(existing / "kept", ToBytes("kept"));
  ASSERT_TRUE(PreparePrivateFolder(Text(existing)).ok());
  EXPECT_TRUE(IsPrivate(existing));
  EXPECT_EQ(ReadFile(existing / "kept"), ToBytes("kept"));
}

TEST(PreparePrivateFolderTest, RefusesWhatIsNotAFolderOfItsOwn) {
  TempDir dir;
  const fs::path file = dir.path() / "file";
  WriteFile(file, ToBytes("content"));
  const fs::path real = dir.path() / "real";
  fs::create_directory(real);
  fs::permissions(real, fs::perms::all);
  const fs::path link = dir.path() / "link";
  const bool have_link = MakeSymlink(real, link, true);

  std::vector<std::pair<std::string, std::string>> cases = {
      {Text(file), "这不是文件夹"},
      {Text(file / "plqcalc"), ""},
      {"", "路径为空"},
      {"relative/plqcalc", "不是绝对路径"},
  };
  if (have_link) cases.push_back({Text(link), "这是一个链接，不是文件夹"});
  for (const auto& [folder, reason] : cases) {
    SCOPED_TRACE(folder);
    const Status status = PreparePrivateFolder(folder);
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.message(), StartsWith("无法使用文件夹 " + folder + "："));
    EXPECT_THAT(status.message(), HasSubstr(reason));
  }
  EXPECT_EQ(ReadFile(file), ToBytes("content"));
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::all);
}

TEST(RemovePrivateFolderIfEmptyTest, RemovesOnlyAnEmptyFolder) {
  TempDir dir;
  const fs::path empty = dir.path() / "empty";
  const fs::path busy = dir.path() / "busy";
  fs::create_directory(empty);
  fs::create_directory(busy);
  WriteFile(busy / "1.htm", ToBytes("another copy's page"));
  const fs::path link = dir.path() / "link";
  const fs::path link_target = dir.path() / "target";
  fs::create_directory(link_target);
  const bool have_link = MakeSymlink(link_target, link, true);

  RemovePrivateFolderIfEmpty(Text(empty));
  RemovePrivateFolderIfEmpty(Text(busy));
  RemovePrivateFolderIfEmpty(Text(link));
  RemovePrivateFolderIfEmpty("");
  RemovePrivateFolderIfEmpty(Text(dir.path() / "missing"));

  EXPECT_FALSE(fs::exists(empty));
  EXPECT_EQ(ReadFile(busy / "1.htm"), ToBytes("another copy's page"));
  EXPECT_TRUE(fs::is_directory(link_target));
  if (have_link) {
    EXPECT_TRUE(fs::is_symlink(link));
  }
}

}  // namespace
}  // namespace plq::testing
