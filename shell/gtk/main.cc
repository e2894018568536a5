// The program's entry on Linux: GTK's event loop around Form1, with the backend's window and
// services. The program takes no arguments of its own (GTK's standard options still work).
#include <glib.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "shell/core/addresses.h"
#include "shell/core/form1.h"
#include "shell/core/messages.h"
#include "shell/gtk/main_window.h"
#include "shell/gtk/services.h"
#include "shell/gtk/session.h"
#include "shell/gtk/startup.h"
#include "shell/gtk/web_context.h"

namespace {

// What a screen reader calls the program: its caption. GTK 3's root accessible answers with the
// program name, which stays the application id that X11's window class and Wayland's app_id need
// (AT-SPI said "com.example.plqcalc"); its class, used for that one object only, answers with the
// caption instead. Not through g_set_application_name: GDK titles every untitled window with it,
// and the invisible 1 x 1 window of WebKit's drag and drop then looked like a message box.
void NameApplicationForScreenReaders() {
  if (AtkObject* root = atk_get_root()) {
    ATK_OBJECT_GET_CLASS(root)->get_name = [](AtkObject*) { return plq::kCaption; };
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a page write fail like a full disk, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // The window's X11 class and Wayland app_id: docks match them with the desktop entry.
  g_set_prgname(plq::kApplicationId);
  const std::string missing = plq::gtk::RaiseLimits();
  if (!missing.empty()) {
    // GTK alone still runs within these limits, WebKit does not: nothing of it starts.
    if (!gtk_init_check(&argc, &argv)) {
      std::fprintf(stderr, "%s\n", plq::messages::CannotStart(missing).c_str());
      return 1;
    }
    plq::gtk::MessageBoxes boxes;
    boxes.Run(nullptr, plq::messages::CannotStart(missing), GTK_MESSAGE_ERROR);
    return 1;
  }
  // Runs while GTK starts: the verdict is needed only before the first web process starts.
  plq::gtk::SandboxCheck sandbox_check;
  // Arguments GTK does not know are left alone and ignored: the program takes none of its own.
  std::unique_ptr<plq::gtk::WebContext> context = plq::gtk::StartToolkit(&argc, &argv);
  if (!context) {
    const char* display = g_getenv("DISPLAY");
    const std::string detail = std::string("gtk_init: cannot open the display \"") +
                               (display != nullptr ? display : "") + "\"";
    std::fprintf(stderr, "%s\n", plq::messages::CannotStart(detail).c_str());
    return 1;
  }
  gdk_set_program_class(plq::kApplicationId);
  NameApplicationForScreenReaders();
  int status = 0;
  int ended_by = 0;
  {
    plq::gtk::MessageBoxes boxes;
    if (sandbox_check.Passed()) context->Sandbox();
    plq::gtk::MainWindow window(boxes, std::move(context));
    plq::gtk::ResourceStore resources;
    plq::gtk::BrowserLauncher launcher;
    plq::gtk::FailureReporter reporter(boxes, window.gtk_window());
    plq::gtk::Folders folders(argv[0]);
    plq::Form1 form(window, resources, launcher, reporter, folders);
    window.set_form(&form);
    plq::gtk::SessionWatch session(gdk_display_get_default(), [&window](bool display_lost) {
      window.SessionEnded(display_lost);
    });
    if (!plq::Module1::Main(form).ok() || !plq::Module1::Run(form).ok()) status = 1;
    ended_by = session.signal_number();
    window.set_form(nullptr);
  }
  if (ended_by != 0) {
    std::signal(ended_by, SIG_DFL);
    std::raise(ended_by);
  }
  return status;
}
