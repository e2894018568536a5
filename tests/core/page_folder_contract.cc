// The page folder's contract, run by each backend's tests on the real file system.
#include "tests/core/page_folder_contract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "shell/core/folder_lock.h"
#include "shell/core/messages.h"
#include "tests/core/fakes.h"

namespace plq::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Symbolic links need a privilege on Windows; where they cannot be made the test skips.
bool MakeSymlink(const fs::path& target, const fs::path& link, bool directory = false) {
  std::error_code error;
  if (directory) {
    fs::create_directory_symlink(target, link, error);
  } else {
    fs::create_symlink(target, link, error);
  }
  return !error && fs::is_symlink(fs::symlink_status(link, error));
}

// What a folder holds, but for the backend's own bookkeeping.
std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names = Entries(folder);
  names.erase(std::remove_if(names.begin(), names.end(), IsBookkeeping), names.end());
  return names;
}

class PageFolderContract : public ::testing::Test {
 protected:
  PageFolderContract() : app_(dir_.path() / "app") { fs::create_directory(app_); }

  std::unique_ptr<PageFolder> OpenOrFail(const fs::path& folder,
                                         FolderKind kind = FolderKind::kApplication) {
    std::unique_ptr<PageFolder> opened;
    const Status status = OpenPageFolder(Text(folder), kind, &opened);
    EXPECT_TRUE(status.ok()) << Text(folder) << ": " << status.message();
    return opened;
  }

  Status Refusal(const fs::path& folder, FolderKind kind) {
    std::unique_ptr<PageFolder> opened;
    Status status = OpenPageFolder(Text(folder), kind, &opened);
    EXPECT_EQ(opened, nullptr);
    return status;
  }

  TempDir dir_;
  fs::path app_;
};

TEST_F(PageFolderContract, WriteLeavesExactlyTheBytesAndNothingElse) {
  Bytes every_byte;
  for (int i = 0; i < 512; ++i) every_byte.push_back(static_cast<unsigned char>(i));
  const Bytes cases[] = {every_byte, Bytes(), CalculatorBytes(), Bytes(1, 0)};
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->path(), Text(app_));
  // Over a longer file left behind: none of its tail may stay.
  WriteFile(app_ / "plqclear.htm", Bytes(40000, 'x'));
  for (const Bytes& bytes : cases) {
    ASSERT_TRUE(folder->Write("plqclear.htm", bytes).ok());
    EXPECT_EQ(ReadFile(app_ / "plqclear.htm"), bytes);
    EXPECT_THAT(Listing(app_), ElementsAre("plqclear.htm"));
  }
}

TEST_F(PageFolderContract, WriteReplacesALinkAndLeavesItsTargetAlone) {
  const fs::path elsewhere = dir_.path() / "elsewhere";
  fs::create_directory(elsewhere);
  WriteFile(elsewhere / "victim", ToBytes("must stay"));
  if (!MakeSymlink(elsewhere / "victim", app_ / "1.htm")) GTEST_SKIP() << "no symbolic links here";
  ASSERT_TRUE(MakeSymlink(elsewhere / "absent", app_ / "plqclear.htm"));
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  ASSERT_TRUE(folder->Write("1.htm", SidePanelBytes()).ok());
  ASSERT_TRUE(folder->Write("plqclear.htm", CalculatorBytes()).ok());
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(app_ / "1.htm")));
  EXPECT_EQ(ReadFile(app_ / "1.htm"), SidePanelBytes());
  EXPECT_EQ(ReadFile(elsewhere / "victim"), ToBytes("must stay"));
  EXPECT_THAT(Listing(elsewhere), ElementsAre("victim"));
}

TEST_F(PageFolderContract, FailedWriteLeavesNoTemporaryFile) {
  fs::create_directory(app_ / "1.htm");
  WriteFile(app_ / "1.htm" / "inside", ToBytes("kept"));
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  EXPECT_FALSE(folder->Write("1.htm", SidePanelBytes()).ok());
  EXPECT_THAT(Listing(app_), ElementsAre("1.htm"));
  EXPECT_EQ(ReadFile(app_ / "1.htm" / "inside"), ToBytes("kept"));
}

