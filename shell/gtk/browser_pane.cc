// The pane's WebKitWebView: WebKitGTK 4.1 signals for loading, script dialogs and the web
// process's life, each answered here or passed on to the window through PaneListener.
#include "shell/gtk/browser_pane.h"

#include <memory>
#include <string>

#include "shell/core/messages.h"
#include "shell/gtk/glib_util.h"
#include "shell/gtk/page_scripts.h"

namespace plq::gtk {
namespace {

std::string TerminationDetail(WebKitWebProcessTerminationReason reason) {
  switch (reason) {
    case WEBKIT_WEB_PROCESS_CRASHED:
      return "WebKit web process crashed";
    case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT:
      return "WebKit web process exceeded its memory limit";
    case WEBKIT_WEB_PROCESS_TERMINATED_BY_API:
      break;
  }
  return "WebKit web process ended (it stopped responding)";
}

}  // namespace

BrowserPane::BrowserPane(const PanePlace& place, Trust trust, WebKitWebContext* context,
                         WebKitSettings* settings, WebKitWebView* related, PaneListener& listener)
    : place_(place), trust_(trust), listener_(listener) {
  // A related view takes its context from the view it shares a process with.
  view_ = WEBKIT_WEB_VIEW(KeepSunk(related != nullptr
                                       ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related,
                                                      "settings", settings, nullptr)
                                       : g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                                      "settings", settings, nullptr)));
  guard_ = std::make_unique<PaneGuard>(view_, trust_ == Trust::kForeignContent,
                                       [this](const std::string& address, bool user_gesture) {
                                         listener_.NewWindowRequested(place_.pane, address,
                                                                      user_gesture);
                                       });
  cancellable_ = g_cancellable_new();
  gtk_widget_set_name(widget(), place.name);
  // What a screen reader says: WebKit's view is an unnamed "filler".
  AtkObject* accessible = gtk_widget_get_accessible(widget());
  atk_object_set_name(accessible, PaneName(place.pane));
  atk_object_set_role(accessible, ATK_ROLE_PANEL);
  gtk_widget_set_size_request(widget(), place.width, place.height);
  g_signal_connect(view_, "script-dialog", G_CALLBACK(OnScriptDialog), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(OnLoadFailed), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnProcessTerminated), this);
  g_signal_connect(view_, "notify::is-web-process-responsive", G_CALLBACK(OnResponsiveChanged),
                   this);
  if (trust_ == Trust::kForeignContent) {
    // Left alone, WebKit would draw its own log-in box inside the pane and offer files or
    // printing on the framed page's behalf.
    g_signal_connect(view_, "authenticate", G_CALLBACK(OnAuthenticate), this);
    g_signal_connect(view_, "permission-request", G_CALLBACK(OnPermissionRequest), this);
    for (const char* request : {"print", "run-file-chooser", "show-notification"}) {
      g_signal_connect(view_, request, G_CALLBACK(OnDeclinedRequest), this);
    }
  }
}

BrowserPane::~BrowserPane() {
  g_cancellable_cancel(cancellable_);
  g_signal_handlers_disconnect_by_data(view_, this);
  guard_.reset();
  // A web process stuck in a page's endless script never notices that its view is gone, and
  // would outlive the program: it is ended here.
  webkit_web_view_terminate_web_process(view_);
  // The window's layout may still hold the view; it goes with the last reference.
  GtkWidget* parent = gtk_widget_get_parent(widget());
  if (parent != nullptr) gtk_container_remove(GTK_CONTAINER(parent), widget());
  g_object_unref(view_);
  g_object_unref(cancellable_);
}

Status BrowserPane::Navigate(const std::string& path) {
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
  if (uri == nullptr) {
    Status failure = Status::Failure(std::string("g_filename_to_uri: ") + error->message);
    g_error_free(error);
    return failure;
  }
  process_ended_ = false;
  guard_->set_page_address(uri);
  webkit_web_view_load_uri(view_, uri);
  g_free(uri);
  return Status::Ok();
}

void BrowserPane::EndProcess() { webkit_web_view_terminate_web_process(view_); }

