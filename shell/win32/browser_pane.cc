// The OLE container for one WebBrowser control, written by hand against the COM interfaces (no
// ATL): the control needs a client site (IOleClientSite), a place to activate in
// (IOleInPlaceSite) and a frame (IOleInPlaceFrame). The program has no toolbars, status bar or
// menu merging, so the frame declines those requests. The order of the calls on the way up and
// on the way down is the one the control expects; teardown lives in ~BrowserPane only.
//
// The control runs the pages' scripts on this thread, inside the program: a page that loops
// freezes the window, and the control offers the host no way to stop a running script (IE's own
// defence is its slow-script question after some millions of statements). What the side panel
// frames from elsewhere is therefore kept from speaking as the program (IDocHostShowUI, the
// Silent property, the script error hook); its downloads never block anything, since nothing
// waits for the side panel to finish loading.
#include "shell/win32/browser_pane.h"

#include <exdispid.h>
#include <shobjidl.h>

#include <type_traits>

#include "shell/core/pane_policy.h"
#include "shell/win32/doc_host.h"
#include "shell/win32/text.h"

namespace plq::win32 {

using Microsoft::WRL::ComPtr;

namespace {

// CGID_DocHostCommandHandler (mshtmhst.h), defined here since not every import library has it.
constexpr GUID kDocHostCommandHandler = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

}  // namespace

PaneSite::PaneSite(HWND parent, const RECT& bounds, Trust trust, PaneListener* listener)
    : parent_(parent), bounds_(bounds), trust_(trust), listener_(listener) {}

// IOleClientSite: the document is never saved or linked.
STDMETHODIMP PaneSite::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP PaneSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP PaneSite::GetContainer(IOleContainer** container) {
  if (container != nullptr) *container = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP PaneSite::ShowObject() { return S_OK; }
STDMETHODIMP PaneSite::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP PaneSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow, shared by the site and the frame: both live in the main window.
STDMETHODIMP PaneSite::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = parent_;
  return S_OK;
}
STDMETHODIMP PaneSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceSite: the pane's place is the window's to set (BrowserPane::Place); the control
// never moves itself.
STDMETHODIMP PaneSite::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP PaneSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP PaneSite::OnUIActivate() { return S_OK; }
STDMETHODIMP PaneSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                        LPRECT position, LPRECT clip,
                                        LPOLEINPLACEFRAMEINFO frame_info) {
  if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr ||
      frame_info == nullptr) {
    return E_POINTER;
  }
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr;
  *position = bounds_;
  *clip = bounds_;
  frame_info->cb = sizeof(OLEINPLACEFRAMEINFO);
  frame_info->fMDIApp = FALSE;
  frame_info->hwndFrame = parent_;
  frame_info->haccel = nullptr;
  frame_info->cAccelEntries = 0;
  return S_OK;
}
STDMETHODIMP PaneSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP PaneSite::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP PaneSite::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP PaneSite::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP PaneSite::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP PaneSite::OnPosRectChange(LPCRECT) { return S_OK; }

// IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, menus or status bar to share.
STDMETHODIMP PaneSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP PaneSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP PaneSite::SetBorderSpace(LPCBORDERWIDTHS) { return OLE_E_INVALIDRECT; }
STDMETHODIMP PaneSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
STDMETHODIMP PaneSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP PaneSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP PaneSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP PaneSite::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP PaneSite::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP PaneSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

STDMETHODIMP PaneSite::ShowMessage(HWND, LPOLESTR text, LPOLESTR, DWORD type, LPOLESTR, DWORD,
                                   LRESULT* result) {
  // S_OK tells the engine the box has been dealt with: it shows none of its own (its own would
  // carry IE's title, not the program's). An alert is answered "OK" and anything with a choice
  // as a closed box would be (confirm: false), as the Linux panes do.
  const bool alert = (type & MB_TYPEMASK) == MB_OK;
  if (alert && trust_ == Trust::kOwnPage && listener_ != nullptr) {
    PaneListener* listener = listener_;
    const std::wstring message = text != nullptr ? text : L"";
    Guarded("alert", [listener, &message] { listener->Alert(Narrow(message)); });
  }
  if (result != nullptr) *result = alert ? IDOK : IDCANCEL;
  return S_OK;
}