TEST_F(PageFolderContract, RemoveDeletesTheFileAndCountsOneAlreadyGoneAsDeleted) {
  WriteFile(app_ / "plqclear.htm", CalculatorBytes());
  WriteFile(app_ / "unrelated.txt", ToBytes("mine"));
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(folder->Remove("plqclear.htm").ok());
  EXPECT_TRUE(folder->Remove("plqclear.htm").ok());
  EXPECT_TRUE(folder->Remove("1.htm").ok());
  EXPECT_THAT(Listing(app_), ElementsAre("unrelated.txt"));
}

TEST_F(PageFolderContract, RemoveLeavesAFolderAndFails) {
  fs::create_directory(app_ / "plqclear.htm");
  WriteFile(app_ / "plqclear.htm" / "inside", ToBytes("kept"));
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  const Status status = folder->Remove("plqclear.htm");
  EXPECT_FALSE(status.ok());
  EXPECT_FALSE(status.message().empty());
  EXPECT_EQ(ReadFile(app_ / "plqclear.htm" / "inside"), ToBytes("kept"));
}

TEST_F(PageFolderContract, RemoveDeletesALinkNotItsTarget) {
  WriteFile(dir_.path() / "victim", ToBytes("precious"));
  if (!MakeSymlink(dir_.path() / "victim", app_ / "plqclear.htm")) {
    GTEST_SKIP() << "no symbolic links here";
  }
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(folder->Remove("plqclear.htm").ok());
  EXPECT_THAT(Listing(app_), IsEmpty());
  EXPECT_EQ(ReadFile(dir_.path() / "victim"), ToBytes("precious"));
}

TEST_F(PageFolderContract, RemoveLeftoversDeletesOnlyTemporaryFilesOfThatName) {
  const std::vector<std::string> leftovers = {"plqclear.htm.0123456789abcdef.tmp",
                                              "plqclear.htm.fedcba9876543210.tmp"};
  const std::vector<std::string> others = {"plqclear.htm",
                                           "plqclear.htm.tmp",
                                           "plqclear.htm.0123456789abcdef",
                                           "plqclear.htm.0123456789abcdeg.tmp",
                                           "plqclear.htm.0123456789abcde.tmp",
                                           "1.htm.0123456789abcdef.tmp",
                                           "xplqclear.htm.0123456789abcdef.tmp"};
  for (const auto& name : leftovers) WriteFile(app_ / name, ToBytes("half"));
  for (const auto& name : others) WriteFile(app_ / name, ToBytes("kept"));
  auto folder = OpenOrFail(app_);
  ASSERT_NE(folder, nullptr);
  ASSERT_TRUE(folder->TryHoldAlone());
  folder->RemoveLeftovers("plqclear.htm");
  std::vector<std::string> expected = others;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listing(app_), expected);
}

TEST_F(PageFolderContract, OnlyTheLastCopyHoldsTheFolderAlone) {
  auto first = OpenOrFail(app_);
  auto second = OpenOrFail(app_);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(first->TryHoldAlone());
  EXPECT_FALSE(second->TryHoldAlone());
  // A refused try still holds the folder shared: the other copy is still not alone.
  EXPECT_FALSE(first->TryHoldAlone());
  second.reset();
  EXPECT_TRUE(first->TryHoldAlone());
  EXPECT_TRUE(first->Share().ok());
  auto third = OpenOrFail(app_);
  ASSERT_NE(third, nullptr);
  EXPECT_FALSE(first->TryHoldAlone());
}

