// The main window with GTK 3: GtkWindow, GtkMenuBar and a GtkLayout holding the panes. Written
// against plain GTK 3 and measured under Xvfb, each quirk commented where it is handled. Under
// Wayland the same code runs; only what Wayland leaves to the program (its title bar) differs.
#include "shell/gtk/main_window.h"

#include <gdk/gdkwayland.h>

#include <cmath>
#include <string>

#include "shell/core/messages.h"
#include "shell/gtk/diagnostics.h"
#include "shell/gtk/glib_util.h"

namespace plq::gtk {
namespace {

// The calculator pane has painted when both calendar tables have rows and the frame after that
// has been drawn.
constexpr char kCalculatorPainted[] = R"js(
return new Promise(function (resolve) {
  function Rows(id) {
    var table = document.getElementById(id);
    return table && table.rows ? table.rows.length : 0;
  }
  function Check() {
    if (document.readyState != 'complete' || Rows('Calendar1') == 0 || Rows('Calendar2') == 0) {
      requestAnimationFrame(Check);
      return;
    }
    requestAnimationFrame(function () { setTimeout(function () { resolve(true); }, 0); });
  }
  Check();
});
)js";

// The side panel has painted two animation frames after its load.
constexpr char kSidePanelPainted[] = R"js(
return new Promise(function (resolve) {
  requestAnimationFrame(function () {
    requestAnimationFrame(function () { resolve(true); });
  });
});
)js";

// The window's icon in every size the build made; the desktop picks. The 16-colour 32 x 32 and
// 16 x 16 pictures are the program's own; the larger ones serve docks and task switchers. Under
// Wayland GTK 3 sends no icon at all (no protocol for it): compositors and docks take the desktop
// entry's icon, found by the window's app_id.
constexpr const char* kIcons[] = {"/plqcalc/icon-32.png",  "/plqcalc/icon-16.png",
                                  "/plqcalc/icon-48.png",  "/plqcalc/icon-64.png",
                                  "/plqcalc/icon-128.png", "/plqcalc/icon-256.png"};

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

// Focuses the page's first keyboard stop (`first`) or its last one, as Tab entering a page does.
// Document order is tab order here: the program's pages give no element a positive tabindex.
constexpr char kFocusEdgeStop[] = R"js(
var stops = [];
var candidates = document.querySelectorAll('a[href], input, button, select, textarea, iframe');
for (var i = 0; i < candidates.length; i++) {
  var element = candidates[i];
  if (!element.disabled && element.tabIndex >= 0 && element.getClientRects().length > 0 &&
      getComputedStyle(element).visibility == 'visible') {
    stops.push(element);
  }
}
if (stops.length > 0) stops[first ? 0 : stops.length - 1].focus();
)js";

void FocusEdgeStop(WebKitWebView* view, bool first) {
  GVariantDict arguments;
  g_variant_dict_init(&arguments, nullptr);
  // A number: WebKitGTK 2.50 refuses a boolean argument ("Invalid parameter").
  g_variant_dict_insert(&arguments, "first", "i", first ? 1 : 0);
  webkit_web_view_call_async_javascript_function(view, kFocusEdgeStop, -1,
                                                 g_variant_dict_end(&arguments), nullptr, nullptr,
                                                 nullptr, nullptr, nullptr);
}

// WebKit zooms every page by the screen's font resolution over 96 dots per inch (GDK_DPI_SCALE,
// Xft.dpi; GDK_SCALE leaves it at 96): the calculator's 553-pixel pane showed 442 page pixels at
// 120 and 368 at 144, its second calendar behind the side panel and below the window's edge.
int FontDpi(GtkWidget* widget) {
  const double resolution = gdk_screen_get_resolution(gtk_widget_get_screen(widget));
  return resolution > 0 ? static_cast<int>(std::lround(resolution)) : kBaseDpi;
}

