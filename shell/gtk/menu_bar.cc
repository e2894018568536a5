#include "shell/gtk/menu_bar.h"

#include <utility>

#include "shell/core/messages.h"
#include "shell/gtk/glib_util.h"

namespace plq::gtk {

MenuBar::MenuBar(std::function<void()> on_homepage, std::function<void()> on_about)
    : on_homepage_(std::move(on_homepage)), on_about_(std::move(on_about)) {
  bar_ = KeepSunk(gtk_menu_bar_new());
  homepage_ = KeepSunk(gtk_menu_item_new_with_label(kHomepageText));
  about_ = KeepSunk(gtk_menu_item_new_with_label(kAboutText));
  gtk_widget_set_name(homepage_, "homepage");
  gtk_widget_set_name(about_, "about");
  gtk_menu_shell_append(GTK_MENU_SHELL(bar_), homepage_);
  gtk_menu_shell_append(GTK_MENU_SHELL(bar_), about_);
  g_signal_connect(bar_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(homepage_, "activate", G_CALLBACK(OnActivate), this);
  g_signal_connect(about_, "activate", G_CALLBACK(OnActivate), this);
}

MenuBar::~MenuBar() {
  for (GtkWidget* widget : {bar_, homepage_, about_}) {
    g_signal_handlers_disconnect_by_data(widget, this);
    g_object_unref(widget);
  }
}

gboolean MenuBar::OnButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer) {
  // A menu bar item without a submenu does not fire "activate" on a quick click: GTK waits 500 ms
  // between press and release and keeps its grab, so the next click anywhere is swallowed too.
  // Activate the item under the pointer on release ourselves and drop the grab.
  GtkMenuShell* shell = GTK_MENU_SHELL(widget);
  GtkWidget* item = gtk_menu_shell_get_selected_item(shell);
  gtk_menu_shell_deactivate(shell);
  if (item == nullptr) return TRUE;
  GtkAllocation allocation;
  gtk_widget_get_allocation(item, &allocation);
  gint origin_x = 0;
  gint origin_y = 0;
  gdk_window_get_origin(gtk_widget_get_window(item), &origin_x, &origin_y);
  const double x = event->x_root - origin_x - allocation.x;
  const double y = event->y_root - origin_y - allocation.y;
  if (x >= 0 && y >= 0 && x < allocation.width && y < allocation.height) {
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
  }
  return TRUE;
}

void MenuBar::OnActivate(GtkMenuItem* item, gpointer self) {
  auto* bar = static_cast<MenuBar*>(self);
  const bool homepage = GTK_WIDGET(item) == bar->homepage_;
  Guarded(homepage ? "homepage" : "about", [bar, homepage] {
    const std::function<void()>& click = homepage ? bar->on_homepage_ : bar->on_about_;
    if (click) click();
  });
}

}  // namespace plq::gtk
