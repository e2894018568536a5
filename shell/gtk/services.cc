// GResource lookups, g_spawn_async for xdg-open, GtkMessageDialog, /proc/self/exe and the XDG
// folders.
#include "shell/gtk/services.h"

#include <algorithm>
#include <string>

#include "shell/core/browser_command.h"
#include "shell/core/layout.h"
#include "shell/core/messages.h"
#include "shell/gtk/glib_util.h"
#include "shell/gtk/page_folder.h"
#include "shell/gtk/plq_resources.h"

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

void MessageBoxes::Run(GtkWindow* parent, const std::string& text, GtkMessageType type) {
  if (closed_) return;
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), kCaption);
  gtk_dialog_add_button(GTK_DIALOG(dialog), kOkText, GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  open_.push_back(GTK_DIALOG(dialog));
  gtk_dialog_run(GTK_DIALOG(dialog));
  open_.erase(std::find(open_.begin(), open_.end(), GTK_DIALOG(dialog)));
  gtk_widget_destroy(dialog);
}

void MessageBoxes::CloseAll() {
  closed_ = true;
  // Each box's gtk_dialog_run returns once its own loop gets back control; its caller then goes
  // on and destroys it.
  for (GtkDialog* dialog : open_) gtk_dialog_response(dialog, GTK_RESPONSE_NONE);
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
