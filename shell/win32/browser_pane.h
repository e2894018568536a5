// One browser pane: Internet Explorer's WebBrowser ActiveX control (CLSID_WebBrowser, driven
// through IWebBrowser2) embedded in a child area of the main window by a small hand-written OLE
// container, with no ATL or MFC, as SumatraPDF's HtmlWindow hosts it: the site the control talks
// to (pane_site.h) and the sink of its events (pane_events.h) are objects of their own, which the
// pane creates, connects and lets go. The pane tells its window what happens to the page through
// PaneListener. Each pane stays on its page: the loads it asks for are judged by the core's pane
// policy (pane_policy.h), and its menus, drops, shortcuts and downloads are a form's, not a
// browser's (doc_host.h).
#ifndef PLQ_SHELL_WIN32_BROWSER_PANE_H_
#define PLQ_SHELL_WIN32_BROWSER_PANE_H_

#include <exdisp.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "shell/core/layout.h"
#include "shell/core/pane_listener.h"
#include "shell/core/pane_policy.h"
#include "shell/core/status.h"

namespace plq::win32 {

class PaneSite;
class PaneEvents;

class BrowserPane {
 public:
  // Creates the control for `pane`, in-place activated at `bounds` (client coordinates of
  // `parent`), and connects its events to `listener`. Returns nothing on failure, with the reason
  // in `error`. OLE must be initialised on this thread.
  static std::unique_ptr<BrowserPane> Create(HWND parent, const RECT& bounds, Pane pane,
                                             Trust trust, PaneListener& listener,
                                             std::string* error);

  BrowserPane(const BrowserPane&) = delete;
  BrowserPane& operator=(const BrowserPane&) = delete;
  BrowserPane(BrowserPane&&) = delete;
  BrowserPane& operator=(BrowserPane&&) = delete;
  ~BrowserPane();

  // Starts loading the local file `path` (UTF-8, any characters: it becomes a file URL) and
  // returns without waiting. From then on that page is the only document the pane shows.
  Status Navigate(const std::string& path);

  // Moves the control to `bounds` (client coordinates of its parent).
  Status Place(const RECT& bounds);

  // Shows the page at `percent` of its size (IE's optical zoom: text, pictures and layout
  // alike). Needs a loaded page.
  Status Zoom(int percent);

  // Gives the control first look at a keystroke meant for one of its windows (Tab between fields,
  // shortcuts inside the page). True when the control used it.
  bool TranslateAccelerator(MSG* message);

  // Gives the pane the keyboard: the page's focused element, or the page itself.
  void Focus();
  // The control's own window (its "Shell Embedding"), or nullptr.
  HWND window() const;
  // The WebBrowser object.
  IWebBrowser2* browser() const { return browser_.Get(); }

 private:
  BrowserPane() = default;

  Microsoft::WRL::ComPtr<PaneSite> site_;
  Microsoft::WRL::ComPtr<PaneEvents> events_;
  Microsoft::WRL::ComPtr<IOleObject> object_;
  Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
  Microsoft::WRL::ComPtr<IConnectionPoint> connection_;
  DWORD cookie_ = 0;
  bool in_place_ = false;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_BROWSER_PANE_H_
