// A browser pane's OLE site (pane_site.h), with the Win32 calls behind its answers: the popup
// menu that stands in for the engine's context menu, the main window as every OLE window.
//
// The control runs the pages' scripts on this thread, inside the program: a page that loops
// freezes the window, and the control offers the host no way to stop a running script (IE's own
// defence is its slow-script question after some millions of statements). What the side panel
// frames from elsewhere is therefore kept from speaking as the program (IDocHostShowUI here, the
// Silent property in browser_pane.cc, the script error hook here); its downloads never block
// anything, since nothing waits for the side panel to finish loading.
#include "shell/win32/pane_site.h"

#include <wrl/client.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "shell/win32/doc_host.h"
#include "shell/win32/text.h"

namespace plq::win32 {

using Microsoft::WRL::ComPtr;

namespace {

// CGID_DocHostCommandHandler (mshtmhst.h), defined here since not every import library has it.
constexpr GUID kDocHostCommandHandler = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

struct MenuDeleter {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};

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
}  // namespace plq::win32