STDMETHODIMP PaneSite::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
  // The pages have no help; S_OK keeps the engine from opening its own.
  return S_OK;
}

STDMETHODIMP PaneSite::QueryStatus(const GUID* group, ULONG, OLECMD*, OLECMDTEXT*) {
  return group != nullptr && *group == kDocHostCommandHandler ? OLECMDERR_E_NOTSUPPORTED
                                                              : OLECMDERR_E_UNKNOWNGROUP;
}

STDMETHODIMP PaneSite::Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT* out) {
  if (group == nullptr || *group != kDocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
  if (id == OLECMDID_SHOWSCRIPTERROR && trust_ == Trust::kForeignContent) {
    // Framed content's script errors are not the user's business: no box, and its scripts
    // keep running.
    if (out != nullptr) {
      VariantClear(out);
      out->vt = VT_BOOL;
      out->boolVal = VARIANT_TRUE;
    }
    return S_OK;
  }
  return OLECMDERR_E_NOTSUPPORTED;
}

namespace {

struct MenuDeleter {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};

}  // namespace

STDMETHODIMP PaneSite::ShowContextMenu(DWORD id, POINT* where, IUnknown* commands, IDispatch*) {
  // S_OK whatever happens: the engine's own menu (View Source, Back, Refresh, Properties...)
  // never shows.
  ComPtr<IOleCommandTarget> document;
  if (commands == nullptr || where == nullptr ||
      FAILED(commands->QueryInterface(IID_PPV_ARGS(&document)))) {
    return S_OK;
  }
  const std::vector<ContextMenuItem> items = ContextMenuFor(id, document.Get());
  if (items.empty()) return S_OK;
  std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter> menu(CreatePopupMenu());
  if (!menu) return S_OK;
  for (const ContextMenuItem& item : items) {
    AppendMenuW(menu.get(), MF_STRING | (item.enabled ? 0 : MF_GRAYED), item.command,
                Widen(item.text).c_str());
  }
  const UINT chosen =
      static_cast<UINT>(TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                         where->x, where->y, parent_, nullptr));
  // What the engine's Edit menu does, on the document the click was in.
  if (chosen != 0) {
    document->Exec(&kMshtmlCommands, chosen, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
  }
  return S_OK;
}

STDMETHODIMP PaneSite::GetHostInfo(DOCHOSTUIINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->cbSize = sizeof(DOCHOSTUIINFO);
  info->dwFlags = kHostFlags;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  info->pchHostCss = nullptr;
  info->pchHostNS = nullptr;
  return S_OK;
}

// The engine's toolbars and menus: the program has none to show or hide (S_OK: handled).
STDMETHODIMP PaneSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                              IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
  return S_OK;
}
STDMETHODIMP PaneSite::HideUI() { return S_OK; }
STDMETHODIMP PaneSite::UpdateUI() { return S_OK; }
STDMETHODIMP PaneSite::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP PaneSite::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP PaneSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

STDMETHODIMP PaneSite::TranslateAccelerator(LPMSG message, const GUID*, DWORD) {
  if (message == nullptr || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)) {
    return S_FALSE;
  }
  const UINT key = static_cast<UINT>(message->wParam);
  // Only Backspace depends on where the keyboard is; the document is asked just for it.
  ComPtr<IDispatch> document;
  if (key == VK_BACK && browser_ != nullptr) browser_->get_Document(&document);
  const bool swallowed =
      IsEngineShortcut(key, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0,
                       key == VK_BACK && FocusInTextField(document.Get()));
  // S_OK: handled, the engine does nothing with it; S_FALSE: the engine goes on as usual.
  return swallowed ? S_OK : S_FALSE;
}

