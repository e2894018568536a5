// A browser pane's OLE site, written by hand against the COM interfaces (no ATL): the
// WebBrowser control needs a client site (IOleClientSite), a place to activate in
// (IOleInPlaceSite) and a frame (IOleInPlaceFrame). The program has no toolbars, status bar or
// menu merging, so the frame declines those requests. The site also answers what a page asks of
// the program, by the pane's trust, as the Linux panes do: the calculator's own alerts are the
// program's message boxes; nothing framed from elsewhere ever speaks as the program. Its menus,
// drops, shortcuts and downloads are a form's, not a browser's (doc_host.h).
#ifndef PLQ_SHELL_WIN32_PANE_SITE_H_
#define PLQ_SHELL_WIN32_PANE_SITE_H_

#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <windows.h>

#include "shell/core/pane_listener.h"
#include "shell/core/pane_policy.h"
#include "shell/win32/com_util.h"

namespace plq::win32 {

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

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_PANE_SITE_H_
