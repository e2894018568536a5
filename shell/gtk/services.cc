// GResource lookups, g_spawn_async for xdg-open, GtkMessageDialog with GDK's event handler in
// front of GTK's, /proc/self/exe and the XDG folders.
#include "shell/gtk/services.h"

#include <algorithm>
#include <string>

#include "shell/core/browser_command.h"
#include "shell/core/layout.h"
#include "shell/core/messages.h"
#include "shell/gtk/diagnostics.h"
#include "shell/gtk/glib_util.h"
#include "shell/gtk/page_folder.h"
#include "shell/gtk/plq_resources.h"

namespace plq {

void ReportUncaught(const char* where, const char* what) noexcept {
  g_critical("%s: %s", where, what);
}

}  // namespace plq

namespace plq::gtk {

Status ResourceStore::Read(const std::string& type, int id, Bytes* bytes) {
  // Resource types are folders under "/": fold the case and accept only letters and digits, so a
  // type can never name a path outside its own folder.
  std::string folder;
  for (char c : type) {
    if (!g_ascii_isalnum(c)) return Status::Failure("g_resource_lookup_data: bad type " + type);
    folder += g_ascii_tolower(c);
  }
  const std::string path = "/" + folder + "/" + std::to_string(id);
  GError* error = nullptr;
  GBytes* data = g_resource_lookup_data(plq_resources_get_resource(), path.c_str(),
                                        G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
  if (data == nullptr) {
    Status failure = Status::Failure("g_resource_lookup_data " + path + ": " + error->message);
    g_error_free(error);
    return failure;
  }
  gsize size = 0;
  const auto* first = static_cast<const unsigned char*>(g_bytes_get_data(data, &size));
  bytes->assign(first, first + size);
  g_bytes_unref(data);
  return Status::Ok();
}

Status BrowserLauncher::Open(const std::string& address, WindowStyle /*style*/) {
  // xdg-open hands the address to whatever browser the desktop prefers, which chooses its own
  // window state: a window style (normal, maximised) has no meaning here and is not passed on.
  // xdg-open takes a bare host ("www.example.com") for a file name; the scheme also keeps an
  // address from passing for an option.
  const std::string target = AddressWithScheme(address);
  if (target.find('\0') != std::string::npos) return Status::Failure("xdg-open: NUL in address");
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

namespace {

// A box takes no more texts than these: a page that kept failing in new words would otherwise
// grow it without end.
constexpr size_t kMostTexts = 20;

void PassToGtk(GdkEvent* event, gpointer) { gtk_main_do_event(event); }

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : "\n\n") + text;
  return joined;
}

}  // namespace

MessageBoxes::MessageBoxes() { gdk_event_handler_set(OnEvent, this, nullptr); }

MessageBoxes::~MessageBoxes() {
  gdk_event_handler_set(PassToGtk, nullptr, nullptr);
  if (close_request_ != nullptr) gdk_event_free(close_request_);
}

void MessageBoxes::Run(GtkWindow* parent, const std::string& text, GtkMessageType type) {
  if (closed_) return;
  if (open_ != nullptr) {
    AddText(text);
    return;
  }
  texts_ = {text};
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), kCaption);
  gtk_dialog_add_button(GTK_DIALOG(dialog), kOkText, GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  open_ = GTK_DIALOG(dialog);
  PutTextInScroller(parent);
  diagnostics::ReportMessageBox(text);
  gtk_dialog_run(open_);
  open_ = nullptr;
  label_ = nullptr;
  scroller_ = nullptr;
  texts_.clear();
  gtk_widget_destroy(dialog);
  if (close_request_ != nullptr) {
    // The box is gone: the window now takes the close request as it would have without it.
    if (!closed_) gdk_event_put(close_request_);
    gdk_event_free(close_request_);
    close_request_ = nullptr;
  }
}

void MessageBoxes::AddText(const std::string& text) {
  if (texts_.size() >= kMostTexts ||
      std::find(texts_.begin(), texts_.end(), text) != texts_.end()) {
    return;
  }
  texts_.push_back(text);
  const std::string joined = Joined(texts_);
  g_object_set(open_, "text", joined.c_str(), nullptr);
  FitText();
  diagnostics::ReportMessageBox(joined);
}

