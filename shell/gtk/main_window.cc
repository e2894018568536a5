// The main window with GTK 3: GtkWindow, GtkMenuBar and a GtkLayout holding the panes. Written
// against plain GTK 3 and measured under Xvfb, each quirk commented where it is handled. Under
// Wayland the same code runs; only what Wayland leaves to the program (its title bar) differs.
#include "shell/gtk/main_window.h"

#include <cmath>
#include <string>

#include "shell/core/messages.h"
#include "shell/gtk/diagnostics.h"
#include "shell/gtk/glib_util.h"
#include "shell/gtk/page_scripts.h"
#include "shell/gtk/window_frame.h"

namespace plq::gtk {
namespace {

// WebKit zooms every page by the screen's font resolution over 96 dots per inch (GDK_DPI_SCALE,
// Xft.dpi; GDK_SCALE leaves it at 96): the calculator's 553-pixel pane showed 442 page pixels at
// 120 and 368 at 144, its second calendar behind the side panel and below the window's edge.
int FontDpi(GtkWidget* widget) {
  const double resolution = gdk_screen_get_resolution(gtk_widget_get_screen(widget));
  return resolution > 0 ? static_cast<int>(std::lround(resolution)) : kBaseDpi;
}

}  // namespace

MainWindow::MainWindow(MessageBoxes& boxes, std::unique_ptr<WebContext> context)
    : boxes_(boxes), context_(std::move(context)) {
  window_ = KeepSunk(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  gtk_widget_set_name(window_, "Form1");
  // Wayland lets no program place its window: there the compositor chooses, here X11 centres it.
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(window_), TRUE);
  SetIcons(GTK_WINDOW(window_));
  title_bar_ = MakeTitleBar(GTK_WINDOW(window_));
  menu_bar_ = std::make_unique<MenuBar>(
      [this] {
        if (form_ != nullptr) form_->HomepageClick();
      },
      [this] {
        if (form_ != nullptr) form_->AboutClick();
      });

  // GtkFixed grows to fit its children (the panes reach past the area); GtkLayout keeps the size
  // it is asked for and clips them.
  layout_ = KeepSunk(gtk_layout_new(nullptr, nullptr));
  // The window and the panes grow with the page's zoom, as the Windows build's do with the
  // screen's DPI: the page is laid out as at 96, only larger; at 96 nothing changes.
  dpi_ = FontDpi(window_);
  gtk_widget_set_size_request(layout_, ScaleToDpi(kClientWidth, dpi_),
                              ScaleToDpi(kClientHeight, dpi_));

  // Under Xvfb's software GL the composited path left the top of the taller left pane unpainted;
  // drawing without acceleration paints all of it and starts faster.
  settings_ = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings_,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  // No page may make the window fullscreen (PaneGuard also refuses what still asks).
  webkit_settings_set_enable_fullscreen(settings_, FALSE);
  const PanePlace calculator = Place(kWebBrowser1Place);
  panes_[0] = std::make_unique<BrowserPane>(calculator, TrustOf(calculator.pane), context_->get(),
                                            settings_, nullptr, static_cast<PaneListener&>(*this));
  gtk_layout_put(GTK_LAYOUT(layout_), panes_[0]->widget(), calculator.x, calculator.y);
  KeepFieldTextSize(panes_[0]->view(), dpi_);
  panes_[1] = MakeSidePanel(false);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(box), menu_bar_->widget(), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), layout_, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), box);

  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(window_, "realize", G_CALLBACK(OnRealize), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(layout_, "focus", G_CALLBACK(OnPaneAreaFocus), this);
}

std::unique_ptr<BrowserPane> MainWindow::MakeSidePanel(bool own_process) {
  // Which process it runs in is the core's to say (WebProcesses).
  const PanePlace place = Place(kWebBrowser2Place);
  auto side_panel = std::make_unique<BrowserPane>(
      place, TrustOf(place.pane), context_->get(), settings_,
      own_process ? nullptr : panes_[0]->view(), static_cast<PaneListener&>(*this));
  gtk_layout_put(GTK_LAYOUT(layout_), side_panel->widget(), place.x, place.y);
  return side_panel;
}

