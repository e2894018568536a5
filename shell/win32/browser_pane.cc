// One browser pane: the WebBrowser control created, in-place activated in the main window,
// connected to its event sink, placed, zoomed, given keys and the keyboard, and let go. The order
// of the calls on the way up and on the way down is the one the control expects; teardown lives
// in ~BrowserPane only.
#include "shell/win32/browser_pane.h"

#include <memory>
#include <string>

#include "shell/core/browser_command.h"
#include "shell/win32/pane_events.h"
#include "shell/win32/pane_site.h"
#include "shell/win32/text.h"

namespace plq::win32 {

using Microsoft::WRL::ComPtr;

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

Status BrowserPane::Navigate(const std::string& path) {
  // As a URL: given the bare path, the control would read a "#" in a folder's name as the start
  // of a fragment, and "%" as an escape.
  const std::string url = FileUrl(path);
  std::unique_ptr<OLECHAR, BstrDeleter> address(SysAllocString(Widen(url).c_str()));
  if (!address) return Status::Failure("SysAllocString: " + HresultText(E_OUTOFMEMORY));
  VARIANT empty;
  VariantInit(&empty);
  events_->ExpectPage(url);
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
