// One browser pane on Linux: a WebKitWebView (WebKitGTK 4.1) at a fixed place in the window,
// showing one page file. It tells its window what happens to the page through PaneListener, and
// answers everything a page asks of the program (dialogs, log-ins, printing...) by the pane's
// trust: the calculator's own alerts are the program's message boxes; nothing framed from
// elsewhere ever speaks as the program.
#ifndef PLQ_SHELL_GTK_BROWSER_PANE_H_
#define PLQ_SHELL_GTK_BROWSER_PANE_H_

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "shell/core/layout.h"
#include "shell/core/pane_policy.h"
#include "shell/core/status.h"
#include "shell/gtk/pane_guard.h"

namespace plq::gtk {

// What a pane tells the window that holds it, from GLib callbacks.
class PaneListener {
 public:
  // The page finished loading.
  virtual void PageLoaded(Pane pane) = 0;
  // The page file could not be loaded; `detail` is WebKit's reason.
  virtual void PageLoadFailed(Pane pane, const std::string& detail) = 0;
  // The loaded page has reached the screen (for the calculator: both calendars are drawn).
  virtual void PagePainted(Pane pane) = 0;
  // The web process that ran the page ended; the pane is blank until it loads a page again.
  virtual void ProcessEnded(Pane pane, const std::string& detail) = 0;
  // The web process has not answered for a while (WebKit's own measure, a few seconds).
  virtual void ProcessUnresponsive(Pane pane) = 0;
  // The calculator's page shows an alert; returns when the user has closed it.
  virtual void Alert(const std::string& message) = 0;
  // The page asks for a new window on `address`; no WebKit window is made for it.
  virtual void NewWindowRequested(Pane pane, const std::string& address, bool user_gesture) = 0;

 protected:
  ~PaneListener() = default;
};

class BrowserPane {
 public:
  // Creates the pane's view for `place`. With `related` the view shares that view's web process
  // (one process for both panes starts faster and uses less memory); without it the view gets a
  // web process of its own in `context`. `painted_check` is the body of a JavaScript function that
  // resolves once the page has been painted.
  BrowserPane(const PanePlace& place, Trust trust, WebKitWebContext* context,
              WebKitSettings* settings, WebKitWebView* related, PaneListener& listener);
  ~BrowserPane();
  BrowserPane(const BrowserPane&) = delete;
  BrowserPane& operator=(const BrowserPane&) = delete;
  BrowserPane(BrowserPane&&) = delete;
  BrowserPane& operator=(BrowserPane&&) = delete;

  const PanePlace& place() const { return place_; }
  GtkWidget* widget() const { return GTK_WIDGET(view_); }
  WebKitWebView* view() const { return view_; }

  // Starts loading the local file `path` (any characters: it becomes a proper file URI). From
  // then on that page is the only document the pane shows (PaneGuard).
  Status Navigate(const std::string& path);
  // Ends the pane's web process (and with it every pane that shares it).
  void EndProcess();

 private:
  static gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
  static gboolean OnDeclinedRequest(WebKitWebView* view, gpointer request, gpointer self);
  static gboolean OnPermissionRequest(WebKitWebView* view, WebKitPermissionRequest* request,
                                      gpointer self);
  static gboolean OnAuthenticate(WebKitWebView* view, WebKitAuthenticationRequest* request,
                                 gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, const char* uri,
                               GError* error, gpointer self);
  static void OnPainted(GObject* view, GAsyncResult* result, gpointer self);
  static void OnProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                                  gpointer self);
  static void OnResponsiveChanged(GObject* view, GParamSpec* property, gpointer self);

  const PanePlace place_;
  const Trust trust_;
  PaneListener& listener_;
  WebKitWebView* view_ = nullptr;
  std::unique_ptr<PaneGuard> guard_;
  GCancellable* cancellable_ = nullptr;
  // The current load has failed (WebKit still reports it finished) or its process has ended.
  bool load_failed_ = false;
  bool process_ended_ = false;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_BROWSER_PANE_H_