// GtkMessageDialog wraps its text between words only, up to 60 characters a line, and grows
// with it: a folder path of 4,092 bytes made boxes of 1674 x 1158 on a 1280 x 800 screen (in
// 255-byte names, 1349 x 439), the button out of sight. Here the text also wraps inside a word,
// and scrolls beyond half the screen's height, which leaves room for the title and the button.
void MessageBoxes::PutTextInScroller(GtkWindow* parent) {
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(open_));
  GList* children = gtk_container_get_children(GTK_CONTAINER(area));
  GtkWidget* label = children != nullptr ? GTK_WIDGET(children->data) : nullptr;
  g_list_free(children);
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(open_));
  GdkWindow* over = parent != nullptr ? gtk_widget_get_window(GTK_WIDGET(parent)) : nullptr;
  GdkMonitor* monitor = over != nullptr ? gdk_display_get_monitor_at_window(display, over)
                                        : gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  if (label == nullptr || !GTK_IS_LABEL(label) || monitor == nullptr) return;
  GdkRectangle screen;
  gdk_monitor_get_workarea(monitor, &screen);
  most_height_ = screen.height / 2;

  label_ = GTK_LABEL(label);
  gtk_label_set_line_wrap_mode(label_, PANGO_WRAP_WORD_CHAR);
  // Without a hyphen where a name breaks, which a path could hold itself.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
  gtk_label_set_attributes(label_, attributes);
  pango_attr_list_unref(attributes);
  scroller_ = GTK_SCROLLED_WINDOW(gtk_scrolled_window_new(nullptr, nullptr));
  gtk_scrolled_window_set_propagate_natural_width(scroller_, TRUE);
  gtk_scrolled_window_set_propagate_natural_height(scroller_, TRUE);
  gtk_scrolled_window_set_max_content_width(scroller_, screen.width * 3 / 4);
  gtk_scrolled_window_set_max_content_height(scroller_, most_height_);
  g_object_ref(label);
  gtk_container_remove(GTK_CONTAINER(area), label);
  gtk_container_add(GTK_CONTAINER(scroller_), label);
  g_object_unref(label);
  gtk_box_pack_start(GTK_BOX(area), GTK_WIDGET(scroller_), FALSE, FALSE, 0);
  gtk_box_reorder_child(GTK_BOX(area), GTK_WIDGET(scroller_), 0);
  gtk_widget_show_all(GTK_WIDGET(scroller_));
  FitText();
}

void MessageBoxes::FitText() {
  if (scroller_ == nullptr) return;
  // A scroll bar, even one not needed, makes the box taller: a text that fits has none, and the
  // box looks as it always did.
  int width = 0;
  int height = 0;
  gtk_widget_get_preferred_width(GTK_WIDGET(label_), nullptr, &width);
  gtk_widget_get_preferred_height_for_width(GTK_WIDGET(label_), width, nullptr, &height);
  const bool scrolls = height > most_height_;
  gtk_scrolled_window_set_policy(scroller_, GTK_POLICY_NEVER,
                                 scrolls ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER);
  gtk_scrolled_window_set_min_content_height(scroller_, scrolls ? most_height_ : -1);
}

void MessageBoxes::CloseAll() {
  closed_ = true;
  // The box's gtk_dialog_run returns once its loop gets back control; Run then destroys it.
  if (open_ != nullptr) gtk_dialog_response(open_, GTK_RESPONSE_NONE);
}

void MessageBoxes::OnEvent(GdkEvent* event, gpointer self) {
  auto* boxes = static_cast<MessageBoxes*>(self);
  // gtk_main_do_event drops a close request for any window outside the modal box's grab: the
  // user's close of the main window was lost while a box was open. It closes the box instead,
  // and reaches the window once the box is gone.
  if (event->type == GDK_DELETE && boxes->open_ != nullptr) {
    GtkWidget* target = gtk_get_event_widget(event);
    if (target != nullptr && gtk_widget_get_toplevel(target) != GTK_WIDGET(boxes->open_)) {
      if (boxes->close_request_ == nullptr) boxes->close_request_ = gdk_event_copy(event);
      gtk_dialog_response(boxes->open_, GTK_RESPONSE_CLOSE);
      return;
    }
  }
  gtk_main_do_event(event);
}

void FailureReporter::Report(const std::string& message) {
  Guarded("report", [this, &message] { boxes_.Run(parent_, message, GTK_MESSAGE_ERROR); });
}

std::string Folders::ApplicationDirectory() {
  gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
  if (executable == nullptr) {
    executable = g_path_is_absolute(argv0_.c_str()) ? g_strdup(argv0_.c_str())
                                                    : g_find_program_in_path(argv0_.c_str());
  }
  // Without a known application directory there is none to try; the private folders follow.
  if (executable == nullptr) return {};
  gchar* directory = g_path_get_dirname(executable);
  std::string result = directory;
  g_free(directory);
  g_free(executable);
  return result;
}

std::vector<std::string> Folders::PrivateFolders() {
  std::vector<std::string> folders;
  // The session's runtime folder is made by the session (it lives only as long as the user is
  // logged in); a missing one is passed over, never made here.
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && g_path_is_absolute(runtime) &&
      g_file_test(runtime, G_FILE_TEST_IS_DIR)) {
    gchar* folder = g_build_filename(runtime, kPrivateFolderName, nullptr);
    folders.emplace_back(folder);
    g_free(folder);
  }
  gchar* folder = g_build_filename(g_get_user_cache_dir(), kPrivateFolderName, nullptr);
  folders.emplace_back(folder);
  g_free(folder);
  return folders;
}

Status Folders::Open(const std::string& path, FolderKind kind,
                     std::unique_ptr<plq::PageFolder>* folder) {
  if (kind == FolderKind::kPrivate) {
    // A fresh account may have no cache folder yet; it is the user's own, so it is made (for the
    // user alone, as the XDG rules ask).
    gchar* parent = g_path_get_dirname(path.c_str());
    if (g_strcmp0(parent, g_get_user_cache_dir()) == 0) g_mkdir_with_parents(parent, 0700);
    g_free(parent);
  }
  std::unique_ptr<PageFolder> opened;
  Status status = PageFolder::Open(path, kind, &opened);
  if (status.ok()) *folder = std::move(opened);
  return status;
}

}  // namespace plq::gtk