MainWindow::~MainWindow() {
  if (side_panel_replacement_ != 0) g_source_remove(side_panel_replacement_);
  if (hung_process_end_ != 0) g_source_remove(hung_process_end_);
  for (GtkWidget* widget : {window_, layout_}) g_signal_handlers_disconnect_by_data(widget, this);
  panes_[1].reset();
  panes_[0].reset();
  gtk_widget_destroy(window_);
  menu_bar_.reset();
  for (GtkWidget* widget : {window_, title_bar_, layout_}) {
    if (widget != nullptr) g_object_unref(widget);
  }
  g_object_unref(settings_);
  context_.reset();
}

void MainWindow::SetCaption(const std::string& caption) {
  gtk_window_set_title(GTK_WINDOW(window_), caption.c_str());
  if (title_bar_ != nullptr) gtk_header_bar_set_title(GTK_HEADER_BAR(title_bar_), caption.c_str());
}

void MainWindow::Show() {
  // The keyboard starts in the calculator, whose page focuses its first button. Left to itself
  // GTK started in the side panel (its tab order goes by the panes' middles, and the shorter side
  // panel's lies higher), where Return and Space did nothing.
  gtk_widget_grab_focus(PaneAt(Pane::kWebBrowser1).widget());
  gtk_widget_show_all(window_);
}

Status MainWindow::Navigate(Pane pane, const std::string& path) {
  // The side panel frames a stranger's content: outside the sandbox it would run with all of the
  // user's rights, next to the calculator. The calculator is the program; the widget is an
  // advertisement the user did not ask for. So without the sandbox the side panel stays empty.
  if (pane == Pane::kWebBrowser2 && !context_->sandboxed()) return Status::Ok();
  return PaneAt(pane).Navigate(path);
}

Status MainWindow::RunEventLoop() {
  if (!quit_) gtk_main();
  return Status::Ok();
}

void MainWindow::Quit() {
  quit_ = true;
  // Its processes have started by now, or never will: what the sandbox left for them goes, even
  // when the process is about to end at once.
  context_->RemoveSandboxLeftovers();
  // Nothing that talks to the display may run once it is gone.
  if (!display_lost_) boxes_.CloseAll();
  if (gtk_main_level() > 0) gtk_main_quit();
}

void MainWindow::Close() noexcept {
  // Form1 ends the program once, whatever comes first: a second close request while the unload
  // handler shows a message box is no second unload.
  Guarded("unload", [this] {
    if (form_ != nullptr) form_->Unload();
  });
}

void MainWindow::SessionEnded(bool display_lost) noexcept {
  display_lost_ = display_lost_ || display_lost;
  Guarded("end-session", [this] {
    if (form_ != nullptr) form_->EndSession();
  });
}

gboolean MainWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<MainWindow*>(self)->Close();
  // The window goes when the event loop has ended and main() drops it.
  return TRUE;
}

void MainWindow::OnDestroy(GtkWidget*, gpointer self) {
  // Only reached when the X window vanished without a close request (xkill, `xdotool
  // windowclose`): still remove the pages and end, rather than live on without a window.
  static_cast<MainWindow*>(self)->Close();
}

void MainWindow::OnRealize(GtkWidget* widget, gpointer) { WithholdMaximise(widget); }

gboolean MainWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  // F6 and Ctrl+Tab (with Shift: backwards, which with two panes is the same) move between the
  // panes. The window sees them before any page does: no content in a pane can keep the keyboard.
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask() & ~GDK_SHIFT_MASK;
  const bool tab = event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_ISO_Left_Tab ||
                   event->keyval == GDK_KEY_KP_Tab;
  if (!(event->keyval == GDK_KEY_F6 && modifiers == 0) && !(tab && modifiers == GDK_CONTROL_MASK)) {
    return FALSE;
  }
  auto* window = static_cast<MainWindow*>(self);
  GtkWidget* calculator = window->PaneAt(Pane::kWebBrowser1).widget();
  gtk_widget_grab_focus(
      gtk_widget_is_focus(calculator) ? window->PaneAt(Pane::kWebBrowser2).widget() : calculator);
  return TRUE;
}

