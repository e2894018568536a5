// A drag source for the window tests: a small GTK window at the screen's top left whose whole
// area drags the address given as its argument (text/uri-list, and as text), the way a file
// manager drags a file or a browser a link. It prints "ready" once shown and "dropped" each time
// a drag has ended.
#include <gtk/gtk.h>

#include <cstdio>

namespace {

void OnDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint info, guint,
               gpointer address) {
  auto* uri = static_cast<gchar*>(address);
  gchar* uris[] = {uri, nullptr};
  if (info == 0) {
    gtk_selection_data_set_uris(data, uris);
  } else {
    gtk_selection_data_set_text(data, uri, -1);
  }
}

void OnDragEnd(GtkWidget*, GdkDragContext*, gpointer) {
  std::puts("dropped");
  std::fflush(stdout);
}

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer) {
  std::puts("ready");
  std::fflush(stdout);
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 2) return 2;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* area = gtk_event_box_new();
  gtk_widget_set_size_request(area, 100, 100);
  gtk_container_add(GTK_CONTAINER(window), area);
  gtk_window_move(GTK_WINDOW(window), 0, 0);
  const GtkTargetEntry targets[] = {{const_cast<gchar*>("text/uri-list"), 0, 0},
                                    {const_cast<gchar*>("UTF8_STRING"), 0, 1}};
  gtk_drag_source_set(area, GDK_BUTTON1_MASK, targets, 2,
                      static_cast<GdkDragAction>(GDK_ACTION_COPY | GDK_ACTION_LINK));
  g_signal_connect(area, "drag-data-get", G_CALLBACK(OnDataGet), argv[1]);
  g_signal_connect(area, "drag-end", G_CALLBACK(OnDragEnd), nullptr);
  g_signal_connect(window, "map-event", G_CALLBACK(OnMapped), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