// The engine's settings stay the system's (no registry key of the program's own).
STDMETHODIMP PaneSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
  if (key != nullptr) *key = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP PaneSite::GetDropTarget(IDropTarget* engine, IDropTarget** target) {
  if (target == nullptr) return E_POINTER;
  *target = new DropFilter(engine);
  return S_OK;
}

// Nothing of the program is offered to the page's script (window.external).
STDMETHODIMP PaneSite::GetExternal(IDispatch** external) {
  if (external != nullptr) *external = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP PaneSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
  if (translated != nullptr) *translated = nullptr;
  return S_FALSE;
}
STDMETHODIMP PaneSite::FilterDataObject(IDataObject*, IDataObject** filtered) {
  if (filtered != nullptr) *filtered = nullptr;
  return S_FALSE;
}

STDMETHODIMP PaneSite::QueryService(REFGUID service, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // SID_SDownloadManager is the download manager's interface id.
  if (service != __uuidof(IDownloadManager)) return E_NOINTERFACE;
  ComPtr<DownloadRefusal> refusal;
  refusal.Attach(new DownloadRefusal());
  return refusal->QueryInterface(iid, object);
}

STDMETHODIMP PaneEvents::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}
STDMETHODIMP PaneEvents::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP PaneEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

bool PaneEvents::FromTop(const VARIANT& sender) const {
  if (top_ == nullptr || sender.vt != VT_DISPATCH || sender.pdispVal == nullptr) return false;
  ComPtr<IUnknown> identity;
  return SUCCEEDED(sender.pdispVal->QueryInterface(IID_PPV_ARGS(identity.GetAddressOf()))) &&
         identity.Get() == top_;
}

namespace {

// The value behind an event argument, which the control passes by reference or by value.
const VARIANT& Deref(const VARIANT& argument) {
  return argument.vt == (VT_BYREF | VT_VARIANT) && argument.pvarVal != nullptr ? *argument.pvarVal
                                                                               : argument;
}

std::string NavigationFailure(const VARIANT& url, const VARIANT& status) {
  std::string detail = url.vt == VT_BSTR && url.bstrVal != nullptr ? Narrow(url.bstrVal) : "";
  const long code = status.vt == VT_I4 ? status.lVal : 0;
  // A web server's answer comes as its HTTP status, anything else as an HRESULT.
  detail += code > 0 && code < 1000 ? ": HTTP " + std::to_string(code)
                                    : ": " + HresultText(static_cast<HRESULT>(code));
  return detail;
}

std::string TextOf(const VARIANT& value) {
  return value.vt == VT_BSTR && value.bstrVal != nullptr ? Narrow(value.bstrVal) : std::string();
}

// Sets an event's Cancel argument (a VARIANT_BOOL passed by reference).
void Cancel(const VARIANT& cancel) {
  if (cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal != nullptr) {
    *cancel.pboolVal = VARIANT_TRUE;
  }
}

}  // namespace

void PaneEvents::ExpectPage(const std::string& address) {
  page_address_ = address;
  page_as_loaded_.clear();
  page_load_pending_ = true;
}

bool PaneEvents::IsPage(const std::string& address) const {
  LoadRequest request;
  request.address = address;
  return JudgeLoad(request, page_address_) == LoadVerdict::kAllow ||
         JudgeLoad(request, page_as_loaded_) == LoadVerdict::kAllow;
}

bool PaneEvents::MayLoad(bool top_level, const std::string& address) {
  if (!top_level) {
    LoadRequest request;
    request.kind = LoadRequest::Kind::kFrame;
    request.address = address;
    return JudgeLoad(request, page_address_) == LoadVerdict::kAllow;
  }
  // The control may spell the window's file URL its own way (escapes decoded, the drive letter's
  // case): the first top-level load after the window asked is that page, and the page's own "#"
  // links come in the same spelling.
  if (page_load_pending_) {
    page_load_pending_ = false;
    page_as_loaded_ = address;
    return true;
  }
  return IsPage(address);
}

