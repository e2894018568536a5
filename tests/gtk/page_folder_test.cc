// The Linux page folder: the contract every backend keeps (tests/core/page_folder_contract.cc),
// and what only POSIX has: modes whatever the umask, owners, sticky folders, file-size limits,
// full disks and the order of the file operations (inotify).
#include "shell/gtk/page_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/core/folder_lock.h"
#include "shell/core/messages.h"
#include "tests/core/fakes.h"
#include "tests/core/page_folder_contract.h"
#include "tests/gtk/directory_watch.h"

namespace plq::testing {

Status OpenPageFolder(const std::string& path, FolderKind kind,
                      std::unique_ptr<PageFolder>* folder) {
  std::unique_ptr<gtk::PageFolder> opened;
  Status status = gtk::PageFolder::Open(path, kind, &opened);
  *folder = std::move(opened);
  return status;
}

bool LetOthersWrite(const fs::path& folder) { return chmod(folder.c_str(), 0777) == 0; }

// The lock is on the folder itself: nothing of it shows in the folder.
bool IsBookkeeping(const std::string&) { return false; }

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

mode_t ModeOf(const fs::path& path) {
  struct stat found;
  EXPECT_EQ(lstat(path.c_str(), &found), 0) << path;
  return found.st_mode & 07777;
}

std::unique_ptr<PageFolder> Opened(const fs::path& folder,
                                   FolderKind kind = FolderKind::kApplication) {
  std::unique_ptr<PageFolder> opened;
  const Status status = OpenPageFolder(folder.string(), kind, &opened);
  EXPECT_TRUE(status.ok()) << folder << ": " << status.message();
  return opened;
}

// nobody's user and group ids, for folders of another user; only root can hand one over.
bool OtherUser(uid_t* uid, gid_t* gid) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr) return false;
  *uid = nobody->pw_uid;
  *gid = nobody->pw_gid;
  return true;
}

TEST(PosixPageFolderTest, PagesAreReadableByAllAndWritableByTheOwnerWhateverTheUmask) {
  for (const mode_t mask : {000, 002, 022, 077, 0777}) {
    SCOPED_TRACE(mask);
    TempDir dir;
    auto folder = Opened(dir.path());
    ASSERT_NE(folder, nullptr);
    const mode_t saved = umask(mask);
    const Status written = folder->Write("plqclear.htm", CalculatorBytes());
    umask(saved);
    ASSERT_TRUE(written.ok()) << written.message();
    EXPECT_EQ(ModeOf(dir.path() / "plqclear.htm"), 0644u);
  }
}

TEST(PosixPageFolderTest, WriteGoesThroughAFreshTemporaryFileRenamedOverThePage) {
  TempDir dir;
  DirectoryWatch watch(dir.path());
  ASSERT_TRUE(watch.available());
  auto folder = Opened(dir.path());
  ASSERT_NE(folder, nullptr);
  ASSERT_TRUE(folder->Write("plqclear.htm", CalculatorBytes()).ok());
  ASSERT_TRUE(folder->Write("1.htm", SidePanelBytes()).ok());
  const std::vector<std::string> events = watch.Take();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_THAT(events[0], ::testing::MatchesRegex("create plqclear\\.htm\\.[0-9a-f]{16}\\.tmp"));
  EXPECT_EQ(events[1], "moved_to plqclear.htm");
  EXPECT_THAT(events[2], ::testing::MatchesRegex("create 1\\.htm\\.[0-9a-f]{16}\\.tmp"));
  EXPECT_EQ(events[3], "moved_to 1.htm");
}

TEST(PosixPageFolderTest, ApplicationFolderThatOthersCanChangeIsRefused) {
  const struct {
    mode_t mode;
    const char* refusal;  // nullptr: used
  } cases[] = {
      {0755, nullptr},
      {0700, nullptr},
      {0555, nullptr},  // read-only: usable to hold the lock, the writes then fail
      {0775, messages::kOthersCanWrite},
      {0757, messages::kOthersCanWrite},
      {0777, messages::kOthersCanWrite},
      // Sticky, as /tmp: nobody may rename or delete another user's files there.
      {01777, nullptr},
      {01775, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode));
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), c.mode), 0);
    std::unique_ptr<PageFolder> folder;
    const Status status = OpenPageFolder(dir.text(), FolderKind::kApplication, &folder);
    if (c.refusal == nullptr) {
      EXPECT_TRUE(status.ok()) << status.message();
    } else {
      EXPECT_EQ(status.message(), c.refusal);
    }
    chmod(dir.path().c_str(), 0700);
  }
}

TEST(PosixPageFolderTest, FolderOfAnotherUserIsRefused) {
  uid_t uid = 0;
  gid_t gid = 0;
  if (!OtherUser(&uid, &gid)) GTEST_SKIP() << "only root can give a folder to another user";
  TempDir dir;
  const fs::path app = dir.path() / "app";
  const fs::path private_folder = dir.path() / "plqcalc";
  fs::create_directory(app);
  fs::create_directory(private_folder);
  ASSERT_EQ(chown(app.c_str(), uid, gid), 0);
  ASSERT_EQ(chown(private_folder.c_str(), uid, gid), 0);
  std::unique_ptr<PageFolder> folder;
  EXPECT_EQ(OpenPageFolder(app.string(), FolderKind::kApplication, &folder).message(),
            messages::kOwnedByAnother);
  EXPECT_EQ(OpenPageFolder(private_folder.string(), FolderKind::kPrivate, &folder).message(),
            messages::kOwnedByAnother);
  // Root's own folders hold a system-wide install: fine for the application, never private.
  TempDir other;
  EXPECT_TRUE(OpenPageFolder(other.text(), FolderKind::kApplication, &folder).ok());
}