gboolean MainWindow::OnPaneAreaFocus(GtkWidget*, GtkDirectionType direction, gpointer self) {
  // GTK moves the focus here when a page has no stop left for Tab (or an arrow key): the
  // calculator starts again at its other end, and the side panel hands the keyboard back to the
  // calculator. Left to GTK, Tab went on through the side panel (five invisible stops with the
  // remote widget). Only giving the calculator the focus back is not enough: WebKit goes on from
  // where the focus left its page, and the next Tab left it again.
  auto* window = static_cast<MainWindow*>(self);
  BrowserPane& calculator = window->PaneAt(Pane::kWebBrowser1);
  const bool tab = direction == GTK_DIR_TAB_FORWARD || direction == GTK_DIR_TAB_BACKWARD;
  if (gtk_widget_is_focus(calculator.widget()) && !tab) return TRUE;
  gtk_widget_grab_focus(calculator.widget());
  if (tab) FocusEdgeStop(calculator.view(), direction == GTK_DIR_TAB_FORWARD);
  return TRUE;
}

void MainWindow::PageLoaded(Pane pane) {
  // Its web process has started by now: what the sandbox left for it can go, so that not even a
  // crash leaves it behind.
  context_->RemoveSandboxLeftovers();
  if (form_ != nullptr) form_->PageLoaded(pane);
  if (pane == Pane::kWebBrowser2) diagnostics::ReportSidePanelLoaded();
}

void MainWindow::PageLoadFailed(Pane pane, const std::string& detail) {
  if (form_ != nullptr) form_->PageLoadFailed(pane, detail);
}

void MainWindow::PagePainted(Pane pane) {
  if (pane == Pane::kWebBrowser1) {
    diagnostics::ReportCalculatorPainted(PaneAt(pane).view(), window_);
  }
}

void MainWindow::ProcessEnded(Pane pane, const std::string& detail) {
  switch (web_processes_.ProcessEnded(pane)) {
    case WebProcesses::Step::kGiveSidePanelItsOwnProcess:
      // Its view is made anew once this signal has returned.
      side_panel_ended_detail_ = detail;
      side_panel_replacement_ = g_idle_add(OnSidePanelReplaced, this);
      return;
    case WebProcesses::Step::kLoadAgain:
      if (form_ != nullptr) form_->PaneEnded(pane, detail);
      return;
    case WebProcesses::Step::kNothing:
    case WebProcesses::Step::kEndCalculatorProcess:
      return;
  }
}

gboolean MainWindow::OnSidePanelReplaced(gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  window->side_panel_replacement_ = 0;
  Guarded("side-panel", [window] {
    window->panes_[1].reset();
    window->panes_[1] = window->MakeSidePanel(true);
    gtk_widget_show(window->panes_[1]->widget());
    if (window->form_ != nullptr) {
      window->form_->PaneEnded(Pane::kWebBrowser2, window->side_panel_ended_detail_);
    }
  });
  return G_SOURCE_REMOVE;
}

void MainWindow::ProcessUnresponsive(Pane pane) {
  // WebKit tells each pane of a hung process in turn, in no fixed order (the side panel came
  // first in 6 runs of 6 once the program's process loaded no GL). Ended from within that round,
  // the process is gone and the calculator reloading before WebKit tells the calculator: that
  // word then ends the calculator's new process, and the program gives up on it. Ended once the
  // round is over, it ends once.
  if (web_processes_.ProcessUnresponsive(pane) == WebProcesses::Step::kEndCalculatorProcess) {
    hung_process_end_ = g_idle_add(OnHungProcessEnded, this);
  }
}

gboolean MainWindow::OnHungProcessEnded(gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  window->hung_process_end_ = 0;
  window->PaneAt(Pane::kWebBrowser1).EndProcess();
  return G_SOURCE_REMOVE;
}

void MainWindow::NewWindowRequested(Pane, const std::string& address, bool user_gesture) {
  if (form_ != nullptr) form_->NewWindowRequested(address, user_gesture);
}

void MainWindow::Alert(const std::string& message) {
  boxes_.Run(GTK_WINDOW(window_), message, GTK_MESSAGE_WARNING);
}

}  // namespace plq::gtk
