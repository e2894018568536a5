// Linux backend: GTK 3 + WebKitGTK 4.1 (pkg-config gtk+-3.0 webkit2gtk-4.1), GResource, xdg-open.
// Written against plain GTK 3 on X11 because that is where WebKitGTK 4.1 runs everywhere, with
// the GtkMenuBar, GtkLayout and WebKit settings chosen from measurements under Xvfb (see the
// comments where each quirk is handled).
#include "shell/gtk/gtk_webkitgtk.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <glib.h>
// Xlib's `#define Status int` would replace the core's plq::Status below.
#undef Status

#include <cstdio>
#include <exception>
#include <utility>

#include "shell/gtk/plq_resources.h"

namespace plq {
namespace {

constexpr int kAreaWidth = 735;
constexpr int kAreaHeight = 496;

struct PanePlace {
  const char* name;
  int x, y, width, height;
};
// The left pane is taller than the area and the right one runs past its right edge: the panes are
// cut off at the area's borders, and nothing moves when the window is resized.
constexpr PanePlace kWebBrowser1Place = {"WebBrowser1", 0, 0, 553, 519};
constexpr PanePlace kWebBrowser2Place = {"WebBrowser2", 552, 0, 209, 497};

// Exceptions must not unwind through GLib's C frames: every callback body runs in here.
template <typename Body>
void Guarded(const char* where, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    g_critical("%s: %s", where, e.what());
  } catch (...) {
    g_critical("%s: unknown exception", where);
  }
}

template <typename T>
T* KeepSunk(T* object) {
  g_object_ref_sink(object);
  return object;
}

// Runs in the calculator pane once its load has finished: resolves when both calendar tables have
// rows and two animation frames have passed, so the calendars have been painted, not only built.
// Runs in the side panel once its load has finished: resolves after two animation frames, when
// the page's first picture has been painted.
constexpr char kPaintedScript[] = R"js(
return new Promise(function (resolve) {
  requestAnimationFrame(function () {
    requestAnimationFrame(function () { resolve(true); });
  });
});
)js";

constexpr char kReadyCheckScript[] = R"js(
return new Promise(function (resolve) {
  function Rows(id) {
    var table = document.getElementById(id);
    return table && table.rows ? table.rows.length : 0;
  }
  function Field(name) {
    var form = document.forms.frmInput;
    return form && form[name] ? form[name].value : '';
  }
  function Check() {
    if (document.readyState != 'complete' || Rows('Calendar1') == 0 || Rows('Calendar2') == 0) {
      requestAnimationFrame(Check);
      return;
    }
    // The frame after this callback paints the calendars; the timeout runs once it has.
    requestAnimationFrame(function () {
      setTimeout(function () {
        resolve(JSON.stringify({
          calendar1: Rows('Calendar1'), calendar2: Rows('Calendar2'),
          year: Field('txtYear'), month: Field('txtMonth'), day: Field('txtDay'),
          compatMode: document.compatMode, characterSet: document.characterSet,
          title: document.title
        }));
      }, 0);
    });
  }
  Check();
});
)js";

}  // namespace

