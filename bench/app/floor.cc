// The start-up floor of the program's stack: a bare GTK 3 window with one WebKitGTK 4.1 view
// (pkg-config gtk+-3.0 webkit2gtk-4.1), set up like the program's panes (ephemeral context,
// no hardware acceleration), loading a blank local page. Prints "floor: loaded xid=0x..." when the
// load has finished; the benchmark times process start to that line, measures its memory, and
// closes the window, which ends it.
//   plq_bench_floor PAGE
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

namespace {

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event != WEBKIT_LOAD_FINISHED) return;
  GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(GTK_WIDGET(view)));
  std::printf("floor: loaded xid=0x%lx\n", GDK_WINDOW_XID(window));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv) || argc != 2) {
    std::fputs("usage: plq_bench_floor PAGE (with a display)\n", stderr);
    return 2;
  }
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(argv[1], nullptr, &error);
  if (uri == nullptr) {
    std::fprintf(stderr, "plq_bench_floor: %s\n", error->message);
    g_error_free(error);
    return 2;
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 735, 496);
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  WebKitSettings* settings = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  GtkWidget* view = GTK_WIDGET(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_container_add(GTK_CONTAINER(window), view);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
  g_free(uri);
  gtk_widget_show_all(window);
  gtk_main();
  g_object_unref(settings);
  g_object_unref(context);
  return 0;
}
