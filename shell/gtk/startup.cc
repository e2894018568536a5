// gtk_init_check and WebKitGTK's web context, started with environment variables that GTK 3 and
// libglvnd read: neither has a call for what is set here. Figures from bench/app under Xvfb
// (Mesa's llvmpipe), in the pages the program holds on a machine that runs nothing else.
#include "shell/gtk/startup.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

namespace plq::gtk {
namespace {

// Gives an environment variable a value while it lives, then puts back what was there. Made
// before GTK and WebKit start threads of their own; putting back replaces or removes the entry in
// place, which threads reading the environment meanwhile survive.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = g_getenv(name)) old_ = old;
    g_setenv(name, value, TRUE);
  }
  ~ScopedVariable() {
    if (old_) {
      g_setenv(name_, old_->c_str(), TRUE);
    } else {
      g_unsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ScopedVariable(ScopedVariable&&) = delete;
  ScopedVariable& operator=(ScopedVariable&&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

std::unique_ptr<WebContext> StartToolkit(int* argc, char*** argv) {
  // The panes draw without hardware acceleration: this process never draws with GL. Yet GDK
  // opens GLX with the X display, to pick visuals for GL, and WebKit's first web context opens
  // an EGL display, to learn what the web process may hand over; each loads Mesa's driver and,
  // with it, LLVM. Kept out, this process holds 27 MiB less (78 -> 50 MiB) and the web process,
  // which still renders with GL, 7 MiB more (104 -> 111 MiB: LLVM's pages are no longer shared
  // with this one): 20 MiB less in all (212 -> 192 MiB), 70 ms less CPU time to the first
  // picture (615 -> 545 ms, median of 10), and the same pixels in the window.
  ScopedVariable no_gdk_gl("GDK_GL", "disable");
  // With no EGL vendor to load, WebKit passes the web process's pictures in shared memory, as it
  // does wherever there is no GPU device (as here).
  ScopedVariable no_egl_vendor("__EGL_VENDOR_LIBRARY_FILENAMES", "/dev/null");
  if (!gtk_init_check(argc, argv)) return nullptr;
  // WebKit looks once per process, when the first web context is made (measured: a second
  // context, made later, loads no GL), and starts that context's network process at once. So
  // the program's own context is made here, not a second one just for the look: one network
  // process, not two at start-up (that one starts now, with the variables, and draws nothing).
  // The web processes start later, with the environment as it was.
  return std::make_unique<WebContext>();
}

}  // namespace plq::gtk
