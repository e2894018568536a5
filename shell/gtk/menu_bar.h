// The window's menu bar with GTK 3: two plain entries, "主页" (`homepage`) and "关于" (`about`),
// with no submenu, each calling back on a click (or Return after F10).
#ifndef PLQ_SHELL_GTK_MENU_BAR_H_
#define PLQ_SHELL_GTK_MENU_BAR_H_

#include <gtk/gtk.h>

#include <functional>

namespace plq::gtk {

class MenuBar {
 public:
  MenuBar(std::function<void()> on_homepage, std::function<void()> on_about);
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;
  MenuBar(MenuBar&&) = delete;
  MenuBar& operator=(MenuBar&&) = delete;

  GtkWidget* widget() const { return bar_; }

 private:
  static gboolean OnButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static void OnActivate(GtkMenuItem* item, gpointer self);

  std::function<void()> on_homepage_;
  std::function<void()> on_about_;
  GtkWidget* bar_ = nullptr;
  GtkWidget* homepage_ = nullptr;
  GtkWidget* about_ = nullptr;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_MENU_BAR_H_