TEST_F(PageFolderContract, ACopyStartingWhileAnotherHoldsTheFolderAloneWaitsForIt) {
  auto leaving = OpenOrFail(app_);
  ASSERT_NE(leaving, nullptr);
  ASSERT_TRUE(leaving->TryHoldAlone());
  std::atomic<bool> let_go{false};
  std::atomic<bool> opened_before_let_go{false};
  std::atomic<bool> returned{false};
  std::unique_ptr<PageFolder> starting;
  Status started = Status::Ok();
  const unsigned long retries = LockRetries();
  std::thread start([&] {
    started = OpenPageFolder(Text(app_), FolderKind::kApplication, &starting);
    opened_before_let_go = !let_go;
    returned = true;
  });
  // The leaving copy lets go once the starting one has found the folder held and is waiting.
  WaitUntil([&] { return LockRetries() > retries || returned; });
  const bool waited = LockRetries() > retries;
  let_go = true;
  leaving.reset();
  start.join();
  EXPECT_TRUE(waited) << "the starting copy never found the folder held";
  ASSERT_TRUE(started.ok()) << started.message();
  EXPECT_FALSE(opened_before_let_go);
  EXPECT_TRUE(starting->TryHoldAlone());
}

TEST_F(PageFolderContract, PrivateFolderIsMadeWhenMissingAndGoesWhenEmpty) {
  const fs::path made = dir_.path() / "plqcalc";
  auto folder = OpenOrFail(made, FolderKind::kPrivate);
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(IsPrivate(made));
  ASSERT_TRUE(folder->Write("1.htm", SidePanelBytes()).ok());
  ASSERT_TRUE(folder->TryHoldAlone());
  folder->RemoveIfEmpty();  // not empty: stays
  EXPECT_THAT(Listing(made), ElementsAre("1.htm"));
  ASSERT_TRUE(folder->Remove("1.htm").ok());
  folder->RemoveIfEmpty();
  folder.reset();
  EXPECT_FALSE(fs::exists(made));

  // The application folder is never taken away.
  auto app = OpenOrFail(app_);
  ASSERT_NE(app, nullptr);
  ASSERT_TRUE(app->TryHoldAlone());
  app->RemoveIfEmpty();
  app.reset();
  EXPECT_TRUE(fs::is_directory(app_));
  EXPECT_THAT(Listing(app_), IsEmpty());
}

TEST_F(PageFolderContract, WhatIsNoFolderIsRefusedWithTheReason) {
  const fs::path file = dir_.path() / "a_file";
  WriteFile(file, ToBytes("content"));
  const struct {
    const char* name;
    fs::path path;
    FolderKind kind;
    const char* reason;
  } cases[] = {
      {"a file", file, FolderKind::kApplication, messages::kNotAFolder},
      {"a file as private folder", file, FolderKind::kPrivate, messages::kNotAFolder},
      {"missing", dir_.path() / "missing", FolderKind::kApplication, messages::kNoSuchFolder},
      {"missing parent", dir_.path() / "missing" / "plqcalc", FolderKind::kPrivate,
       messages::kNoSuchFolder},
      {"relative", "relative", FolderKind::kApplication, messages::kBadPath},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Refusal(c.path, c.kind).message(), c.reason);
  }
  EXPECT_EQ(ReadFile(file), ToBytes("content"));
  EXPECT_THAT(Listing(dir_.path()), ElementsAre("a_file", "app"));
}

TEST_F(PageFolderContract, ALinkIsRefusedAndNothingIsWrittenThroughIt) {
  const fs::path real = dir_.path() / "real";
  fs::create_directory(real);
  if (!MakeSymlink(real, dir_.path() / "link", true)) GTEST_SKIP() << "no symbolic links here";
  for (const FolderKind kind : {FolderKind::kApplication, FolderKind::kPrivate}) {
    EXPECT_EQ(Refusal(dir_.path() / "link", kind).message(), messages::kIsALink);
  }
  EXPECT_THAT(Listing(real), IsEmpty());
}

TEST_F(PageFolderContract, ApplicationFolderThatOthersCanChangeIsRefused) {
  if (!LetOthersWrite(app_)) GTEST_SKIP() << "cannot let others write here";
  EXPECT_EQ(Refusal(app_, FolderKind::kApplication).message(), messages::kOthersCanWrite);
}

}  // namespace
}  // namespace plq::testing
