// WebKitWebContext with WebKitMemoryPressureSettings and WebKit's bubblewrap sandbox; the check
// for the sandbox runs bwrap with g_spawn_async and waits for it with waitpid.
#include "shell/gtk/web_context.h"

#include <glib/gstdio.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "shell/gtk/crash_cleanup.h"

namespace plq::gtk {
namespace {

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  // Every response a pane could not show is refused before it becomes a download (PaneGuard);
  // whatever still gets here (a link's download attribute, a future WebKit path) is stopped
  // before WebKit picks a file for it: left alone, WebKit saves it in ~/Downloads or $HOME
  // without asking, and when a file of that name is there already, the failed download deletes
  // the user's file.
  webkit_download_cancel(download);
}

std::string InstancesFolder() { return std::string(g_get_user_runtime_dir()) + "/.flatpak"; }
std::string ProxyFolder() { return std::string(g_get_user_runtime_dir()) + "/webkitgtk"; }

bool IsDeadSocket(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(static_cast<char*>(address.sun_path), path.c_str(), path.size() + 1);
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool refused =
      connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
      errno == ECONNREFUSED;
  close(probe);
  return refused;
}

}  // namespace

SandboxCheck::SandboxCheck() {
  // Set, WebKit runs without its sandbox whatever the program asks: that is no sandbox either.
  if (g_getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS") != nullptr) return;
  // WebKit keeps the sandbox's files in the session's runtime folder. Without one it would make
  // the missing folder (a runtime folder the session does not have, made by the wrong program)
  // or, with XDG_RUNTIME_DIR unset, write into ~/.cache.
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || !g_file_test(runtime, G_FILE_TEST_IS_DIR)) return;
  // WebKit's D-Bus proxies listen at <runtime folder>/webkitgtk/bus-proxy-XXXXXX (and
  // a11y-proxy-XXXXXX), and a socket's path has room for 107 bytes: below a longer runtime folder
  // a proxy failed, bwrap with it, and WebKit ended the program (measured: 80 bytes started, 85
  // did not).
  if (std::strlen(runtime) + std::strlen("/webkitgtk/a11y-proxy-XXXXXX") >=
      sizeof(sockaddr_un::sun_path)) {
    return;
  }
  // WebKit hands bwrap its arguments in a memfd, which a file-size limit cuts short: under
  // `ulimit -f 1` WebKit ended the program (g_error "Failed to write memfd"). The arguments are
  // a few KiB; 1 MiB leaves room.
  rlimit file_size{};
  if (getrlimit(RLIMIT_FSIZE, &file_size) == 0 && file_size.rlim_cur != RLIM_INFINITY &&
      file_size.rlim_cur < (rlim_t{1} << 20)) {
    return;
  }
  // The paths WebKitGTK was built with (Debian's: /usr/bin), not a search of PATH: WebKit runs
  // exactly these. The namespaces are those WebKit asks for, the network's included.
  gchar* argv[] = {const_cast<gchar*>("/usr/bin/bwrap"),
                   const_cast<gchar*>("--unshare-all"),
                   const_cast<gchar*>("--die-with-parent"),
                   const_cast<gchar*>("--ro-bind"),
                   const_cast<gchar*>("/"),
                   const_cast<gchar*>("/"),
                   const_cast<gchar*>("/usr/bin/xdg-dbus-proxy"),
                   const_cast<gchar*>("--version"),
                   nullptr};
  const auto flags = static_cast<GSpawnFlags>(
      G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
  if (!g_spawn_async(nullptr, argv, nullptr, flags, nullptr, nullptr, &pid_, nullptr)) pid_ = 0;
}

SandboxCheck::~SandboxCheck() { Passed(); }

bool SandboxCheck::Passed() {
  if (pid_ == 0) return passed_;
  int status = 0;
  pid_t ended = 0;
  do {
    ended = waitpid(pid_, &status, 0);
  } while (ended < 0 && errno == EINTR);
  passed_ = ended == pid_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  g_spawn_close_pid(pid_);
  pid_ = 0;
  return passed_;
}

WebContext::WebContext() {
  WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
  webkit_memory_pressure_settings_set_memory_limit(memory, kWebProcessMemoryLimitMiB);
  // Ended at the limit itself (WebKit's default, 0, never ends a process). WebKit looks every
  // 30 s by default; a widget seen allocating grew by 290 MB a second, so it looks every second.
  webkit_memory_pressure_settings_set_kill_threshold(memory, 1.0);
  webkit_memory_pressure_settings_set_poll_interval(memory, 1.0);
  // Ephemeral: no cache, cookies or local storage files (what webkit_web_context_new_ephemeral
  // makes, with the memory settings, which can only be given at construction).
  WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
  context_ = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data,
                                             "memory-pressure-settings", memory, nullptr));
  g_object_unref(data);
  webkit_memory_pressure_settings_free(memory);
  g_signal_connect(context_, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
}