// WebKit sizes a form field's text by the screen's font resolution, then zooms the page by it
// as well: at 144 the year field's text was 20 page pixels against 13 at 96, the date took two
// lines and the calendars went below the window. Away from 96 the fields get back their size at
// 96 in page pixels (from GTK's font, as WebKit reads it), so the page is laid out as at 96.
void KeepFieldTextSize(WebKitWebView* view, int dpi) {
  if (dpi == kBaseDpi) return;
  gchar* font_name = nullptr;
  g_object_get(gtk_widget_get_settings(GTK_WIDGET(view)), "gtk-font-name", &font_name, nullptr);
  PangoFontDescription* font = pango_font_description_from_string(font_name);
  double pixels = pango_font_description_get_size(font) / static_cast<double>(PANGO_SCALE);
  if (!pango_font_description_get_size_is_absolute(font)) pixels *= kBaseDpi / 72.0;
  pango_font_description_free(font);
  g_free(font_name);
  // In whole pixels, as WebKit takes it: "Sans 10" is 13 pixels at 96 (16 at 120).
  const int whole = static_cast<int>(std::floor(pixels));
  if (whole <= 0) return;
  const std::string css =
      "input, select, textarea, button { font-size: " + std::to_string(whole) + "px }";
  WebKitUserStyleSheet* sheet =
      webkit_user_style_sheet_new(css.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                  WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(webkit_web_view_get_user_content_manager(view),
                                              sheet);
  webkit_user_style_sheet_unref(sheet);
}

// What a screen reader says for a pane: WebKit's view is an unnamed "filler".
void NamePane(GtkWidget* pane, const char* name) {
  AtkObject* accessible = gtk_widget_get_accessible(pane);
  atk_object_set_name(accessible, name);
  atk_object_set_role(accessible, ATK_ROLE_PANEL);
}

}  // namespace

MainWindow::MainWindow(MessageBoxes& boxes, bool sandboxed) : boxes_(boxes), sandboxed_(sandboxed) {
  window_ = KeepSunk(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  gtk_widget_set_name(window_, "Form1");
  // Wayland lets no program place its window: there the compositor chooses, here X11 centres it.
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(window_), TRUE);
  SetIcons(GTK_WINDOW(window_));

  if (GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default())) {
    // Wayland has no window-manager hints to withhold the maximise button (X11's Motif hints,
    // below, do not reach it), and GTK draws the title bar itself: this one offers minimise and
    // close only, and a double click on it does nothing.
    header_bar_ = KeepSunk(gtk_header_bar_new());
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header_bar_), TRUE);
    gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(header_bar_), "menu:minimize,close");
    gtk_window_set_titlebar(GTK_WINDOW(window_), header_bar_);
    g_object_set(gtk_settings_get_default(), "gtk-titlebar-double-click", "none", nullptr);
  }

  menu_bar_ = KeepSunk(gtk_menu_bar_new());
  homepage_ = KeepSunk(gtk_menu_item_new_with_label(kHomepageText));
  about_ = KeepSunk(gtk_menu_item_new_with_label(kAboutText));
  gtk_widget_set_name(homepage_, "homepage");
  gtk_widget_set_name(about_, "about");
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_bar_), homepage_);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_bar_), about_);

  // GtkFixed grows to fit its children (the panes reach past the area); GtkLayout keeps the size
  // it is asked for and clips them.
  layout_ = KeepSunk(gtk_layout_new(nullptr, nullptr));
  // The window and the panes grow with the page's zoom, as the Windows build's do with the
  // screen's DPI: the page is laid out as at 96, only larger; at 96 nothing changes.
  dpi_ = FontDpi(window_);
  gtk_widget_set_size_request(layout_, ScaleToDpi(kClientWidth, dpi_),
                              ScaleToDpi(kClientHeight, dpi_));

  context_ = std::make_unique<WebContext>(sandboxed_);
  // Under Xvfb's software GL the composited path left the top of the taller left pane unpainted;
  // drawing without acceleration paints all of it and starts faster.
  settings_ = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings_,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  // No page may make the window fullscreen (PaneGuard also refuses what still asks).
  webkit_settings_set_enable_fullscreen(settings_, FALSE);
  const PanePlace calculator = Place(kWebBrowser1Place);
  panes_[0] = std::make_unique<BrowserPane>(calculator, TrustOf(calculator.pane), context_->get(),
                                            settings_, nullptr, kCalculatorPainted,
                                            static_cast<PaneListener&>(*this));
  gtk_layout_put(GTK_LAYOUT(layout_), panes_[0]->widget(), calculator.x, calculator.y);
  KeepFieldTextSize(panes_[0]->view(), dpi_);
  NamePane(panes_[0]->widget(), kCalculatorPaneName);
  panes_[1] = MakeSidePanel(false);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(box), menu_bar_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), layout_, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), box);

  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(window_, "realize", G_CALLBACK(OnRealize), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(layout_, "focus", G_CALLBACK(OnPaneAreaFocus), this);
  g_signal_connect(menu_bar_, "button-release-event", G_CALLBACK(OnMenuBarButtonRelease), this);
  g_signal_connect(homepage_, "activate", G_CALLBACK(OnHomepageActivate), this);
  g_signal_connect(about_, "activate", G_CALLBACK(OnAboutActivate), this);
}

