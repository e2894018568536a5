#include "shell/gtk/crash_cleanup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace plq::gtk {
namespace {

struct PageRecord {
  const void* owner = nullptr;
  int fd = -1;
  int parent_fd = -1;
  char name[256] = {};
  char pages[2][64] = {};
  int page_count = 0;
};
PageRecord page_record;
// Whether page_record may be read. Cleared while it changes: a second signal may come at any
// moment, also while the folder is being let go.
std::atomic<bool> page_record_ready{false};

char socket_path[sizeof(sockaddr_un::sun_path)] = {};
std::atomic<bool> socket_known{false};

void Copy(char* target, size_t size, const std::string& text) {
  const size_t length = std::min(size - 1, text.size());
  text.copy(target, length);
  target[length] = '\0';
}

}  // namespace

void NotePageForCrash(const void* owner, int fd, int parent_fd, const std::string& name,
                      const std::string& page) {
  page_record_ready = false;
  PageRecord& record = page_record;
  if (record.owner != owner) {
    record = PageRecord();
    record.fd = fd;
    record.parent_fd = parent_fd;
    Copy(record.name, sizeof record.name, name);
  }
  bool known = false;
  for (int i = 0; i < record.page_count; ++i) known = known || page == record.pages[i];
  if (!known && record.page_count < 2) {
    Copy(record.pages[record.page_count++], sizeof record.pages[0], page);
  }
  record.owner = owner;
  page_record_ready = true;
}

void ForgetPagesForCrash(const void* owner) {
  if (page_record.owner != owner) return;
  page_record_ready = false;
  page_record = PageRecord();
}

void NoteSandboxSocketForCrash(const std::string& path) {
  socket_known = false;
  if (path.empty() || path.size() >= sizeof socket_path) return;
  path.copy(static_cast<char*>(socket_path), path.size());
  socket_path[path.size()] = '\0';
  socket_known = true;
}

void CleanUpAfterCrash() {
  if (socket_known.load()) unlink(socket_path);
  if (!page_record_ready.load()) return;
  const PageRecord& record = page_record;
  // Another copy that still uses the folder keeps its pages (the lock tells).
  if (record.owner == nullptr || flock(record.fd, LOCK_EX | LOCK_NB) != 0) return;
  for (int i = 0; i < record.page_count; ++i) unlinkat(record.fd, record.pages[i], 0);
  if (record.parent_fd >= 0) unlinkat(record.parent_fd, record.name, AT_REMOVEDIR);
}

}  // namespace plq::gtk
