// One browser pane: Internet Explorer's WebBrowser ActiveX control (CLSID_WebBrowser, driven
// through IWebBrowser2) embedded in a child area of the main window by a small hand-written OLE
// container, with no ATL or MFC. It tells its window what happens to the page through
// PaneListener (DWebBrowserEvents2), and answers what a page asks of the program by the pane's
// trust, as the Linux panes do: the calculator's own alerts are the program's message boxes;
// nothing framed from elsewhere ever speaks as the program. Each pane stays on its page: the
// loads it asks for are judged by the core's pane policy (pane_policy.h), and its menus, drops,
// shortcuts and downloads are a form's, not a browser's (doc_host.h).
#ifndef PLQ_SHELL_WIN32_BROWSER_PANE_H_
#define PLQ_SHELL_WIN32_BROWSER_PANE_H_

#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/core/layout.h"
#include "shell/core/pane_policy.h"
#include "shell/core/status.h"
#include "shell/win32/com_util.h"

namespace plq::win32 {

// What a pane tells the window that holds it, from the control's callbacks.
class PaneListener {
 public:
  // The page finished loading.
  virtual void PageLoaded(Pane pane) = 0;
  // The page could not be loaded; `detail` is the address and the control's reason.
  virtual void PageLoadFailed(Pane pane, const std::string& detail) = 0;
  // The calculator's page shows an alert; returns when the user has closed it, or at once while
  // another box of the program is open (the alert then waits its turn).
  virtual void Alert(const std::string& message) = 0;
  // The page asks for a new window on `address`; `user_gesture` when a click or key asked.
  virtual void NewWindowRequested(const std::string& address, bool user_gesture) = 0;

 protected:
  ~PaneListener() = default;
};

// The pane's OLE site: the control's client site (IOleClientSite), the place it is active in
// (IOleInPlaceSite), its frame (IOleInPlaceFrame), the two hooks through which the page's
// engine asks before it shows a box of its own: IDocHostShowUI (alert, confirm, help) and
// IOleCommandTarget (script errors), the host's part of the page's interface
// (IDocHostUIHandler: menus, drops, keys, look) and the services it offers (IServiceProvider:
// the download manager).
class PaneSite final
    : public ComObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IDocHostShowUI,
                       IOleCommandTarget, IDocHostUIHandler, IServiceProvider> {
 public:
  PaneSite(HWND parent, const RECT& bounds, Trust trust, PaneListener* listener);

  const RECT& bounds() const { return bounds_; }
  void set_bounds(const RECT& bounds) { bounds_ = bounds; }
  // The control, not owned, whose document the key hook asks where the keyboard is.
  void set_browser(IWebBrowser2* browser) { browser_ = browser; }
  // From now on nothing reaches the listener (the pane is going).
  void Detach() {
    listener_ = nullptr;
    browser_ = nullptr;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL show) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO frame_info) override;
  STDMETHODIMP Scroll(SIZE extent) override;
  STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT position) override;

  // IOleInPlaceUIWindow and IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
  STDMETHODIMP InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenu(HMENU shared, HOLEMENU descriptor, HWND active_object) override;
  STDMETHODIMP RemoveMenus(HMENU shared) override;
  STDMETHODIMP SetStatusText(LPCOLESTR text) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, WORD id) override;

  // IDocHostShowUI: the page's alert() and confirm() (`type` holds the MessageBox flags the
  // engine would use), and its requests for help.
  STDMETHODIMP ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type,
                           LPOLESTR help_file, DWORD help_context, LRESULT* result) override;
  STDMETHODIMP ShowHelp(HWND window, LPOLESTR help_file, UINT command, DWORD data, POINT where,
                        IDispatch* hit) override;

  // IOleCommandTarget: only the engine's script error box is answered here.
  STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD commands[],
                           OLECMDTEXT* text) override;
  STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) override;

  // IDocHostUIHandler (EnableModeless is IOleInPlaceFrame's, above)
  STDMETHODIMP ShowContextMenu(DWORD id, POINT* where, IUnknown* commands,
                               IDispatch* element) override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* object, IOleCommandTarget* commands,
                      IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
  STDMETHODIMP HideUI() override;
  STDMETHODIMP UpdateUI() override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID* group, DWORD command) override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
  STDMETHODIMP GetDropTarget(IDropTarget* engine, IDropTarget** target) override;
  STDMETHODIMP GetExternal(IDispatch** external) override;
  STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR address, LPWSTR* translated) override;
  STDMETHODIMP FilterDataObject(IDataObject* data, IDataObject** filtered) override;

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

 private:
  ~PaneSite() override = default;

  HWND parent_;
  RECT bounds_;
  const Trust trust_;
  PaneListener* listener_;
  IWebBrowser2* browser_ = nullptr;  // not owned: the pane holds the control longer
};

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

  // Starts loading `target` (a file URL or an address) and returns without waiting.
  Status Navigate(const std::wstring& target);

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

// The DWebBrowserEvents2 sink of one pane: the top-level page's end (DocumentComplete) and
// failure (NavigateError) go to the listener; frames inside the page are the page's business.
// Loads are judged before they start (BeforeNavigate2): the top level stays on the pane's own
// page, frames go where the pane policy lets them. New windows never open in the control: their
// address goes to the listener (NewWindow3). Downloads are cancelled (FileDownload). Declared
// here so that its answers can be checked without a page engine.
class PaneEvents final : public ComObject<DWebBrowserEvents2> {
 public:
  PaneEvents(Pane pane, PaneListener* listener) : pane_(pane), listener_(listener) {}

  // The control's own object: events whose first argument is another one come from frames.
  void set_top(IUnknown* top) { top_ = top; }
  // The window sends the pane to `address` (a file URL): its one top-level document.
  void ExpectPage(const std::string& address);
  void Detach() { listener_ = nullptr; }

  // IDispatch, through which the control raises its events
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                      VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) override;

 private:
  ~PaneEvents() override = default;
  bool FromTop(const VARIANT& sender) const;
  // Whether `address` is the pane's own page, in any of its fragments.
  bool IsPage(const std::string& address) const;
  // Whether a load may go on; the refusal of one cancels it.
  bool MayLoad(bool top_level, const std::string& address);
  void NewWindow(const VARIANTARG* arguments);

  const Pane pane_;
  PaneListener* listener_;
  IUnknown* top_ = nullptr;  // not owned: the pane holds the control longer than this sink
  // The page's address as the window gave it, and as the control spelled it when it loaded it.
  std::string page_address_;
  std::string page_as_loaded_;
  bool page_load_pending_ = false;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_BROWSER_PANE_H_
