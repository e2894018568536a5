// A browser pane's event sink: the WebBrowser control raises DWebBrowserEvents2 through
// IDispatch::Invoke on the object given to its connection point, each event's arguments in a
// DISPPARAMS, last first. Only the events the pane acts on are read; the rest are let pass.
#ifndef PLQ_SHELL_WIN32_PANE_EVENTS_H_
#define PLQ_SHELL_WIN32_PANE_EVENTS_H_

#include <exdisp.h>
#include <windows.h>

#include <string>

#include "shell/core/layout.h"
#include "shell/core/pane_listener.h"
#include "shell/win32/com_util.h"

namespace plq::win32 {

// The DWebBrowserEvents2 sink of one pane: the top-level page's end (DocumentComplete) and
// failure (NavigateError) go to the listener; frames inside the page are the page's business.
// Loads are judged before they start (BeforeNavigate2): the top level stays on the pane's own
// page, frames go where the pane policy lets them. New windows never open in the control: their
// address goes to the listener (NewWindow3). Downloads are cancelled (FileDownload). A class of
// its own, so that its answers can be checked without a page engine.
class PaneEvents final : public ComObject<DWebBrowserEvents2> {
 public:
  PaneEvents(Pane pane, PaneListener* listener) : pane_(pane), listener_(listener) {}

  // The control's own object: events whose first argument is another one come from frames.
  void set_top(IUnknown* top) { top_ = top; }
  // The pane is sent to `address` (its page's file URL): its one top-level document.
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

#endif  // PLQ_SHELL_WIN32_PANE_EVENTS_H_
