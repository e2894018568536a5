// The page folder on Linux, with POSIX calls on an open directory: every file is created,
// renamed and deleted relative to the folder that was opened and checked (openat, renameat,
// unlinkat), never through its path looked up again.
//
// Copies of the program that share the folder hold a flock(2) lock on the open folder itself:
// shared while they show the pages, exclusive when one of them takes the pages away. The kernel
// drops a copy's lock when it ends in any way (a crash or SIGKILL too), so a copy that is gone
// never keeps the others from cleaning up, and the lock leaves nothing on disk.
#ifndef PLQ_SHELL_GTK_PAGE_FOLDER_H_
#define PLQ_SHELL_GTK_PAGE_FOLDER_H_

#include <memory>
#include <string>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq::gtk {

class PageFolder final : public plq::PageFolder {
 public:
  // Opens `path` as plq::Folders::Open describes. A private folder is made (mode 0700) when it is
  // missing and its parent exists; one of the user's own is narrowed to mode 0700. A folder whose
  // page paths would reach PATH_MAX is refused: a pane could not open them.
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
  PageFolder(std::string path, FolderKind kind, int fd, int parent_fd, std::string name)
      : path_(std::move(path)),
        kind_(kind),
        fd_(fd),
        parent_fd_(parent_fd),
        name_(std::move(name)) {}

  const std::string path_;
  const FolderKind kind_;
  const int fd_;            // the folder, opened O_DIRECTORY | O_NOFOLLOW; holds the lock
  const int parent_fd_;     // a private folder's parent, to delete it by the name it was made with
  const std::string name_;  // the folder's name in its parent
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_PAGE_FOLDER_H_
