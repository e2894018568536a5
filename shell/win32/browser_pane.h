// One browser pane: Internet Explorer's WebBrowser ActiveX control (CLSID_WebBrowser, driven
// through IWebBrowser2) embedded in a child area of the main window by a small hand-written OLE
// container, with no ATL or MFC.
#ifndef PLQ_SHELL_WIN32_BROWSER_PANE_H_
#define PLQ_SHELL_WIN32_BROWSER_PANE_H_

#include <exdisp.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "shell/core/status.h"

namespace plq::win32 {

class PaneSite;

class BrowserPane {
 public:
  // Creates the control, in-place activated at `bounds` (client coordinates of `parent`). Returns
  // nothing on failure, with the reason in `error`. OLE must be initialised on this thread.
  static std::unique_ptr<BrowserPane> Create(HWND parent, const RECT& bounds, std::string* error);

  BrowserPane(const BrowserPane&) = delete;
  BrowserPane& operator=(const BrowserPane&) = delete;
  BrowserPane(BrowserPane&&) = delete;
  BrowserPane& operator=(BrowserPane&&) = delete;
  ~BrowserPane();

  // Starts loading `target` (a local path or an address) and returns without waiting.
  Status Navigate(const std::wstring& target);

  // Gives the control first look at a keystroke meant for one of its windows (Tab between fields,
  // shortcuts inside the page). True when the control used it.
  bool TranslateAccelerator(MSG* message);

 private:
  BrowserPane() = default;

  Microsoft::WRL::ComPtr<PaneSite> site_;
  Microsoft::WRL::ComPtr<IOleObject> object_;
  Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
  bool in_place_ = false;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_BROWSER_PANE_H_