void PaneEvents::NewWindow(const VARIANTARG* arguments) {
  // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): the control never opens a
  // window of its own.
  Cancel(arguments[3]);
  const VARIANT& flags = Deref(arguments[2]);
  const ULONG bits = flags.vt == VT_I4 || flags.vt == VT_UI4 ? flags.ulVal : 0;
  // USERINITED: a click or key led to it; USERREQUESTED: the user chose it (a menu, a
  // modifier click). Neither flag: the page did it on its own.
  const bool user_gesture = (bits & (NWMF_USERINITED | NWMF_USERREQUESTED)) != 0;
  const std::string address = TextOf(Deref(arguments[0]));
  PaneListener* listener = listener_;
  if (listener == nullptr) return;
  Guarded("new-window", [listener, &address, user_gesture] {
    listener->NewWindowRequested(address, user_gesture);
  });
}

STDMETHODIMP PaneEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                EXCEPINFO*, UINT*) {
  if (parameters == nullptr) return S_OK;
  // The arguments come last first: rgvarg[0] is the last one.
  const VARIANTARG* arguments = parameters->rgvarg;
  const UINT count = parameters->cArgs;
  if (id == DISPID_BEFORENAVIGATE2 && count == 7) {
    // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
    if (!MayLoad(FromTop(arguments[6]), TextOf(Deref(arguments[5])))) Cancel(arguments[0]);
  } else if (id == DISPID_NEWWINDOW3 && count == 5) {
    NewWindow(arguments);
  } else if (id == DISPID_FILEDOWNLOAD && (count == 1 || count == 2)) {
    // FileDownload([ActiveDocument,] Cancel): from Internet Explorer 7 on it also comes before
    // every page the control shows itself (ActiveDocument true); only a file is cancelled.
    const bool document = count == 2 && Deref(arguments[1]).vt == VT_BOOL &&
                          Deref(arguments[1]).boolVal == VARIANT_TRUE;
    if (!document) Cancel(arguments[0]);
  } else if (listener_ == nullptr) {
    return S_OK;
  } else if (id == DISPID_DOCUMENTCOMPLETE && count == 2 && FromTop(arguments[1])) {
    PaneListener* listener = listener_;
    const Pane pane = pane_;
    Guarded("load", [listener, pane] { listener->PageLoaded(pane); });
  } else if (id == DISPID_NAVIGATEERROR && count == 5 && FromTop(arguments[4])) {
    // NavigateError(pDisp, URL, TargetFrameName, StatusCode, Cancel)
    const VARIANT& status = Deref(arguments[1]);
    // "Class not registered": the file was read, but no engine is there to show HTML. Windows
    // always has one; Wine without its Gecko package has none and says this for every page, so
    // the panes stay empty and there is nothing wrong with the page file to report.
    if (status.vt == VT_I4 && status.lVal == REGDB_E_CLASSNOTREG) return S_OK;
    // No error page of the engine's own: the user is told in a message box. Only the pane's
    // own page file can fail here: no other top-level load ever starts (BeforeNavigate2).
    Cancel(arguments[0]);
    const VARIANT& url = Deref(arguments[3]);
    PaneListener* listener = listener_;
    const Pane pane = pane_;
    Guarded("load-failed", [listener, pane, &url, &status] {
      listener->PageLoadFailed(pane, NavigationFailure(url, status));
    });
  }
  return S_OK;
}

namespace {

struct BstrDeleter {
  void operator()(BSTR text) const { SysFreeString(text); }
};

// A failed step's message: what was attempted and the system's reason.
std::string StepFailure(const char* step, HRESULT hr) {
  return std::string(step) + ": " + HresultText(hr);
}

// The control sizes itself from the site's rectangle; setting the four again pins the exact
// place even where a version of the control rounds or pads it.
HRESULT PinPlace(IWebBrowser2* browser, const RECT& bounds, const char** step) {
  const struct {
    HRESULT (STDMETHODCALLTYPE IWebBrowser2::*set)(long);
    long value;
    const char* name;
  } placement[] = {
      {&IWebBrowser2::put_Left, bounds.left, "IWebBrowser2::put_Left"},
      {&IWebBrowser2::put_Top, bounds.top, "IWebBrowser2::put_Top"},
      {&IWebBrowser2::put_Width, bounds.right - bounds.left, "IWebBrowser2::put_Width"},
      {&IWebBrowser2::put_Height, bounds.bottom - bounds.top, "IWebBrowser2::put_Height"}};
  for (const auto& place : placement) {
    const HRESULT hr = (browser->*place.set)(place.value);
    if (FAILED(hr)) {
      *step = place.name;
      return hr;
    }
  }
  return S_OK;
}

}  // namespace

