// The host's share of a pane's user interface, as the page engine (MSHTML) asks for it through
// IDocHostUIHandler and the site's IServiceProvider: which context menu, what a drop may do, the
// host's flags, which of the engine's own shortcuts run, and downloads. Internet Explorer answers
// these for itself with a browser's menus, shortcuts and download box; a pane answers as a form
// does (pane_policy.h), so nothing a page does leaves its pane or writes a file.
#ifndef PLQ_SHELL_WIN32_DOC_HOST_H_
#define PLQ_SHELL_WIN32_DOC_HOST_H_

#include <docobj.h>
#include <downloadmgr.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <vector>

#include "shell/core/pane_policy.h"
#include "shell/win32/com_util.h"

namespace plq::win32 {

// What GetHostInfo answers: the pages drawn edge to edge with no sunken 3D frame (the panes
// overlap by a pixel, and the Linux panes have none either), and no help entries. The scroll
// bars stay the engine's own, as they have always been; DOCHOSTUIFLAG_DPI_AWARE stays off (the
// window zooms each pane for its monitor's density instead, main_window.cc).
inline constexpr DWORD kHostFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DISABLE_HELP_MENU;

// CGID_MSHTML, the group of the document's editing commands (IDM_CUT...).
inline constexpr GUID kMshtmlCommands = {
    0xde4ba900, 0x59ca, 0x11cf, {0x95, 0x92, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

struct ContextMenuItem {
  const char* text;  // in the program's language (messages.h)
  DWORD command;     // the document's command (IDM_CUT...) in kMshtmlCommands
  bool enabled;
};

// The menu for the engine's context `id` (CONTEXT_MENU_*): a field's editing entries, or "copy"
// while the document has a selection, or nothing. Each entry is enabled as `document` says.
std::vector<ContextMenuItem> ContextMenuFor(DWORD id, IOleCommandTarget* document);

// Whether a key press belongs to the engine's own shortcuts that leave or replace the page,
// open windows or files, print, find or save (F5, Ctrl+R, Ctrl+N, Ctrl+P, Ctrl+F, Ctrl+O,
// Ctrl+S, Alt+Left, Backspace outside a text field...). Typing, Tab and a field's editing keys
// are not. `key` is the virtual key of a WM_KEYDOWN or WM_SYSKEYDOWN.
bool IsEngineShortcut(UINT key, bool control, bool alt, bool in_text_field);

// Whether the element that has the keyboard in the document takes typed text.
bool FocusInTextField(IDispatch* document);

// Stands between a pane's document and what is dropped on it: text goes on to the engine (into
// a field it may be inserted); anything that carries a file, an address or a shell item is
// refused, so that no drop ever loads something in the pane.
class DropFilter final : public ComObject<IDropTarget> {
 public:
  // `engine` is the document's own target, or nullptr when it offers none.
  explicit DropFilter(IDropTarget* engine) : engine_(engine) {}

  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  ~DropFilter() override = default;

  Microsoft::WRL::ComPtr<IDropTarget> engine_;
  // What is being dragged now goes on to the engine.
  bool passing_ = false;
};

// The download manager the site offers the engine (SID_SDownloadManager): every download, from
// a link, a frame, an attachment or a menu, is answered as dealt with, and nothing is fetched
// or written.
class DownloadRefusal final : public ComObject<IDownloadManager> {
 public:
  DownloadRefusal() = default;

  STDMETHODIMP Download(IMoniker* address, IBindCtx* context, DWORD verb, LONG bind_flags,
                        BINDINFO* info, LPCOLESTR headers, LPCOLESTR redirect,
                        UINT code_page) override;

 private:
  ~DownloadRefusal() override = default;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_DOC_HOST_H_
