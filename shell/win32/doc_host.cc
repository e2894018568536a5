// The answers a pane's site gives MSHTML about the host's part of the page's user interface,
// with the COM interfaces the engine calls (IDocHostUIHandler's menu, drop and key hooks,
// IDownloadManager) and the document's own command target (IOleCommandTarget, CGID_MSHTML) for
// what a menu entry does: the same commands the engine's Edit menu runs.
#include "shell/win32/doc_host.h"

#include <mshtmcid.h>
#include <mshtml.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace plq::win32 {

using Microsoft::WRL::ComPtr;

namespace {

DWORD CommandOf(EditAction action) {
  switch (action) {
    case EditAction::kCut:
      return IDM_CUT;
    case EditAction::kCopy:
      return IDM_COPY;
    case EditAction::kPaste:
      return IDM_PASTE;
    case EditAction::kDelete:
      return IDM_DELETE;
    case EditAction::kSelectAll:
      return IDM_SELECTALL;
  }
  return 0;
}

bool Enabled(IOleCommandTarget* document, DWORD command) {
  if (document == nullptr) return false;
  OLECMD state = {command, 0};
  return SUCCEEDED(document->QueryStatus(&kMshtmlCommands, 1, &state, nullptr)) &&
         (state.cmdf & OLECMDF_ENABLED) != 0;
}

bool Has(IDataObject* data, CLIPFORMAT format) {
  FORMATETC wanted = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return data->QueryGetData(&wanted) == S_OK;
}

// Plain text and nothing the engine would load: a file (CF_HDROP, a shell item, a file's
// contents), or an address (a dragged link carries one beside its text).
bool CarriesOnlyText(IDataObject* data) {
  if (data == nullptr || !(Has(data, CF_UNICODETEXT) || Has(data, CF_TEXT))) return false;
  if (Has(data, CF_HDROP)) return false;
  const wchar_t* const loadable[] = {
      CFSTR_SHELLURL,        CFSTR_INETURLW,  CFSTR_SHELLIDLIST, CFSTR_FILEDESCRIPTORA,
      CFSTR_FILEDESCRIPTORW, CFSTR_FILENAMEA, CFSTR_FILENAMEW};
  return std::none_of(std::begin(loadable), std::end(loadable), [data](const wchar_t* name) {
    const UINT format = RegisterClipboardFormatW(name);
    return format != 0 && Has(data, static_cast<CLIPFORMAT>(format));
  });
}

}  // namespace

std::vector<ContextMenuItem> ContextMenuFor(DWORD id, IOleCommandTarget* document) {
  const bool in_field = id == CONTEXT_MENU_CONTROL;
  // A selection elsewhere in the page counts too: the engine's "copy" takes it wherever the
  // click was.
  const bool selection = id == CONTEXT_MENU_TEXTSELECT || Enabled(document, IDM_COPY);
  std::vector<ContextMenuItem> items;
  for (const MenuEntry& entry : ContextMenuEntries(in_field, selection)) {
    const DWORD command = CommandOf(entry.action);
    items.push_back({entry.text, command, Enabled(document, command)});
  }
  return items;
}

bool IsEngineShortcut(UINT key, bool control, bool alt, bool in_text_field) {
  switch (key) {
    case VK_F5:   // reload, with any modifier
    case VK_F3:   // find
    case VK_F11:  // full screen
    case VK_BROWSER_BACK:
    case VK_BROWSER_FORWARD:
    case VK_BROWSER_REFRESH:
    case VK_BROWSER_STOP:
    case VK_BROWSER_SEARCH:
    case VK_BROWSER_FAVORITES:
    case VK_BROWSER_HOME:
      return true;
    case VK_BACK:  // back (Shift: forward); in a field it deletes
      return !in_text_field;
    case VK_LEFT:  // Alt+Left back, Alt+Right forward, Alt+Home the home page
    case VK_RIGHT:
    case VK_HOME:
      return alt;
    default:
      break;
  }
  // Ctrl with Alt is AltGr on many keyboards: a typed character, never a shortcut.
  if (!control || alt) return false;
  switch (key) {
    case 'R':  // reload
    case 'N':  // new window
    case 'P':  // print
    case 'F':  // find
    case 'O':  // open a file or address
    case 'L':
    case 'S':  // save a copy of the page
      return true;
    default:
      return false;
  }
}

bool FocusInTextField(IDispatch* document) {
  ComPtr<IHTMLDocument2> html;
  ComPtr<IHTMLElement> active;
  if (document == nullptr || FAILED(document->QueryInterface(IID_PPV_ARGS(&html))) ||
      FAILED(html->get_activeElement(&active)) || !active) {
    return false;
  }
  ComPtr<IHTMLTextAreaElement> area;
  if (SUCCEEDED(active.As(&area))) return true;
  ComPtr<IHTMLInputElement> input;
  BSTR type = nullptr;
  if (SUCCEEDED(active.As(&input)) && SUCCEEDED(input->get_type(&type)) && type != nullptr) {
    const std::wstring kind(type);
    SysFreeString(type);
    return kind == L"text" || kind == L"password" || kind == L"search";
  }
  ComPtr<IHTMLElement3> element;
  VARIANT_BOOL editable = VARIANT_FALSE;
  return SUCCEEDED(active.As(&element)) && SUCCEEDED(element->get_isContentEditable(&editable)) &&
         editable == VARIANT_TRUE;
}

STDMETHODIMP DropFilter::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  passing_ = engine_ && CarriesOnlyText(data);
  if (passing_) return engine_->DragEnter(data, keys, point, effect);
  *effect = DROPEFFECT_NONE;
  return S_OK;
}

STDMETHODIMP DropFilter::DragOver(DWORD keys, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  if (passing_) return engine_->DragOver(keys, point, effect);
  *effect = DROPEFFECT_NONE;
  return S_OK;
}

STDMETHODIMP DropFilter::DragLeave() {
  const bool passing = passing_;
  passing_ = false;
  return passing ? engine_->DragLeave() : S_OK;
}

STDMETHODIMP DropFilter::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  // Judged again on what is dropped: the drag's data could have been offered differently.
  const bool passing = passing_ && CarriesOnlyText(data);
  passing_ = false;
  if (passing) return engine_->Drop(data, keys, point, effect);
  *effect = DROPEFFECT_NONE;
  return S_OK;
}

STDMETHODIMP DownloadRefusal::Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR,
                                       LPCOLESTR, UINT) {
  // S_OK says the host has taken the download over; a failure would send the engine back to its
  // own download box. The address is never bound, so nothing is fetched.
  return S_OK;
}

}  // namespace plq::win32
