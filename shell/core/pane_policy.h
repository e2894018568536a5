// What a pane's page may make the program do. The side panel frames a stranger's widget, and any
// page can ask its engine to go elsewhere, open windows or offer a browser's menus; the backends
// ask here before their engine does any of it, and carry out the answer.
#ifndef PLQ_SHELL_CORE_PANE_POLICY_H_
#define PLQ_SHELL_CORE_PANE_POLICY_H_

#include <string>
#include <vector>

#include "shell/core/layout.h"

namespace plq {

// How far the program trusts what a pane shows.
enum class Trust {
  // The program's own page (the calculator): its alerts are the program's message boxes.
  kOwnPage,
  // A page that frames content from elsewhere (the side panel's widget): every dialog, log-in,
  // print, file chooser, notification and permission it asks for is declined without showing
  // anything, and it never speaks as the program.
  kForeignContent,
};

// The calculator is the program's own page; the side panel frames a stranger's widget.
constexpr Trust TrustOf(Pane pane) {
  return pane == Pane::kWebBrowser1 ? Trust::kOwnPage : Trust::kForeignContent;
}

// A load a page asks its engine for, as the engine reports it.
struct LoadRequest {
  enum class Kind {
    kTopLevel,   // the pane's own document would be replaced (a link, a form, a script, a drop)
    kFrame,      // a frame inside the page loads something (the side panel's widget)
    kNewWindow,  // target=_blank, window.open
  };
  Kind kind = Kind::kTopLevel;
  // The address asked for, as the engine gives it.
  std::string address;
  // The user asked for it (a click or a key), rather than the page on its own.
  bool user_gesture = false;
};

enum class LoadVerdict {
  kAllow,
  kRefuse,
  // Not in the pane: the external browser opens the address.
  kOpenInBrowser,
};

// Each pane stays on its page: a top-level load is allowed only to `page_address` (the address
// the pane was sent to), in any of its fragments, so that the page's own "#" links work. Frames
// may go to web addresses (http, https, about:blank, data, blob; and javascript: runs script in
// its own frame), never to a local file or a scheme some other program on the system answers. A
// new window opens the external browser, when the user asked for it and the address is an http
// or https one; anything else opens nothing.
LoadVerdict JudgeLoad(const LoadRequest& request, const std::string& page_address);

// The lower-cased scheme of `address` ("http" for "HTTP://x"), or "" when it has none.
std::string SchemeOf(const std::string& address);

// The entries a pane's context menu may offer: a form's editing, never anything that navigates,
// reloads, downloads, opens windows, prints or inspects.
enum class EditAction { kCut, kCopy, kPaste, kDelete, kSelectAll };
struct MenuEntry {
  EditAction action;
  const char* text;  // in the program's language (messages.h)
};

// In a field that takes text, the editing entries; elsewhere "copy" while text is selected;
// otherwise none, and the pane shows no menu at all. A backend may add the platform's input
// method entries to a field's menu.
std::vector<MenuEntry> ContextMenuEntries(bool in_editable_field, bool has_selection);

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PANE_POLICY_H_