gboolean BrowserPane::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self) {
  auto* pane = static_cast<BrowserPane*>(self);
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  if (pane->trust_ == Trust::kOwnPage && type == WEBKIT_SCRIPT_DIALOG_ALERT) {
    // WebKit's own alert is an English box drawn inside the pane; the page's alerts are the
    // program's message boxes. The script waits until the box is closed.
    Guarded("alert",
            [pane, dialog] { pane->listener_.Alert(webkit_script_dialog_get_message(dialog)); });
    return TRUE;
  }
  // Anything else is answered as a closed box would be (confirm: no, prompt: nothing), except
  // that a page asking to stay is let go: it must never keep the pane from reloading.
  if (type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
  }
  return TRUE;
}

gboolean BrowserPane::OnDeclinedRequest(WebKitWebView*, gpointer, gpointer) { return TRUE; }

gboolean BrowserPane::OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                          gpointer) {
  webkit_permission_request_deny(request);
  return TRUE;
}

gboolean BrowserPane::OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                     gpointer) {
  webkit_authentication_request_cancel(request);
  return TRUE;
}

void BrowserPane::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* pane = static_cast<BrowserPane*>(self);
  if (event == WEBKIT_LOAD_STARTED) pane->load_failed_ = false;
  if (event != WEBKIT_LOAD_FINISHED || pane->load_failed_ || pane->process_ended_) return;
  Guarded("load", [pane] { pane->listener_.PageLoaded(pane->place_.pane); });
  webkit_web_view_call_async_javascript_function(view, PaintedCheck(pane->place_.pane), -1, nullptr,
                                                 nullptr, nullptr, pane->cancellable_, OnPainted,
                                                 self);
}

gboolean BrowserPane::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, const char* uri, GError* error,
                                   gpointer self) {
  auto* pane = static_cast<BrowserPane*>(self);
  pane->load_failed_ = true;
  // A load given up for a newer one, or cut short by the process's end (reported on its own), is
  // no failure of the page.
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
      g_error_matches(error, WEBKIT_POLICY_ERROR,
                      WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
      pane->process_ended_) {
    return FALSE;
  }
  // Only the program's own page is the program's to report. Any other load (one the pane
  // refused to show, a widget's link that never reached its server) ends here, with no box and
  // no error page of WebKit's in the page's place: a page that fails on purpose, again and
  // again, once made the program stack a hundred boxes with text the page chose.
  if (!pane->guard_->IsPage(uri)) return TRUE;
  const std::string detail = std::string(uri != nullptr ? uri : "") + ": " + error->message;
  Guarded("load-failed",
          [pane, &detail] { pane->listener_.PageLoadFailed(pane->place_.pane, detail); });
  // No error page of WebKit's own: the user has been told in a message box.
  return TRUE;
}

void BrowserPane::OnPainted(GObject* view, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (value == nullptr) {
    // Cancelled means the pane is gone: `self` must not be touched. Any other failure (the page
    // changed or its process ended meanwhile) leaves the pane as WebKit drew it.
    g_error_free(error);
    return;
  }
  g_object_unref(value);
  auto* pane = static_cast<BrowserPane*>(self);
  // Now and then (about one start in fifteen here, on a fresh X server as on one that has shown
  // earlier windows) WebKit keeps the pane's picture without asking GTK to draw it: the page has
  // drawn, yet the pane stays the window's grey for good, while any draw request from outside
  // brings the picture up at once. One request here, once the page has painted, costs one
  // repaint from WebKit's buffer; with it none of 130 starts showed a grey pane.
  gtk_widget_queue_draw(pane->widget());
  Guarded("painted", [pane] { pane->listener_.PagePainted(pane->place_.pane); });
}

void BrowserPane::OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                      gpointer self) {
  auto* pane = static_cast<BrowserPane*>(self);
  pane->process_ended_ = true;
  Guarded("process-terminated", [pane, reason] {
    pane->listener_.ProcessEnded(pane->place_.pane, TerminationDetail(reason));
  });
}

void BrowserPane::OnResponsiveChanged(GObject* view, GParamSpec*, gpointer self) {
  if (webkit_web_view_get_is_web_process_responsive(WEBKIT_WEB_VIEW(view))) return;
  auto* pane = static_cast<BrowserPane*>(self);
  Guarded("unresponsive", [pane] { pane->listener_.ProcessUnresponsive(pane->place_.pane); });
}

}  // namespace plq::gtk
