#include "shell/win32/page_folder.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "shell/core/facts.h"
#include "shell/core/folder_lock.h"
#include "shell/core/page_store.h"
#include "shell/win32/folder_trust.h"
#include "shell/win32/text.h"

namespace plq::win32 {
namespace {

std::string Failed(const char* call, DWORD error) {
  return std::string(call) + ": " + ErrorText(error);
}

bool TryLock(HANDLE file, bool exclusive) {
  OVERLAPPED overlapped = {};
  return LockFileEx(file, (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0,
                    1, 0, &overlapped) != FALSE;
}

void Unlock(HANDLE file) {
  OVERLAPPED overlapped = {};
  UnlockFileEx(file, 0, 1, 0, &overlapped);
}

bool WaitForSharedLock(HANDLE file, std::string* detail) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(kLockWait.count());
  for (;;) {
    if (TryLock(file, false)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION || GetTickCount64() > deadline) {
      *detail = Failed("LockFileEx", error);
      return false;
    }
    CountLockRetry();
    Sleep(static_cast<DWORD>(kLockPoll.count()));
  }
}

bool DeletePending(HANDLE file) {
  FILE_STANDARD_INFO info = {};
  return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) &&
         info.DeletePending;
}

void MarkForDeletion(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

bool IsAbsolute(const std::wstring& path) {
  const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
  const bool unc = path.size() >= 3 && (path[0] == L'\\' || path[0] == L'/') &&
                   (path[1] == L'\\' || path[1] == L'/');
  return drive || unc;
}

std::uint64_t RandomNumber() {
  std::random_device random;
  return (static_cast<std::uint64_t>(random()) << 32) ^ random();
}

// Renames the open file `file` to `target`, replacing what is there (a link is replaced, not
// followed).
bool RenameOpenFile(HANDLE file, const std::wstring& target) {
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  target.copy(rename->FileName, target.size());
  return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

Status PageFolder::Open(const std::string& path, FolderKind kind,
                        std::unique_ptr<PageFolder>* folder) {
  std::wstring wide = Widen(path);
  if (!IsAbsolute(wide)) {
    FolderFacts facts;
    facts.found = FolderFacts::Found::kBadPath;
    return CheckFolderFacts(kind, facts);
  }
  while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  const bool drive_root = wide.size() == 3 && wide[1] == L':';
  std::wstring trimmed = drive_root ? wide.substr(0, 2) : wide;

  // A private folder that the last copy to leave deletes meanwhile is made anew: a few rounds.
  for (int attempt = 0; attempt < kOpenRounds; ++attempt) {
    if (kind == FolderKind::kPrivate && !CreateDirectoryW(wide.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      const DWORD error = GetLastError();
      if (error == ERROR_PATH_NOT_FOUND) return CheckFolderFacts(kind, FolderFacts());
      return Status::Failure(Failed("CreateDirectoryW", error));
    }
    // Without FILE_SHARE_DELETE: nobody renames or replaces the folder while it is held.
    HANDLE handle = CreateFileW(
        wide.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return CheckFolderFacts(kind, FolderFacts());
      }
      return Status::Failure(Failed("CreateFileW", error));
    }
    Status judged = CheckFolderFacts(kind, FactsOf(handle, wide));
    if (!judged.ok()) {
      CloseHandle(handle);
      return judged;
    }
    const std::wstring lock_path = trimmed + L"\\" + Widen(kLockFileName);
    const std::string lock_call = std::string("CreateFileW(") + kLockFileName + ")";
    const bool lock_existed = GetFileAttributesW(lock_path.c_str()) != INVALID_FILE_ATTRIBUTES;
    HANDLE lock =
        CreateFileW(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      CloseHandle(handle);
      // A lock file being deleted by the last copy to leave refuses to open for a moment; a
      // folder that cannot be written refuses for good.
      if (error == ERROR_ACCESS_DENIED && lock_existed) {
        Sleep(50);
        continue;
      }
      return Status::Failure(Failed(lock_call.c_str(), error));
    }
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(lock, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      CloseHandle(lock);
      CloseHandle(handle);
      return Status::Failure(Failed(lock_call.c_str(), ERROR_INVALID_FUNCTION));
    }
    std::string detail;
    if (!WaitForSharedLock(lock, &detail)) {
      CloseHandle(lock);
      CloseHandle(handle);
      return Status::Failure(detail);
    }
    // The last copy to leave marked it for deletion while this one waited: start over.
    if (DeletePending(lock)) {
      CloseHandle(lock);
      CloseHandle(handle);
      Sleep(10);
      continue;
    }
    folder->reset(new PageFolder(path, trimmed, kind, handle, lock));
    return Status::Ok();
  }
  return Status::Failure("CreateFileW: the folder's lock was taken away again and again");
}

PageFolder::~PageFolder() { Close(); }

void PageFolder::Close() {
  if (lock_ != nullptr) {
    // The last copy takes the lock file with it.
    if (held_ == Held::kAlone) MarkForDeletion(lock_);
    CloseHandle(lock_);
    lock_ = nullptr;
  }
  if (folder_ != nullptr) {
    CloseHandle(folder_);
    folder_ = nullptr;
  }
  held_ = Held::kNothing;
}

std::wstring PageFolder::PathOf(const std::string& name) const {
  return wide_path_ + L"\\" + Widen(name);
}

bool PageFolder::TryHoldAlone() {
  if (lock_ == nullptr) return false;
  if (held_ == Held::kAlone) return true;
  Unlock(lock_);
  if (TryLock(lock_, true)) {
    held_ = Held::kAlone;
    return true;
  }
  std::string ignored;
  held_ = WaitForSharedLock(lock_, &ignored) ? Held::kShared : Held::kNothing;
  return false;
}

Status PageFolder::Share() {
  if (lock_ == nullptr) return Status::Failure(Failed("LockFileEx", ERROR_INVALID_HANDLE));
  if (held_ == Held::kShared) return Status::Ok();
  if (held_ == Held::kAlone) Unlock(lock_);
  std::string detail;
  if (!WaitForSharedLock(lock_, &detail)) {
    held_ = Held::kNothing;
    return Status::Failure(detail);
  }
  held_ = Held::kShared;
  return Status::Ok();
}

Status PageFolder::Write(const std::string& name, const Bytes& bytes) {
  const std::wstring target = PathOf(name);
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kTemporaryNameTries && file == INVALID_HANDLE_VALUE; ++attempt) {
    // CREATE_NEW: made here and now, never an existing file or link of that name.
    file =
        CreateFileW(PathOf(TemporaryPageName(name, RandomNumber())).c_str(), GENERIC_WRITE | DELETE,
                    0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return Status::Failure(Failed("CreateFileW", GetLastError()));
    }
  }
  if (file == INVALID_HANDLE_VALUE)
    return Status::Failure(Failed("CreateFileW", ERROR_FILE_EXISTS));
  const auto fail = [file](const char* call, DWORD error) {
    MarkForDeletion(file);
    CloseHandle(file);
    return Status::Failure(Failed(call, error));
  };
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return fail("WriteFile", GetLastError());
    }
    done += written;
  }
  if (!RenameOpenFile(file, target)) {
    DWORD error = GetLastError();
    // A page file another program holds open without letting it be replaced: deleting it first
    // works where the holder allows deletion.
    if (error == ERROR_ACCESS_DENIED && DeleteFileW(target.c_str()) &&
        RenameOpenFile(file, target)) {
      error = ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) return fail("SetFileInformationByHandle(FileRenameInfo)", error);
  }
  if (!CloseHandle(file)) return Status::Failure(Failed("CloseHandle", GetLastError()));
  return Status::Ok();
}

Status PageFolder::Remove(const std::string& name) {
  const std::wstring target = PathOf(name);
  if (DeleteFileW(target.c_str())) return Status::Ok();
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Status::Ok();
  return Status::Failure(Failed("DeleteFileW", error));
}

void PageFolder::RemoveLeftovers(const std::string& name) {
  const std::wstring wide_name = Widen(name);
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((wide_path_ + L"\\" + wide_name + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        IsTemporaryPageName(Narrow(found.cFileName), name)) {
      DeleteFileW((wide_path_ + L"\\" + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void PageFolder::RemoveIfEmpty() {
  if (kind_ != FolderKind::kPrivate || held_ != Held::kAlone) return;
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((wide_path_ + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  bool empty = true;
  do {
    const std::wstring name = found.cFileName;
    empty = name == L"." || name == L".." || name == Widen(kLockFileName);
  } while (empty && FindNextFileW(search, &found));
  FindClose(search);
  if (!empty) return;
  // The lock file goes first, and the handles: the folder is then empty, and nothing of this
  // program holds it open. RemoveDirectoryW takes only an empty folder.
  Close();
  RemoveDirectoryW(wide_path_.c_str());
}

}  // namespace plq::win32