std::unique_ptr<BrowserPane> BrowserPane::Create(HWND parent, const RECT& bounds, Pane pane_id,
                                                 Trust trust, PaneListener& listener,
                                                 std::string* error) {
  std::unique_ptr<BrowserPane> pane(new BrowserPane());
  pane->site_.Attach(new PaneSite(parent, bounds, trust, &listener));
  pane->events_.Attach(new PaneEvents(pane_id, &listener));
  IOleClientSite* site = pane->site_.Get();

  HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(pane->object_.GetAddressOf()));
  if (FAILED(hr)) {
    *error = StepFailure("CoCreateInstance(CLSID_WebBrowser)", hr);
    return nullptr;
  }
  hr = pane->object_->SetClientSite(site);
  if (FAILED(hr)) {
    *error = StepFailure("IOleObject::SetClientSite", hr);
    return nullptr;
  }
  hr = OleSetContainedObject(pane->object_.Get(), TRUE);
  if (FAILED(hr)) {
    *error = StepFailure("OleSetContainedObject", hr);
    return nullptr;
  }
  RECT position = bounds;
  hr = pane->object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, parent, &position);
  if (FAILED(hr)) {
    *error = StepFailure("IOleObject::DoVerb(OLEIVERB_INPLACEACTIVATE)", hr);
    return nullptr;
  }
  pane->in_place_ = true;
  hr = pane->object_.As(&pane->browser_);
  if (FAILED(hr)) {
    *error = StepFailure("QueryInterface(IWebBrowser2)", hr);
    return nullptr;
  }
  pane->site_->set_browser(pane->browser_.Get());
  const char* step = "";
  hr = PinPlace(pane->browser_.Get(), bounds, &step);
  if (FAILED(hr)) {
    *error = StepFailure(step, hr);
    return nullptr;
  }
  if (trust == Trust::kForeignContent) {
    // No box of the engine's own (script errors, and what IDocHostShowUI does not see, such as
    // prompt()) for what the side panel frames.
    hr = pane->browser_->put_Silent(VARIANT_TRUE);
    if (FAILED(hr)) {
      *error = StepFailure("IWebBrowser2::put_Silent", hr);
      return nullptr;
    }
  }
  ComPtr<IUnknown> top;
  ComPtr<IConnectionPointContainer> points;
  hr = pane->object_.As(&top);
  if (SUCCEEDED(hr)) hr = pane->browser_.As(&points);
  if (SUCCEEDED(hr)) {
    hr = points->FindConnectionPoint(DIID_DWebBrowserEvents2, pane->connection_.GetAddressOf());
  }
  if (FAILED(hr)) {
    *error = StepFailure("IConnectionPointContainer::FindConnectionPoint(DWebBrowserEvents2)", hr);
    return nullptr;
  }
  pane->events_->set_top(top.Get());
  hr = pane->connection_->Advise(static_cast<IDispatch*>(pane->events_.Get()), &pane->cookie_);
  if (FAILED(hr)) {
    pane->connection_.Reset();
    *error = StepFailure("IConnectionPoint::Advise(DWebBrowserEvents2)", hr);
    return nullptr;
  }
  return pane;
}

