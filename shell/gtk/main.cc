// The program's entry on Linux: GTK's event loop around Form1, with the backend of
// gtk_webkitgtk.h. The program takes no arguments of its own (GTK's standard options still work).
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>

#include "shell/core/form1.h"
#include "shell/gtk/gtk_webkitgtk.h"

namespace {

// A terminal's Ctrl+C or a session's SIGTERM closes the window as the window manager would, so
// the page files are removed instead of being left behind by a killed process.
gboolean OnTerminationSignal(gpointer window) {
  static_cast<plq::GtkMainWindow*>(window)->Close();
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  // Arguments GTK does not know are left alone and ignored: the program takes none of its own.
  if (!gtk_init_check(&argc, &argv)) {
    const char* display = g_getenv("DISPLAY");
    std::fprintf(stderr, "plqcalc: cannot open the display \"%s\"\n", display ? display : "");
    return 1;
  }
  int status = 0;
  {
    plq::GtkMainWindow window;
    plq::GResourceStore resources;
    plq::XdgOpenLauncher launcher;
    plq::MessageBoxReporter reporter(window);
    plq::LinuxFolders folders(argv[0]);
    plq::Form1 form(window, resources, launcher, reporter, folders);
    window.Attach(&form);
    guint signal_sources[3] = {};
    int index = 0;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
      signal_sources[index++] = g_unix_signal_add(signal_number, OnTerminationSignal, &window);
    }
    if (plq::Module1::Main(form).ok()) {
      gtk_main();
    } else {
      status = 1;
    }
    for (guint source : signal_sources) g_source_remove(source);
    window.Attach(nullptr);
  }
  return status;
}