TEST(PosixPageFolderTest, PrivateFolderIsMadeForTheUserAloneAndAnOpenOneNarrowed) {
  TempDir dir;
  const fs::path made = dir.path() / "made";
  const mode_t saved = umask(0);
  auto folder = Opened(made, FolderKind::kPrivate);
  umask(saved);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(ModeOf(made), 0700u);

  const fs::path loose = dir.path() / "loose";
  fs::create_directory(loose);
  ASSERT_EQ(chmod(loose.c_str(), 0777), 0);
  WriteFile(loose / "kept", ToBytes("kept"));
  auto narrowed = Opened(loose, FolderKind::kPrivate);
  ASSERT_NE(narrowed, nullptr);
  EXPECT_EQ(ModeOf(loose), 0700u);
  EXPECT_EQ(ReadFile(loose / "kept"), ToBytes("kept"));
}

TEST(PosixPageFolderTest, MissingParentOfAPrivateFolderIsNeverMade) {
  // As $XDG_RUNTIME_DIR: the session makes it; a program that made it would own the session's.
  TempDir dir;
  const fs::path runtime = dir.path() / "run" / "user" / "1000";
  std::unique_ptr<PageFolder> folder;
  EXPECT_EQ(OpenPageFolder((runtime / "plqcalc").string(), FolderKind::kPrivate, &folder).message(),
            messages::kNoSuchFolder);
  EXPECT_THAT(Entries(dir.path()), IsEmpty());
}

TEST(PosixPageFolderTest, FolderWhosePagesCouldNotBeOpenedByTheirPathIsPassedOver) {
  TempDir dir;
  // Folders down to about 3,850 bytes, well below PATH_MAX; a last name then brings the page's
  // path to each length.
  std::string parent = dir.text();
  while (parent.size() < 3850) {
    parent +=
        "/" + std::string(std::max<size_t>(1, std::min<size_t>(99, 3850 - parent.size() - 1)), 'd');
  }
  fs::create_directories(parent);
  const struct {
    size_t page_path;     // the length of the calculator page's path
    const char* refusal;  // nullptr: used
  } cases[] = {{PATH_MAX + 20, messages::kPathTooLong},
               {PATH_MAX, messages::kPathTooLong},
               {PATH_MAX - 1, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page_path);
    const size_t name = c.page_path - parent.size() - 1 - std::strlen("/plqclear.htm");
    const fs::path path = fs::path(parent) / std::string(name, 'p');
    std::unique_ptr<PageFolder> folder;
    const Status status = OpenPageFolder(path.string(), FolderKind::kPrivate, &folder);
    if (c.refusal != nullptr) {
      EXPECT_EQ(status.message(), c.refusal);
      EXPECT_THAT(Entries(parent), IsEmpty()) << "made a folder it cannot use";
      continue;
    }
    ASSERT_TRUE(status.ok()) << status.message();
    ASSERT_TRUE(folder->Write("plqclear.htm", CalculatorBytes()).ok());
    EXPECT_TRUE(std::ifstream(path / "plqclear.htm").good()) << "the page cannot be opened";
  }
}

TEST(PosixPageFolderTest, APrivateFolderDeletedWhileACopyWaitedIsMadeAgainForIt) {
  TempDir dir;
  const fs::path private_folder = dir.path() / "plqcalc";
  auto leaving = Opened(private_folder, FolderKind::kPrivate);
  ASSERT_NE(leaving, nullptr);
  ASSERT_TRUE(leaving->TryHoldAlone());
  std::unique_ptr<PageFolder> starting;
  Status started = Status::Ok();
  std::atomic<bool> returned{false};
  const unsigned long retries = LockRetries();
  std::thread start([&] {
    started = OpenPageFolder(private_folder.string(), FolderKind::kPrivate, &starting);
    returned = true;
  });
  // The folder goes once the starting copy has opened it and waits for its lock.
  WaitUntil([&] { return LockRetries() > retries || returned; });
  const bool waited = LockRetries() > retries;
  leaving->RemoveIfEmpty();
  leaving.reset();
  start.join();
  EXPECT_TRUE(waited) << "the starting copy never found the folder held";
  ASSERT_TRUE(started.ok()) << started.message();
  ASSERT_TRUE(starting->Write("1.htm", SidePanelBytes()).ok());
  EXPECT_EQ(ReadFile(private_folder / "1.htm"), SidePanelBytes());
  EXPECT_EQ(ModeOf(private_folder), 0700u);
}

TEST(PosixPageFolderTest, FileSizeLimitMakesTheWriteFailAndLeavesNothing) {
  TempDir dir;
  auto folder = Opened(dir.path());
  ASSERT_NE(folder, nullptr);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  // As the program does at start: a write past the limit then fails instead of killing it.
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const Status status = folder->Write("plqclear.htm", Bytes(14340, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  ASSERT_FALSE(status.ok());
  EXPECT_THAT(status.message(), StartsWith("write: "));
  EXPECT_THAT(Entries(dir.path()), IsEmpty());
}

TEST(PosixPageFolderTest, FullDiskMakesTheWriteFailAndLeavesNothing) {
  TempDir dir;
  if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  }
  {
    // Fill it up but for a few bytes.
    std::vector<char> filler(1 << 20, 'f');
    FILE* file = std::fopen((dir.path() / "filler").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(filler.data(), 1, filler.size(), file);
    std::fclose(file);
    auto folder = Opened(dir.path());
    ASSERT_NE(folder, nullptr);
    const Status status = folder->Write("plqclear.htm", Bytes(14340, 'x'));
    EXPECT_FALSE(status.ok());
    EXPECT_THAT(Entries(dir.path()), ElementsAre("filler"));
  }
  umount(dir.path().c_str());
}

}  // namespace
}  // namespace plq::testing
