// One browser pane: Internet Explorer's WebBrowser ActiveX control (CLSID_WebBrowser, driven
// through IWebBrowser2) embedded in a child area of the main window by a small hand-written OLE
// container, with no ATL or MFC. It tells its window what happens to the page through
// PaneListener (DWebBrowserEvents2), and answers what a page asks of the program by the pane's
// trust, as the Linux panes do: the calculator's own alerts are the program's message boxes;
// nothing framed from elsewhere ever speaks as the program.
#ifndef PLQ_SHELL_WIN32_BROWSER_PANE_H_
#define PLQ_SHELL_WIN32_BROWSER_PANE_H_

#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <string>

#include "shell/core/layout.h"
#include "shell/core/status.h"

namespace plq::win32 {

// What a pane tells the window that holds it, from the control's callbacks.
class PaneListener {
 public:
  // The page finished loading.
  virtual void PageLoaded(Pane pane) = 0;
  // The page could not be loaded; `detail` is the address and the control's reason.
  virtual void PageLoadFailed(Pane pane, const std::string& detail) = 0;
  // The calculator's page shows an alert; returns when the user has closed it.
  virtual void Alert(const std::string& message) = 0;

 protected:
  ~PaneListener() = default;
};

enum class Trust {
  // The program's own page: its alerts are the program's message boxes.
  kOwnPage,
  // A page that frames content from elsewhere: its alerts, confirms, help and script errors are
  // answered without showing anything.
  kForeignContent,
};

// The pane's OLE site: the control's client site (IOleClientSite), the place it is active in
// (IOleInPlaceSite), its frame (IOleInPlaceFrame), and the two hooks through which the page's
// engine asks before it shows a box of its own: IDocHostShowUI (alert, confirm, help) and
// IOleCommandTarget (script errors).
class PaneSite final : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IOleInPlaceFrame,
                       public IDocHostShowUI,
                       public IOleCommandTarget {
 public:
  // Starts with one reference, which the creator owns.
  PaneSite(HWND parent, const RECT& bounds, Trust trust, PaneListener* listener);
  PaneSite(const PaneSite&) = delete;
  PaneSite& operator=(const PaneSite&) = delete;

  void set_bounds(const RECT& bounds) { bounds_ = bounds; }
  // From now on nothing reaches the listener (the pane is going).
  void Detach() { listener_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

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

 private:
  ~PaneSite() = default;

  std::atomic<ULONG> references_{1};
  HWND parent_;
  RECT bounds_;
  const Trust trust_;
  PaneListener* listener_;
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
// Declared here so that its answers can be checked without a page engine.
class PaneEvents final : public IDispatch {
 public:
  PaneEvents(Pane pane, PaneListener* listener) : pane_(pane), listener_(listener) {}
  PaneEvents(const PaneEvents&) = delete;
  PaneEvents& operator=(const PaneEvents&) = delete;

  // The control's own object: events whose first argument is another one come from frames.
  void set_top(IUnknown* top) { top_ = top; }
  void Detach() { listener_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                      VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) override;

 private:
  ~PaneEvents() = default;
  bool FromTop(const VARIANT& sender) const;

  std::atomic<ULONG> references_{1};
  const Pane pane_;
  PaneListener* listener_;
  IUnknown* top_ = nullptr;  // not owned: the pane holds the control longer than this sink
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_BROWSER_PANE_H_
