// Records, in order, the files created, renamed into and deleted from one folder, so a test sees
// the order of file operations that happen inside a single call (inotify).
#ifndef PLQ_TESTS_GTK_DIRECTORY_WATCH_H_
#define PLQ_TESTS_GTK_DIRECTORY_WATCH_H_

#include <filesystem>
#include <string>
#include <vector>

namespace plq::testing {

class DirectoryWatch {
 public:
  explicit DirectoryWatch(const std::filesystem::path& folder);
  DirectoryWatch(const DirectoryWatch&) = delete;
  DirectoryWatch& operator=(const DirectoryWatch&) = delete;
  ~DirectoryWatch();
  bool available() const { return fd_ >= 0; }
  // "create <name>", "moved_to <name>" or "delete <name>", oldest first, since the last call.
  std::vector<std::string> Take();

 private:
  int fd_ = -1;
};

}  // namespace plq::testing

#endif  // PLQ_TESTS_GTK_DIRECTORY_WATCH_H_
