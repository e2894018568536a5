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
#include "shell/core/pane_listener.h"
#include "shell/core/pane_policy.h"
#include "shell/core/status.h"
#include "shell/gtk/pane_guard.h"

namespace plq::gtk {

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
