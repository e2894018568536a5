// The one WebKitWebContext (WebKitGTK 4.1) both panes run in: ephemeral (nothing kept between
// runs), its web processes in WebKit's bubblewrap sandbox when that can start, each web process
// ended at a memory limit, and no download ever started from it.
#ifndef PLQ_SHELL_GTK_WEB_CONTEXT_H_
#define PLQ_SHELL_GTK_WEB_CONTEXT_H_

#include <glib.h>
#include <webkit2/webkit2.h>

#include <set>
#include <string>
#include <vector>

namespace plq::gtk {

// A web process whose memory footprint reaches this is ended by WebKit, and its panes load their
// pages again as after a crash. The process that holds both pages used 89 MiB (PSS) at start
// and 109 MiB after 30 calculations here: the limit leaves about five times that.
inline constexpr guint kWebProcessMemoryLimitMiB = 512;

// Whether WebKit's sandbox can start here: bwrap and xdg-dbus-proxy at the paths WebKit was
// built with, the namespaces bwrap needs, a session runtime folder and no tight file-size limit.
// WebKit itself ends the whole program (a g_error) when it cannot launch them, so the program finds
// out first, once, by running both as WebKit does. The check starts when this is made and runs
// while GTK starts up; it took 40 to 140 ms here, about as long as gtk_init.
class SandboxCheck {
 public:
  SandboxCheck();
  ~SandboxCheck();
  SandboxCheck(const SandboxCheck&) = delete;
  SandboxCheck& operator=(const SandboxCheck&) = delete;
  SandboxCheck(SandboxCheck&&) = delete;
  SandboxCheck& operator=(SandboxCheck&&) = delete;

  // Waits for the check to end (once) and returns its verdict.
  bool Passed();

 private:
  GPid pid_ = 0;
  bool passed_ = false;
};

// The context. Its web processes run in WebKit's sandbox once Sandbox() has been called, before
// the first of them starts.
class WebContext {
 public:
  WebContext();
  ~WebContext();
  WebContext(const WebContext&) = delete;
  WebContext& operator=(const WebContext&) = delete;
  WebContext(WebContext&&) = delete;
  WebContext& operator=(WebContext&&) = delete;

  WebKitWebContext* get() const { return context_; }
  void Sandbox();
  bool sandboxed() const { return sandboxed_; }
  // Removes what WebKit's sandbox leaves in the runtime folder for this program's processes
  // that have started so far: safe at any time (the panes need none of it once started).
  void RemoveSandboxLeftovers();

 private:
  static std::set<std::string> ProxySockets();

  WebKitWebContext* context_ = nullptr;
  bool sandboxed_ = false;
  std::set<std::string> proxy_sockets_before_;
  std::vector<std::string> own_proxy_sockets_;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_WEB_CONTEXT_H_