std::unique_ptr<BrowserPane> MainWindow::MakeSidePanel(bool own_process) {
  // Which process it runs in is the core's to say (WebProcesses).
  const PanePlace place = Place(kWebBrowser2Place);
  auto side_panel =
      std::make_unique<BrowserPane>(place, TrustOf(place.pane), context_->get(), settings_,
                                    own_process ? nullptr : panes_[0]->view(), kSidePanelPainted,
                                    static_cast<PaneListener&>(*this));
  gtk_layout_put(GTK_LAYOUT(layout_), side_panel->widget(), place.x, place.y);
  NamePane(side_panel->widget(), kSidePanelPaneName);
  return side_panel;
}

MainWindow::~MainWindow() {
  if (side_panel_replacement_ != 0) g_source_remove(side_panel_replacement_);
  if (hung_process_end_ != 0) g_source_remove(hung_process_end_);
  for (GtkWidget* widget : {window_, menu_bar_, homepage_, about_, layout_}) {
    g_signal_handlers_disconnect_by_data(widget, this);
  }
  panes_[1].reset();
  panes_[0].reset();
  gtk_widget_destroy(window_);
  for (GtkWidget* widget : {window_, header_bar_, menu_bar_, homepage_, about_, layout_}) {
    if (widget != nullptr) g_object_unref(widget);
  }
  g_object_unref(settings_);
  context_.reset();
}

void MainWindow::SetCaption(const std::string& caption) {
  gtk_window_set_title(GTK_WINDOW(window_), caption.c_str());
  if (header_bar_ != nullptr) {
    gtk_header_bar_set_title(GTK_HEADER_BAR(header_bar_), caption.c_str());
  }
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
  if (pane == Pane::kWebBrowser2 && !sandboxed_) return Status::Ok();
  return PaneAt(pane).Navigate(path);
}

void MainWindow::EndLoop() {
  ended_ = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

void MainWindow::Quit() { EndLoop(); }

void MainWindow::Close() noexcept {
  if (ended_) return;
  // Set first: a second close request while the unload handler shows a message box is no second
  // unload.
  ended_ = true;
  Guarded("unload", [this] {
    if (form_ != nullptr) form_->Unload();
  });
  EndLoop();
}

void MainWindow::EndSession(bool display_lost) noexcept {
  context_->RemoveSandboxLeftovers();
  if (display_lost) {
    // Nothing that talks to the display may run any more.
    Guarded("end-session", [this] {
      if (form_ != nullptr) form_->EndSession();
    });
    return;
  }
  boxes_.CloseAll();
  Guarded("end-session", [this] {
    if (form_ != nullptr) form_->EndSession();
  });
  EndLoop();
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

void MainWindow::OnRealize(GtkWidget* widget, gpointer) {
  // Sizable and minimisable but never maximised: the Motif hints, which metacity, mutter, xfwm4
  // and KWin follow for the buttons and actions they offer (openbox keeps maximise whatever the
  // hints say). Listed one by one: managers disagree on how "all except" (GDK_FUNC_ALL) reads.
  // Wayland has no such hints (gdk_window_set_functions does nothing there).
  gdk_window_set_functions(gtk_widget_get_window(widget),
                           static_cast<GdkWMFunction>(GDK_FUNC_RESIZE | GDK_FUNC_MOVE |
                                                      GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
}

gboolean MainWindow::OnMenuBarButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer) {
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

void MainWindow::OnHomepageActivate(GtkMenuItem*, gpointer self) {
  Guarded("homepage", [self] {
    if (Form1* form = static_cast<MainWindow*>(self)->form_) form->HomepageClick();
  });
}

void MainWindow::OnAboutActivate(GtkMenuItem*, gpointer self) {
  Guarded("about", [self] {
    if (Form1* form = static_cast<MainWindow*>(self)->form_) form->AboutClick();
  });
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
