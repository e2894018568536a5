// decide-policy (navigation, new-window and response decisions), "create", "context-menu" and
// "enter-fullscreen" of a WebKitWebView, each answered by the core's pane policy.
#include "shell/gtk/pane_guard.h"

#include <libsoup/soup.h>

#include <string>
#include <utility>
#include <vector>

#include "shell/core/messages.h"
#include "shell/core/pane_policy.h"
#include "shell/gtk/diagnostics.h"
#include "shell/gtk/glib_util.h"

namespace plq::gtk {
namespace {

WebKitContextMenuAction StockAction(EditAction action) {
  switch (action) {
    case EditAction::kCut:
      return WEBKIT_CONTEXT_MENU_ACTION_CUT;
    case EditAction::kCopy:
      return WEBKIT_CONTEXT_MENU_ACTION_COPY;
    case EditAction::kPaste:
      return WEBKIT_CONTEXT_MENU_ACTION_PASTE;
    case EditAction::kDelete:
      return WEBKIT_CONTEXT_MENU_ACTION_DELETE;
    case EditAction::kSelectAll:
      break;
  }
  return WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL;
}

// A response WebKit would save rather than show: "Content-Disposition: attachment", or a type
// the pane cannot show (WebKit's own default downloads the one and drops the other).
bool WouldDownload(WebKitResponsePolicyDecision* decision) {
  if (!webkit_response_policy_decision_is_mime_type_supported(decision)) return true;
  SoupMessageHeaders* headers =
      webkit_uri_response_get_http_headers(webkit_response_policy_decision_get_response(decision));
  char* disposition = nullptr;
  if (headers == nullptr ||
      !soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) {
    return false;
  }
  const bool attachment = g_ascii_strcasecmp(disposition, "attachment") == 0;
  g_free(disposition);
  return attachment;
}

}  // namespace

PaneGuard::PaneGuard(WebKitWebView* view, bool frames_inside, NewWindowHandler on_new_window)
    : view_(view), frames_inside_(frames_inside), on_new_window_(std::move(on_new_window)) {
  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(OnContextMenu), this);
  g_signal_connect(view_, "enter-fullscreen", G_CALLBACK(OnEnterFullscreen), this);
}

PaneGuard::~PaneGuard() { g_signal_handlers_disconnect_by_data(view_, this); }

bool PaneGuard::IsPage(const char* uri) const {
  LoadRequest request;
  request.address = uri != nullptr ? uri : "";
  return JudgeLoad(request, page_address_) == LoadVerdict::kAllow;
}

gboolean PaneGuard::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self) {
  const auto* guard = static_cast<PaneGuard*>(self);
  bool allowed = false;
  Guarded("decide-policy", [&] {
    switch (type) {
      case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
        allowed = guard->DecideNavigation(webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
        break;
      case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
        // target=_blank and the like: never a WebKit window; the core may open the browser.
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        guard->on_new_window_(
            webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)),
            webkit_navigation_action_is_user_gesture(action) != FALSE);
        break;
      }
      case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
        allowed = guard->DecideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
        break;
    }
  });
  if (allowed) {
    webkit_policy_decision_use(decision);
  } else {
    webkit_policy_decision_ignore(decision);
  }
  return TRUE;
}

bool PaneGuard::DecideNavigation(WebKitNavigationAction* action) const {
  LoadRequest request;
  request.address = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  request.user_gesture = webkit_navigation_action_is_user_gesture(action) != FALSE;
  // WebKitGTK 2.50 does not say which frame a navigation is for: a widget's iframe loading its
  // next page and its target=_top link replacing the whole pane come with the same navigation
  // type, frame name (NULL), gesture flag and request headers (measured). A pane without frames
  // judges every load as its own document's; in one with frames, a load of anything but the page
  // is judged as a frame's here, and the response decision below, which does know the main
  // frame, refuses it there. Loads that never get a response (mailto:, unknown schemes, files)
  // no frame may make either.
  request.kind = frames_inside_ && !IsPage(request.address.c_str()) ? LoadRequest::Kind::kFrame
                                                                    : LoadRequest::Kind::kTopLevel;
  return JudgeLoad(request, page_address_) == LoadVerdict::kAllow;
}

bool PaneGuard::DecideResponse(WebKitResponsePolicyDecision* decision) const {
  const char* uri =
      webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(decision));
  if (webkit_response_policy_decision_is_main_frame_main_resource(decision) && !IsPage(uri)) {
    return false;
  }
  // Refused, the frame stays as it was: nothing is saved anywhere.
  return !WouldDownload(decision);
}

GtkWidget* PaneGuard::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self) {
  // window.open() asks here directly, without a new-window decision.
  const auto* guard = static_cast<PaneGuard*>(self);
  Guarded("create", [guard, action] {
    guard->on_new_window_(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)),
                          webkit_navigation_action_is_user_gesture(action) != FALSE);
  });
  return nullptr;
}

gboolean PaneGuard::OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                  WebKitHitTestResult* hit, gpointer) {
  const bool editable = webkit_hit_test_result_context_is_editable(hit) != FALSE;
  const std::vector<MenuEntry> entries =
      ContextMenuEntries(editable, webkit_hit_test_result_context_is_selection(hit) != FALSE);
  // A field keeps GTK's input method entries, under the program's own labels. Their submenus
  // move to new items: WebKit labels an item once, in the desktop's language.
  std::vector<std::pair<const char*, WebKitContextMenu*>> input_menus;
  if (editable) {
    for (GList* item = webkit_context_menu_get_items(menu); item != nullptr; item = item->next) {
      auto* entry = WEBKIT_CONTEXT_MENU_ITEM(item->data);
      const WebKitContextMenuAction action = webkit_context_menu_item_get_stock_action(entry);
      WebKitContextMenu* submenu = webkit_context_menu_item_get_submenu(entry);
      if (submenu == nullptr) continue;
      if (action == WEBKIT_CONTEXT_MENU_ACTION_INPUT_METHODS) {
        input_menus.emplace_back(kInputMethodsText, WEBKIT_CONTEXT_MENU(g_object_ref(submenu)));
      } else if (action == WEBKIT_CONTEXT_MENU_ACTION_UNICODE) {
        input_menus.emplace_back(kUnicodeText, WEBKIT_CONTEXT_MENU(g_object_ref(submenu)));
      } else {
        continue;
      }
      webkit_context_menu_item_set_submenu(entry, nullptr);
    }
  }
  webkit_context_menu_remove_all(menu);
  std::vector<std::string> shown;
  for (const MenuEntry& entry : entries) {
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_stock_action_with_label(
                                         StockAction(entry.action), entry.text));
    shown.emplace_back(entry.text);
  }
  if (!input_menus.empty())
    webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  for (const auto& [label, submenu] : input_menus) {
    webkit_context_menu_append(menu, webkit_context_menu_item_new_with_submenu(label, submenu));
    g_object_unref(submenu);
    shown.emplace_back(label);
  }
  diagnostics::ReportContextMenu(shown);
  // Nothing to offer: no menu at all, rather than an empty one.
  return entries.empty() ? TRUE : FALSE;
}

gboolean PaneGuard::OnEnterFullscreen(WebKitWebView*, gpointer) {
  // Handled means refused: left alone, WebKit makes the program's window fullscreen.
  return TRUE;
}

}  // namespace plq::gtk
