// What a pane's page may make the program do, enforced on the pane's WebKitWebView (WebKitGTK
// 4.1): where the pane and its frames may load (decide-policy), which new windows open the
// external browser, which responses are refused rather than saved, the context menu, and no full
// screen. The rules are the core's (pane_policy.h); this file maps WebKit's questions onto them.
#ifndef PLQ_SHELL_GTK_PANE_GUARD_H_
#define PLQ_SHELL_GTK_PANE_GUARD_H_

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace plq::gtk {

class PaneGuard {
 public:
  // (address, user_gesture): the page asked for a new window.
  using NewWindowHandler = std::function<void(const std::string&, bool)>;

  // Guards `view` from now on. With `frames_inside` the page frames content from elsewhere (the
  // side panel's widget), which may load in its frames.
  PaneGuard(WebKitWebView* view, bool frames_inside, NewWindowHandler on_new_window);
  ~PaneGuard();
  PaneGuard(const PaneGuard&) = delete;
  PaneGuard& operator=(const PaneGuard&) = delete;
  PaneGuard(PaneGuard&&) = delete;
  PaneGuard& operator=(PaneGuard&&) = delete;

  // The address the pane was sent to: the one document it may show.
  void set_page_address(std::string address) { page_address_ = std::move(address); }
  // Whether `uri` is the pane's page (in any of its fragments).
  bool IsPage(const char* uri) const;

 private:
  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                WebKitHitTestResult* hit, gpointer self);
  static gboolean OnEnterFullscreen(WebKitWebView* view, gpointer self);

  bool DecideNavigation(WebKitNavigationAction* action) const;
  bool DecideResponse(WebKitResponsePolicyDecision* decision) const;

  WebKitWebView* const view_;
  const bool frames_inside_;
  const NewWindowHandler on_new_window_;
  std::string page_address_;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_PANE_GUARD_H_
