// The main window `Form1` on Linux: a GtkWindow with a GtkMenuBar of two plain entries and the two
// panes at fixed places in a GtkLayout, forwarding its events to the core's Form1 handlers.
#ifndef PLQ_SHELL_GTK_MAIN_WINDOW_H_
#define PLQ_SHELL_GTK_MAIN_WINDOW_H_

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "shell/core/form1.h"
#include "shell/core/platform.h"
#include "shell/core/web_processes.h"
#include "shell/gtk/browser_pane.h"
#include "shell/gtk/menu_bar.h"
#include "shell/gtk/services.h"
#include "shell/gtk/web_context.h"

namespace plq::gtk {

class MainWindow final : public plq::MainWindow, private PaneListener {
 public:
  // Builds the window, hidden, with both panes in place, their pages in `context`. Alerts and
  // failures show in `boxes`. With no sandbox in the context (WebKit's sandbox cannot start
  // here) the side panel stays empty.
  MainWindow(MessageBoxes& boxes, std::unique_ptr<WebContext> context);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  MainWindow(MainWindow&&) = delete;
  MainWindow& operator=(MainWindow&&) = delete;

  // The handlers that receive the window's events; nullptr detaches them.
  void set_form(Form1* form) { form_ = form; }
  GtkWindow* gtk_window() const { return GTK_WINDOW(window_); }

  // The user closes the window: the unload handler (which ends the program).
  void Close() noexcept;
  // The session ends under the program: the pages go, no browser starts, every message box
  // closes (Form1::EndSession, which ends the program). With `display_lost` the display is gone
  // already: nothing touches it any more; the caller ends the process.
  void SessionEnded(bool display_lost) noexcept;

  void SetCaption(const std::string& caption) override;
  void Show() override;
  Status Navigate(Pane pane, const std::string& path) override;
  Status RunEventLoop() override;
  void Quit() override;

 private:
  static gboolean OnDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static void OnDestroy(GtkWidget* widget, gpointer self);
  static void OnRealize(GtkWidget* widget, gpointer self);
  static gboolean OnSidePanelReplaced(gpointer self);
  static gboolean OnHungProcessEnded(gpointer self);
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnPaneAreaFocus(GtkWidget* widget, GtkDirectionType direction, gpointer self);

  // PaneListener
  void PageLoaded(Pane pane) override;
  void PageLoadFailed(Pane pane, const std::string& detail) override;
  void PagePainted(Pane pane) override;
  void ProcessEnded(Pane pane, const std::string& detail) override;
  void ProcessUnresponsive(Pane pane) override;
  void Alert(const std::string& message) override;
  void NewWindowRequested(Pane pane, const std::string& address, bool user_gesture) override;

  BrowserPane& PaneAt(Pane pane) const { return *panes_[pane == Pane::kWebBrowser1 ? 0 : 1]; }
  std::unique_ptr<BrowserPane> MakeSidePanel(bool own_process);
  // A pane's place at the screen's font resolution, which WebKit zooms every page by.
  PanePlace Place(const PanePlace& place) const { return ScaledPlace(place, dpi_); }

  MessageBoxes& boxes_;
  GtkWidget* window_ = nullptr;
  GtkWidget* title_bar_ = nullptr;  // only where the program draws its own (Wayland)
  std::unique_ptr<MenuBar> menu_bar_;
  GtkWidget* layout_ = nullptr;
  int dpi_ = kBaseDpi;
  std::unique_ptr<WebContext> context_;
  WebKitSettings* settings_ = nullptr;
  std::unique_ptr<BrowserPane> panes_[2];
  // Which process runs each pane, and what a failed one leads to.
  WebProcesses web_processes_;
  std::string side_panel_ended_detail_;
  guint side_panel_replacement_ = 0;
  guint hung_process_end_ = 0;
  Form1* form_ = nullptr;
  bool quit_ = false;
  bool display_lost_ = false;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_MAIN_WINDOW_H_
