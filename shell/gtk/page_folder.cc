#include "shell/gtk/page_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "shell/core/folder_lock.h"
#include "shell/core/page_store.h"
#include "shell/gtk/crash_cleanup.h"

namespace plq::gtk {
namespace {

std::string Failed(const char* call, int error) {
  return std::string(call) + ": " + g_strerror(error);
}

// Takes the flock(2) lock `operation` (LOCK_SH or LOCK_EX) on `fd`, waiting up to kLockWait.
bool Lock(int fd, int operation, std::string* detail) {
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  for (;;) {
    if (flock(fd, operation | LOCK_NB) == 0) return true;
    const int error = errno;
    if (error != EWOULDBLOCK && error != EINTR) {
      *detail = Failed("flock", error);
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      *detail = Failed("flock", error);
      return false;
    }
    CountLockRetry();
    std::this_thread::sleep_for(kLockPoll);
  }
}

// A random number for a temporary file's name.
std::uint64_t RandomNumber() {
  std::uint64_t value = 0;
  if (getrandom(&value, sizeof value, 0) != sizeof value) {
    // Without the kernel's randomness the clock and the process still differ between copies;
    // O_EXCL makes a clash a retry, never a shared file.
    value =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(getpid()) << 32);
  }
  return value;
}

bool WriteAll(int fd, const Bytes& bytes, int* error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

// What stands at `name` in `parent_fd`, for a folder that could not be opened.
FolderFacts::Found FoundAt(int parent_fd, const char* name) {
  struct stat found;
  if (fstatat(parent_fd, name, &found, AT_SYMLINK_NOFOLLOW) != 0) {
    return FolderFacts::Found::kNothing;
  }
  if (S_ISLNK(found.st_mode)) return FolderFacts::Found::kLink;
  if (!S_ISDIR(found.st_mode)) return FolderFacts::Found::kOther;
  return FolderFacts::Found::kFolder;
}

FolderFacts FactsOf(const struct stat& folder) {
  FolderFacts facts;
  facts.found = S_ISDIR(folder.st_mode) ? FolderFacts::Found::kFolder : FolderFacts::Found::kOther;
  facts.owner = folder.st_uid == geteuid() ? FolderFacts::Owner::kUser
                : folder.st_uid == 0       ? FolderFacts::Owner::kAdministrator
                                           : FolderFacts::Owner::kOther;
  // In a sticky folder (as /tmp) nobody can rename or delete another user's files.
  facts.others_can_write =
      (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (folder.st_mode & S_ISVTX) == 0;
  return facts;
}

}  // namespace

Status PageFolder::Open(const std::string& path, FolderKind kind,
                        std::unique_ptr<PageFolder>* folder) {
  if (path.empty() || path[0] != '/') {
    FolderFacts facts;
    facts.found = FolderFacts::Found::kBadPath;
    return CheckFolderFacts(kind, facts);
  }
  // The files are written relative to the open folder, but a pane opens its page by the whole
  // path, which the kernel refuses from PATH_MAX bytes on (ENAMETOOLONG): such a folder takes the
  // pages and never shows them (measured: an XDG_RUNTIME_DIR of 4,084 bytes gave two failure
  // boxes). It is passed over before anything is made in it.
  for (const PageEntry& page : kPages) {
    if (PagePath(path, page).size() >= PATH_MAX) {
      FolderFacts facts;
      facts.found = FolderFacts::Found::kTooLong;
      return CheckFolderFacts(kind, facts);
    }
  }
  // The folder and the name it has in its parent; a trailing "/" names the same folder.
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  const std::string parent = slash == 0 ? "/" : trimmed.substr(0, slash);
  const std::string name = trimmed == "/" ? "." : trimmed.substr(slash + 1);

  // A private folder that the last copy to leave deletes while this one waits for it is made
  // anew: a few rounds at most.
  for (int attempt = 0; attempt < kOpenRounds; ++attempt) {
    const int parent_fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent_fd < 0) {
      const int error = errno;
      if (error == ENOENT || error == ENOTDIR) return CheckFolderFacts(kind, FolderFacts());
      return Status::Failure(Failed("open", error));
    }
    if (kind == FolderKind::kPrivate && mkdirat(parent_fd, name.c_str(), 0700) != 0 &&
        errno != EEXIST) {
      const int error = errno;
      close(parent_fd);
      return Status::Failure(Failed("mkdir", error));
    }
    const int fd = openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      FolderFacts facts;
      facts.found = FoundAt(parent_fd, name.c_str());
      close(parent_fd);
      if (facts.found != FolderFacts::Found::kFolder) return CheckFolderFacts(kind, facts);
      return Status::Failure(Failed("open", error));
    }
    const auto fail = [fd, parent_fd](Status status) {
      close(fd);
      close(parent_fd);
      return status;
    };
    struct stat opened;
    if (fstat(fd, &opened) != 0) return fail(Status::Failure(Failed("fstat", errno)));
    FolderFacts facts = FactsOf(opened);
    // The user's own private folder is narrowed to the user alone, whoever loosened it.
    if (kind == FolderKind::kPrivate && facts.owner == FolderFacts::Owner::kUser &&
        (opened.st_mode & 077) != 0) {
      if (fchmod(fd, 0700) != 0) return fail(Status::Failure(Failed("chmod", errno)));
      facts.others_can_write = false;
    }
    const Status judged = CheckFolderFacts(kind, facts);
    if (!judged.ok()) return fail(judged);

    std::string detail;
    if (!Lock(fd, LOCK_SH, &detail)) return fail(Status::Failure(detail));
    // The last copy to leave deletes a private folder while holding it alone; a copy that was
    // waiting for it then holds a folder that is no more.
    if (fstat(fd, &opened) != 0) return fail(Status::Failure(Failed("fstat", errno)));
    if (opened.st_nlink == 0) {
      close(fd);
      close(parent_fd);
      continue;
    }
    if (kind == FolderKind::kApplication) {
      close(parent_fd);
      folder->reset(new PageFolder(path, kind, fd, -1, name));
    } else {
      folder->reset(new PageFolder(path, kind, fd, parent_fd, name));
    }
    return Status::Ok();
  }
  return Status::Failure("open: the folder was deleted again and again while opening it");
}

