// inotify reports a folder's events in the order they happened, which is the only way to see the
// order of file operations made within one call without a hook in the code under test.
#include "tests/gtk/directory_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace plq::testing {

DirectoryWatch::DirectoryWatch(const std::filesystem::path& folder) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE) < 0) {
    close(fd_);
    fd_ = -1;
  }
}

DirectoryWatch::~DirectoryWatch() {
  if (fd_ >= 0) close(fd_);
}

std::vector<std::string> DirectoryWatch::Take() {
  std::vector<std::string> events;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t length = read(fd_, buffer, sizeof(buffer));
    if (length <= 0) break;
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      const std::string name = event->len > 0 ? event->name : "";
      if (event->mask & IN_CREATE) events.push_back("create " + name);
      if (event->mask & IN_MOVED_TO) events.push_back("moved_to " + name);
      if (event->mask & IN_DELETE) events.push_back("delete " + name);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return events;
}

}  // namespace plq::testing
