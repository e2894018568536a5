// Linux backend: GTK 3 for the window and menu bar, WebKitGTK 4.1 (pkg-config gtk+-3.0
// webkit2gtk-4.1) for the two browser panes, GResource for the pages carried in the executable,
// and xdg-open as the external browser. It implements the core's interfaces in platform.h and
// forwards the window's events to Form1.
#ifndef PLQ_SHELL_GTK_GTK_WEBKITGTK_H_
#define PLQ_SHELL_GTK_GTK_WEBKITGTK_H_

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>
#include <utility>
#include <vector>

#include "shell/core/form1.h"
#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq {

// The folder name of the private per-user fallback folders.
inline constexpr char kProgramName[] = "plqcalc";

// Set to any non-empty value, this variable makes the program print one line to standard output
// when the calculator pane has loaded and painted both calendars
// ("plqcalc: calculator-ready xid=0x... {...}") and one when the side panel pane has finished
// loading ("plqcalc: side-panel-loaded"). The window tests, the run script and the start-up
// benchmark wait for these lines instead of guessing with sleeps.
inline constexpr char kReportReadyVariable[] = "PLQCALC_REPORT_READY";

// The main window: caption, the menu bar with "主页" and "关于", and the panes WebBrowser1 and
// WebBrowser2 at fixed places in a 735 x 496 area below the menu bar.
class GtkMainWindow : public MainWindow {
 public:
  GtkMainWindow();
  ~GtkMainWindow() override;
  GtkMainWindow(const GtkMainWindow&) = delete;
  GtkMainWindow& operator=(const GtkMainWindow&) = delete;
  GtkMainWindow(GtkMainWindow&&) = delete;
  GtkMainWindow& operator=(GtkMainWindow&&) = delete;

  // The handlers that receive the window's events; nullptr detaches them.
  void Attach(Form1* form) { form_ = form; }
  // Runs the unload handler once, as a close request from the window manager does, and ends the
  // event loop. Safe to call from any GLib callback: nothing is thrown out of it.
  void Close() noexcept;
  GtkWindow* gtk_window() const { return GTK_WINDOW(window_); }

  void SetCaption(const std::string& caption) override;
  void Show() override;
  Status Navigate(Pane pane, const std::string& path) override;

 private:
  static gboolean OnDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static void OnDestroy(GtkWidget* widget, gpointer self);
  static void OnRealize(GtkWidget* widget, gpointer self);
  static gboolean OnMenuBarButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static void OnHomepageActivate(GtkMenuItem* item, gpointer self);
  static void OnAboutActivate(GtkMenuItem* item, gpointer self);
  static gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static void OnReadyChecked(GObject* view, GAsyncResult* result, gpointer self);
  static void OnSidePanelPainted(GObject* view, GAsyncResult* result, gpointer self);

  // The GObjects this window keeps a reference to, so they outlive GTK's own teardown until the
  // destructor has disconnected every handler that points at this object.
  std::vector<GObject*> Owned() const;

  GtkWidget* window_ = nullptr;
  GtkWidget* menu_bar_ = nullptr;
  GtkWidget* homepage_ = nullptr;
  GtkWidget* about_ = nullptr;
  GtkWidget* layout_ = nullptr;
  WebKitWebContext* context_ = nullptr;
  WebKitSettings* settings_ = nullptr;
  WebKitWebView* web_browser1_ = nullptr;
  WebKitWebView* web_browser2_ = nullptr;
  GCancellable* cancellable_ = nullptr;
  Form1* form_ = nullptr;
  bool closed_ = false;
  bool report_ready_ = false;
};

// Reads the pages compiled into the executable: resource type "custom" and id 101 are the
// GResource path "/custom/101".
class GResourceStore : public ResourceStore {
 public:
  Status Read(const std::string& type, int id, Bytes* bytes) override;
};

// Hands addresses to xdg-open, which starts the desktop's web browser.
class XdgOpenLauncher : public BrowserLauncher {
 public:
  Status Open(const std::string& address, WindowStyle style) override;
};

// A modal message box over the main window, titled with the caption, with one button "确定".
class MessageBoxReporter : public FailureReporter {
 public:
  explicit MessageBoxReporter(const GtkMainWindow& window) : window_(window) {}
  void Report(const std::string& message) override;

 private:
  const GtkMainWindow& window_;
};

class LinuxFolders : public Folders {
 public:
  // `argv0` only serves when /proc/self/exe cannot be read.
  explicit LinuxFolders(std::string argv0) : argv0_(std::move(argv0)) {}
  std::string ApplicationDirectory() override;
  std::vector<std::string> PrivateFolders() override;

 private:
  std::string argv0_;
};

// Shows `text` in a modal message box titled with the caption and waits until it is closed.
void RunMessageBox(GtkWindow* parent, const std::string& text, GtkMessageType type);

}  // namespace plq

#endif  // PLQ_SHELL_GTK_GTK_WEBKITGTK_H_