PageFolder::~PageFolder() {
  ForgetPagesForCrash(this);
  close(fd_);  // drops the lock
  if (parent_fd_ >= 0) close(parent_fd_);
}

bool PageFolder::TryHoldAlone() {
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  // A refused conversion may drop the shared lock (flock(2)): take it again.
  std::string ignored;
  Lock(fd_, LOCK_SH, &ignored);
  return false;
}

Status PageFolder::Share() {
  std::string detail;
  if (!Lock(fd_, LOCK_SH, &detail)) return Status::Failure(detail);
  return Status::Ok();
}

Status PageFolder::Write(const std::string& name, const Bytes& bytes) {
  std::string temporary;
  int out = -1;
  for (int attempt = 0; attempt < kTemporaryNameTries && out < 0; ++attempt) {
    temporary = TemporaryPageName(name, RandomNumber());
    // Exclusively and never through a link: whatever stands at the name already is not ours.
    out =
        openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0 && errno != EEXIST) return Status::Failure(Failed("open", errno));
  }
  if (out < 0) return Status::Failure(Failed("open", EEXIST));
  const auto fail = [this, &temporary](const char* call, int error) {
    unlinkat(fd_, temporary.c_str(), 0);
    return Status::Failure(Failed(call, error));
  };
  // The mode the pages need whatever the umask: a group that could rewrite the page could make
  // the program run another script.
  if (fchmod(out, 0644) != 0) {
    const int error = errno;
    close(out);
    return fail("chmod", error);
  }
  int error = 0;
  if (!WriteAll(out, bytes, &error)) {
    close(out);
    return fail("write", error);
  }
  // Some file systems report a full disk only when the file is closed.
  if (close(out) != 0) return fail("close", errno);
  if (renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) return fail("rename", errno);
  NotePageForCrash(this, fd_, kind_ == FolderKind::kPrivate ? parent_fd_ : -1, name_, name);
  return Status::Ok();
}

Status PageFolder::Remove(const std::string& name) {
  if (unlinkat(fd_, name.c_str(), 0) == 0 || errno == ENOENT) return Status::Ok();
  return Status::Failure(Failed("unlink", errno));
}

void PageFolder::RemoveLeftovers(const std::string& name) {
  const int listing = dup(fd_);
  if (listing < 0) return;
  DIR* entries = fdopendir(listing);
  if (entries == nullptr) {
    close(listing);
    return;
  }
  while (const dirent* entry = readdir(entries)) {
    if (!IsTemporaryPageName(entry->d_name, name)) continue;
    // A folder by that name is not a file of ours; unlinkat refuses it.
    unlinkat(fd_, entry->d_name, 0);
  }
  closedir(entries);
}

void PageFolder::RemoveIfEmpty() {
  if (kind_ != FolderKind::kPrivate || parent_fd_ < 0) return;
  // Only the folder that was opened: its name may since stand for another one.
  struct stat opened;
  struct stat named;
  if (fstat(fd_, &opened) != 0 ||
      fstatat(parent_fd_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
    return;
  }
  // rmdir takes only an empty folder; one still holding anything stays.
  unlinkat(parent_fd_, name_.c_str(), AT_REMOVEDIR);
}

}  // namespace plq::gtk