void WebContext::Sandbox() {
  // The web processes then run under bwrap in a mount namespace of their own, which holds no
  // home folder. Nothing needs adding for the pages (webkit_web_context_add_path_to_sandbox):
  // WebKit's network process, outside the sandbox, reads file:// pages and hands the web process
  // their bytes; the calculator page inlines all it uses.
  webkit_web_context_set_sandbox_enabled(context_, TRUE);
  proxy_sockets_before_ = ProxySockets();
  sandboxed_ = true;
}

WebContext::~WebContext() {
  g_object_unref(context_);
  if (!sandboxed_) return;
  NoteSandboxSocketForCrash("");
  RemoveSandboxLeftovers();
  // No new web process starts any more; those running use the proxy through the connections
  // they have. (The emptied folder is WebKit's, shared by the session's programs: it stays.)
  for (const std::string& name : own_proxy_sockets_) g_remove((ProxyFolder() + "/" + name).c_str());
}

void WebContext::RemoveSandboxLeftovers() {
  if (!sandboxed_) return;
  // For each sandboxed process WebKit writes .flatpak/webkit-PID-N/bwrapinfo.json (what desktop
  // portals read to know the process; no pane may talk to a portal) and leaves it for flatpak's
  // own clean-up, which does not run where flatpak is not used: 2 folders for every start and
  // every web process started again. This program's own go, and the folder once empty.
  const std::string instances = InstancesFolder();
  const std::string ours = "webkit-" + std::to_string(getpid()) + "-";
  if (GDir* folder = g_dir_open(instances.c_str(), 0, nullptr)) {
    while (const char* name = g_dir_read_name(folder)) {
      if (!g_str_has_prefix(name, ours.c_str())) continue;
      const std::string instance = instances + "/" + name;
      g_remove((instance + "/bwrapinfo.json").c_str());
      g_rmdir(instance.c_str());
    }
    g_dir_close(folder);
  }
  g_rmdir(instances.c_str());
  // The sockets of the sandbox's D-Bus proxy, one for the program's life: the proxy removes its
  // socket when this process has gone, but not when it is killed first, as Ctrl+C in a terminal
  // does (it signals the whole process group). Those that appeared once the first web process
  // had started are this program's. Those nobody listens on any more are nobody's: a copy that
  // was killed outright (its proxy is killed with it) leaves its socket to the next to look.
  for (const std::string& name : ProxySockets()) {
    if (own_proxy_sockets_.empty() && proxy_sockets_before_.count(name) == 0) {
      own_proxy_sockets_.push_back(name);
      NoteSandboxSocketForCrash(ProxyFolder() + "/" + name);
    } else if (IsDeadSocket(ProxyFolder() + "/" + name)) {
      g_remove((ProxyFolder() + "/" + name).c_str());
    }
  }
}

std::set<std::string> WebContext::ProxySockets() {
  std::set<std::string> names;
  if (GDir* folder = g_dir_open(ProxyFolder().c_str(), 0, nullptr)) {
    while (const char* name = g_dir_read_name(folder)) names.insert(name);
    g_dir_close(folder);
  }
  return names;
}

}  // namespace plq::gtk