BrowserPane::~BrowserPane() {
  // Each step runs whatever the one before returned (each releases something of its own, and
  // nobody is left to tell about a failure while the window goes). First nothing reaches the
  // window any more: site and events detached (both stay alive, inert, until the end), the
  // events disconnected. Then the order of the OLE documentation: stop loading; leave the active
  // states, UI first (IOleInPlaceObject); Close, which takes the object from running to loaded
  // and may still call its client site (OnShowWindow, OnInPlaceDeactivate), so the site is
  // still set; only then SetClientSite(nullptr), which makes the control let go of the site;
  // and the last references. ATL's host and SumatraPDF's HtmlWindow go the same way (Close,
  // then SetClientSite(nullptr)); the control is gone after it (its count reaches zero).
  site_->Detach();
  events_->Detach();
  if (connection_) connection_->Unadvise(cookie_);
  connection_.Reset();
  if (browser_) browser_->Stop();
  if (in_place_) {
    ComPtr<IOleInPlaceObject> in_place;
    if (SUCCEEDED(object_.As(&in_place))) {
      in_place->UIDeactivate();
      in_place->InPlaceDeactivate();
    }
  }
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  browser_.Reset();
  object_.Reset();
  events_.Reset();
  site_.Reset();
}

Status BrowserPane::Navigate(const std::wstring& target) {
  std::unique_ptr<OLECHAR, BstrDeleter> address(SysAllocString(target.c_str()));
  if (!address) return Status::Failure("SysAllocString: " + HresultText(E_OUTOFMEMORY));
  VARIANT empty;
  VariantInit(&empty);
  events_->ExpectPage(Narrow(target));
  const HRESULT hr = browser_->Navigate(address.get(), &empty, &empty, &empty, &empty);
  if (FAILED(hr)) return Status::Failure(StepFailure("IWebBrowser2::Navigate", hr));
  return Status::Ok();
}

Status BrowserPane::Place(const RECT& bounds) {
  site_->set_bounds(bounds);
  ComPtr<IOleInPlaceObject> in_place;
  HRESULT hr = object_.As(&in_place);
  if (SUCCEEDED(hr)) hr = in_place->SetObjectRects(&bounds, &bounds);
  if (FAILED(hr)) return Status::Failure(StepFailure("IOleInPlaceObject::SetObjectRects", hr));
  const char* step = "";
  hr = PinPlace(browser_.Get(), bounds, &step);
  if (FAILED(hr)) return Status::Failure(StepFailure(step, hr));
  return Status::Ok();
}

Status BrowserPane::Zoom(int percent) {
  VARIANT zoom;
  VariantInit(&zoom);
  zoom.vt = VT_I4;
  zoom.lVal = percent;
  const HRESULT hr =
      browser_->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr);
  if (FAILED(hr)) return Status::Failure(StepFailure("IWebBrowser2::ExecWB(OPTICAL_ZOOM)", hr));
  return Status::Ok();
}

bool BrowserPane::TranslateAccelerator(MSG* message) {
  ComPtr<IOleInPlaceActiveObject> active;
  if (FAILED(object_.As(&active))) return false;
  HWND control = nullptr;
  if (FAILED(active->GetWindow(&control)) || control == nullptr) return false;
  if (message->hwnd != control && !IsChild(control, message->hwnd)) return false;
  return active->TranslateAccelerator(message) == S_OK;
}

HWND BrowserPane::window() const {
  ComPtr<IOleInPlaceObject> in_place;
  HWND control = nullptr;
  if (FAILED(object_.As(&in_place)) || FAILED(in_place->GetWindow(&control))) return nullptr;
  return control;
}

void BrowserPane::Focus() {
  // UI activation is how a control takes the keyboard: the page gets it back where it was (its
  // focused button at first). A control that does not take it (no page engine, as under Wine)
  // still gets the Win32 focus, so that keys reach its window and not the side panel.
  HWND parent = nullptr;
  site_->GetWindow(&parent);
  RECT position = site_->bounds();
  object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_.Get(), 0, parent, &position);
  HWND control = window();
  HWND focus = GetFocus();
  if (control != nullptr && focus != control && !IsChild(control, focus)) SetFocus(control);
}

}  // namespace plq::win32