void RunMessageBox(GtkWindow* parent, const std::string& text, GtkMessageType type) {
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), kCaption);
  gtk_dialog_add_button(GTK_DIALOG(dialog), "确定", GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

GtkMainWindow::GtkMainWindow()
    : report_ready_(g_getenv(kReportReadyVariable) && *g_getenv(kReportReadyVariable)) {
  window_ = KeepSunk(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  gtk_widget_set_name(window_, "Form1");
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(window_), TRUE);
  GList* icons = nullptr;
  for (const char* path : {"/plqcalc/icon-32.png", "/plqcalc/icon-16.png"}) {
    if (GdkPixbuf* icon = gdk_pixbuf_new_from_resource(path, nullptr)) {
      icons = g_list_append(icons, icon);
    }
  }
  gtk_window_set_icon_list(GTK_WINDOW(window_), icons);
  gtk_window_set_default_icon_list(icons);  // message boxes too
  g_list_free_full(icons, g_object_unref);

  menu_bar_ = KeepSunk(gtk_menu_bar_new());
  homepage_ = KeepSunk(gtk_menu_item_new_with_label("主页"));
  about_ = KeepSunk(gtk_menu_item_new_with_label("关于"));
  gtk_widget_set_name(homepage_, "homepage");
  gtk_widget_set_name(about_, "about");
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_bar_), homepage_);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_bar_), about_);

  // GtkFixed grows to fit its children (the panes reach past the area); GtkLayout keeps the size
  // it is asked for and clips them.
  layout_ = KeepSunk(gtk_layout_new(nullptr, nullptr));
  gtk_widget_set_size_request(layout_, kAreaWidth, kAreaHeight);

  // Ephemeral: the program keeps nothing between runs, no cache, cookies or local storage files.
  context_ = webkit_web_context_new_ephemeral();
  // Under Xvfb's software GL the composited path left the top of the taller left pane unpainted;
  // drawing without acceleration paints all of it and starts faster.
  settings_ = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings_,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  web_browser1_ = WEBKIT_WEB_VIEW(KeepSunk(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_, "settings", settings_, nullptr)));
  // A related view shares the first view's web process: one process for both panes starts
  // faster and uses less memory than two.
  web_browser2_ = WEBKIT_WEB_VIEW(KeepSunk(g_object_new(
      WEBKIT_TYPE_WEB_VIEW, "related-view", web_browser1_, "settings", settings_, nullptr)));
  for (auto [view, place] :
       {std::pair{web_browser1_, kWebBrowser1Place}, std::pair{web_browser2_, kWebBrowser2Place}}) {
    GtkWidget* widget = GTK_WIDGET(view);
    gtk_widget_set_name(widget, place.name);
    gtk_widget_set_size_request(widget, place.width, place.height);
    gtk_layout_put(GTK_LAYOUT(layout_), widget, place.x, place.y);
    g_signal_connect(view, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), this);
  }

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(box), menu_bar_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), layout_, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), box);

  cancellable_ = g_cancellable_new();
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(window_, "realize", G_CALLBACK(OnRealize), this);
  g_signal_connect(menu_bar_, "button-release-event", G_CALLBACK(OnMenuBarButtonRelease), this);
  g_signal_connect(homepage_, "activate", G_CALLBACK(OnHomepageActivate), this);
  g_signal_connect(about_, "activate", G_CALLBACK(OnAboutActivate), this);
}

std::vector<GObject*> GtkMainWindow::Owned() const {
  return {G_OBJECT(window_),  G_OBJECT(menu_bar_),     G_OBJECT(homepage_),     G_OBJECT(about_),
          G_OBJECT(layout_),  G_OBJECT(web_browser1_), G_OBJECT(web_browser2_), G_OBJECT(settings_),
          G_OBJECT(context_), G_OBJECT(cancellable_)};
}

GtkMainWindow::~GtkMainWindow() {
  g_cancellable_cancel(cancellable_);
  const std::vector<GObject*> owned = Owned();
  for (GObject* object : owned) g_signal_handlers_disconnect_by_data(object, this);
  gtk_widget_destroy(window_);
  for (GObject* object : owned) g_object_unref(object);
}

void GtkMainWindow::SetCaption(const std::string& caption) {
  gtk_window_set_title(GTK_WINDOW(window_), caption.c_str());
}

void GtkMainWindow::Show() { gtk_widget_show_all(window_); }

Status GtkMainWindow::Navigate(Pane pane, const std::string& path) {
  WebKitWebView* view = pane == Pane::kWebBrowser1   ? web_browser1_
                        : pane == Pane::kWebBrowser2 ? web_browser2_
                                                     : nullptr;
  if (view == nullptr) return Status::Failure("没有这个浏览器窗格");
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
  if (uri == nullptr) {
    Status failure = Status::Failure(path + ": " + error->message);
    g_error_free(error);
    return failure;
  }
  webkit_web_view_load_uri(view, uri);
  g_free(uri);
  return Status::Ok();
}

void GtkMainWindow::Close() noexcept {
  if (closed_) return;
  closed_ = true;
  Guarded("unload", [this] {
    if (form_ != nullptr) form_->Unload();
  });
  gtk_main_quit();
}

gboolean GtkMainWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<GtkMainWindow*>(self)->Close();
  // The window goes when the event loop has ended and main() drops it.
  return TRUE;
}

