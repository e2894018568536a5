#include "shell/gtk/window_frame.h"

#include <gdk/gdkwayland.h>

#include "shell/gtk/glib_util.h"

namespace plq::gtk {
namespace {

// The 16-colour 32 x 32 and 16 x 16 pictures are the program's own; the larger ones serve docks
// and task switchers. Under Wayland GTK 3 sends no icon at all (no protocol for it): compositors
// and docks take the desktop entry's icon, found by the window's app_id.
constexpr const char* kIcons[] = {"/plqcalc/icon-32.png",  "/plqcalc/icon-16.png",
                                  "/plqcalc/icon-48.png",  "/plqcalc/icon-64.png",
                                  "/plqcalc/icon-128.png", "/plqcalc/icon-256.png"};

}  // namespace

void SetIcons(GtkWindow* window) {
  GList* icons = nullptr;
  for (const char* path : kIcons) {
    if (GdkPixbuf* icon = gdk_pixbuf_new_from_resource(path, nullptr)) {
      icons = g_list_append(icons, icon);
    }
  }
  gtk_window_set_icon_list(window, icons);
  gtk_window_set_default_icon_list(icons);  // message boxes too
  g_list_free_full(icons, g_object_unref);
}

GtkWidget* MakeTitleBar(GtkWindow* window) {
  if (!GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default())) return nullptr;
  // Wayland has no window-manager hints to withhold the maximise button (X11's Motif hints do
  // not reach it), and GTK draws the title bar itself: this one offers minimise and close only,
  // and a double click on it does nothing.
  GtkWidget* title_bar = KeepSunk(gtk_header_bar_new());
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(title_bar), TRUE);
  gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(title_bar), "menu:minimize,close");
  gtk_window_set_titlebar(window, title_bar);
  g_object_set(gtk_settings_get_default(), "gtk-titlebar-double-click", "none", nullptr);
  return title_bar;
}

void WithholdMaximise(GtkWidget* window) {
  // The Motif hints, which metacity, mutter, xfwm4 and KWin follow for the buttons and actions
  // they offer (openbox keeps maximise whatever the hints say). Listed one by one: managers
  // disagree on how "all except" (GDK_FUNC_ALL) reads. Wayland has no such hints
  // (gdk_window_set_functions does nothing there).
  gdk_window_set_functions(gtk_widget_get_window(window),
                           static_cast<GdkWMFunction>(GDK_FUNC_RESIZE | GDK_FUNC_MOVE |
                                                      GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
}

}  // namespace plq::gtk
