// The page folder on Windows, with the Win32 file API on an open folder handle. The handle is
// opened without FILE_SHARE_DELETE, so while the program holds it nobody can rename the folder
// or put a link or junction in its place: every path below it names what was checked. Links and
// junctions are recognised as reparse points (opened as such, never followed).
//
// Copies of the program that share the folder hold a byte-range lock (LockFileEx) on a hidden
// file in it, ".plqcalc.lock" (kLockFileName): shared while they show the pages, exclusive when
// one takes the pages away; that one deletes the lock file as it leaves. (A folder handle takes
// no byte-range locks.) Windows drops a copy's lock when its process ends in any way. Whether a
// folder may hold the pages at all is folder_trust's to find out.
#ifndef PLQ_SHELL_WIN32_PAGE_FOLDER_H_
#define PLQ_SHELL_WIN32_PAGE_FOLDER_H_

#include <windows.h>

#include <memory>
#include <string>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq::win32 {

class PageFolder final : public plq::PageFolder {
 public:
  // Opens `path` as plq::Folders::Open describes. A private folder is made when it is missing and
  // its parent exists (it inherits the user's own access rules from %LOCALAPPDATA%).
  static Status Open(const std::string& path, FolderKind kind, std::unique_ptr<PageFolder>* folder);

  ~PageFolder() override;
  PageFolder(const PageFolder&) = delete;
  PageFolder& operator=(const PageFolder&) = delete;
  PageFolder(PageFolder&&) = delete;
  PageFolder& operator=(PageFolder&&) = delete;

  const std::string& path() const override { return path_; }
  bool TryHoldAlone() override;
  Status Share() override;
  Status Write(const std::string& name, const Bytes& bytes) override;
  Status Remove(const std::string& name) override;
  void RemoveLeftovers(const std::string& name) override;
  void RemoveIfEmpty() override;

 private:
  enum class Held { kNothing, kShared, kAlone };

  PageFolder(std::string path, std::wstring wide_path, FolderKind kind, HANDLE folder, HANDLE lock)
      : path_(std::move(path)),
        wide_path_(std::move(wide_path)),
        kind_(kind),
        folder_(folder),
        lock_(lock) {}
  std::wstring PathOf(const std::string& name) const;
  void Close();

  const std::string path_;
  const std::wstring wide_path_;  // without a trailing separator
  const FolderKind kind_;
  HANDLE folder_;
  HANDLE lock_;
  Held held_ = Held::kShared;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_PAGE_FOLDER_H_
