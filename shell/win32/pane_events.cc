// A browser pane's event sink (pane_events.h). The control passes an argument by value or by
// reference (VT_BYREF | VT_VARIANT), and both are read; a Cancel argument is a VARIANT_BOOL by
// reference, which the sink sets to stop what the event announces.
#include "shell/win32/pane_events.h"

#include <exdispid.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>

#include "shell/core/pane_policy.h"
#include "shell/win32/text.h"

namespace plq::win32 {

using Microsoft::WRL::ComPtr;

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
  Guarded("new-window", [this, listener, &address, user_gesture] {
    listener->NewWindowRequested(pane_, address, user_gesture);
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
}  // namespace plq::win32