void GtkMainWindow::OnDestroy(GtkWidget*, gpointer self) {
  // Only reached when the X window vanished without a close request (xkill, `xdotool
  // windowclose`): still remove the pages and end, rather than live on without a window.
  static_cast<GtkMainWindow*>(self)->Close();
}

void GtkMainWindow::OnRealize(GtkWidget* widget, gpointer) {
  // Sizable and minimisable but never maximised: the Motif hints, which metacity, mutter, xfwm4
  // and KWin follow for the buttons and actions they offer (openbox keeps maximise whatever the
  // hints say). Listed one by one: managers disagree on how "all except" (GDK_FUNC_ALL) reads.
  gdk_window_set_functions(gtk_widget_get_window(widget),
                           static_cast<GdkWMFunction>(GDK_FUNC_RESIZE | GDK_FUNC_MOVE |
                                                      GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
}

gboolean GtkMainWindow::OnMenuBarButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer) {
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

void GtkMainWindow::OnHomepageActivate(GtkMenuItem*, gpointer self) {
  Guarded("homepage", [self] {
    if (Form1* form = static_cast<GtkMainWindow*>(self)->form_) form->HomepageClick();
  });
}

void GtkMainWindow::OnAboutActivate(GtkMenuItem*, gpointer self) {
  Guarded("about", [self] {
    if (Form1* form = static_cast<GtkMainWindow*>(self)->form_) form->AboutClick();
  });
}

gboolean GtkMainWindow::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self) {
  // WebKit's own alert is an English box drawn inside the pane; the page's alerts are the
  // program's message boxes. gtk_dialog_run keeps the script waiting until the box is closed.
  if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_ALERT) return FALSE;
  Guarded("script-dialog", [self, dialog] {
    RunMessageBox(static_cast<GtkMainWindow*>(self)->gtk_window(),
                  webkit_script_dialog_get_message(dialog), GTK_MESSAGE_WARNING);
  });
  return TRUE;
}

void GtkMainWindow::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  if (event != WEBKIT_LOAD_FINISHED) return;
  if (view == window->web_browser2_) {
    if (window->report_ready_) {
      std::fputs("plqcalc: side-panel-loaded\n", stdout);
      std::fflush(stdout);
    }
    webkit_web_view_call_async_javascript_function(view, kPaintedScript, -1, nullptr, nullptr,
                                                   nullptr, window->cancellable_,
                                                   OnSidePanelPainted, self);
    return;
  }
  // Runs with or without the ready report: OnReadyChecked makes sure the calendars reach the
  // screen.
  webkit_web_view_call_async_javascript_function(view, kReadyCheckScript, -1, nullptr, nullptr,
                                                 nullptr, window->cancellable_, OnReadyChecked,
                                                 self);
}

void GtkMainWindow::OnReadyChecked(GObject* view, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (value == nullptr) {
    // Cancelled means the window is gone: `self` must not be touched.
    if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) &&
        static_cast<GtkMainWindow*>(self)->report_ready_) {
      std::fprintf(stdout, "plqcalc: calculator-check-failed %s\n", error->message);
      std::fflush(stdout);
    }
    g_error_free(error);
    return;
  }
  auto* window = static_cast<GtkMainWindow*>(self);
  // Now and then (about one start in fifteen here, on a fresh X server as on one that has shown
  // earlier windows) WebKit keeps the pane's picture without asking GTK to draw it: the page has
  // drawn the calendars, yet the pane stays the window's grey for good, while any draw request
  // from outside brings the picture up at once. One request here, when the page reports the
  // calendars drawn, costs one repaint of the pane from WebKit's buffer; with it none of 130
  // starts showed the grey pane.
  gtk_widget_queue_draw(GTK_WIDGET(window->web_browser1_));
  if (!window->report_ready_) {
    g_object_unref(value);
    return;
  }
  gchar* json = jsc_value_to_string(value);
  unsigned long xid = 0;
  GdkWindow* gdk_window = gtk_widget_get_window(window->window_);
  if (gdk_window != nullptr && GDK_IS_X11_WINDOW(gdk_window)) xid = GDK_WINDOW_XID(gdk_window);
  std::fprintf(stdout, "plqcalc: calculator-ready xid=0x%lx %s\n", xid, json);
  std::fflush(stdout);
  g_free(json);
  g_object_unref(value);
}

void GtkMainWindow::OnSidePanelPainted(GObject* view, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (value == nullptr) {
    // Cancelled means the window is gone: `self` must not be touched. Any other failure leaves
    // the pane as WebKit drew it.
    g_error_free(error);
    return;
  }
  g_object_unref(value);
  // The same lost draw request as in OnReadyChecked strikes this pane too (seen as a grey side
  // panel beside a drawn calculator): one request once the page has painted brings it up.
  gtk_widget_queue_draw(GTK_WIDGET(static_cast<GtkMainWindow*>(self)->web_browser2_));
}

Status GResourceStore::Read(const std::string& type, int id, Bytes* bytes) {
  if (bytes == nullptr) return Status::Failure("no buffer for the resource");
  // Resource types are folders under "/": fold the case and accept only letters and digits, so a
  // type can never name a path outside its own folder.
  std::string folder;
  for (char c : type) {
    if (!g_ascii_isalnum(c)) return Status::Failure("no resource of type \"" + type + "\"");
    folder += g_ascii_tolower(c);
  }
  if (folder.empty()) return Status::Failure("no resource type given");
  const std::string path = "/" + folder + "/" + std::to_string(id);
  GError* error = nullptr;
  GBytes* data = g_resource_lookup_data(plq_resources_get_resource(), path.c_str(),
                                        G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
  if (data == nullptr) {
    Status failure = Status::Failure("resource " + type + " " + std::to_string(id) + ": " +
                                     (error ? error->message : "not found"));
    if (error) g_error_free(error);
    return failure;
  }
  gsize size = 0;
  const auto* first = static_cast<const unsigned char*>(g_bytes_get_data(data, &size));
  bytes->assign(first, first + size);
  g_bytes_unref(data);
  return Status::Ok();
}

Status XdgOpenLauncher::Open(const std::string& address, WindowStyle /*style*/) {
  // xdg-open hands the address to whatever browser the desktop prefers, which chooses its own
  // window state: a window style (normal, maximised) has no meaning here and is not passed on.
  if (address.empty()) return Status::Failure("no address to open");
  if (address.find('\0') != std::string::npos) return Status::Failure("invalid address");
  // xdg-open takes a bare host ("www.example.com") for a file name and fails; an address without
  // a scheme is a web address. The scheme also keeps an address from passing for an option.
  const std::string target =
      g_uri_peek_scheme(address.c_str()) == nullptr ? "http://" + address : address;
  gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(target.c_str()), nullptr};
  GError* error = nullptr;
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib runs the browser through an intermediate child: it is
  // never waited for and never left as a zombie, and a missing xdg-open still shows up here.
  if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                     &error)) {
    Status failure = Status::Failure(std::string("xdg-open: ") + error->message);
    g_error_free(error);
    return failure;
  }
  return Status::Ok();
}

void MessageBoxReporter::Report(const std::string& message) {
  Guarded("report",
          [this, &message] { RunMessageBox(window_.gtk_window(), message, GTK_MESSAGE_ERROR); });
}

std::string LinuxFolders::ApplicationDirectory() {
  gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
  if (executable == nullptr) {
    executable = g_path_is_absolute(argv0_.c_str()) ? g_strdup(argv0_.c_str())
                                                    : g_find_program_in_path(argv0_.c_str());
  }
  // Without a known application directory the page files go straight to a private folder.
  if (executable == nullptr) return PrivateFolders().front();
  gchar* directory = g_path_get_dirname(executable);
  std::string result = directory;
  g_free(directory);
  g_free(executable);
  return result;
}

std::vector<std::string> LinuxFolders::PrivateFolders() {
  std::vector<std::string> folders;
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && g_path_is_absolute(runtime)) {
    gchar* folder = g_build_filename(runtime, kProgramName, nullptr);
    folders.emplace_back(folder);
    g_free(folder);
  }
  gchar* folder = g_build_filename(g_get_user_cache_dir(), kProgramName, nullptr);
  folders.emplace_back(folder);
  g_free(folder);
  return folders;
}

}  // namespace plq
