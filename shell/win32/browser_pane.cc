// The OLE container for one WebBrowser control, written by hand against the COM interfaces (no
// ATL): the control needs a client site (IOleClientSite), a place to activate in
// (IOleInPlaceSite) and a frame (IOleInPlaceFrame). The program has no toolbars, status bar or
// menu merging, so the frame declines those requests. The order of the calls on the way up and
// on the way down is the one the control expects; teardown lives in ~BrowserPane only.
#include "shell/win32/browser_pane.h"

#include <atomic>

#include "shell/win32/text.h"

namespace plq::win32 {

using Microsoft::WRL::ComPtr;

class PaneSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  PaneSite(HWND parent, const RECT& bounds) : parent_(parent), bounds_(bounds) {}
  PaneSite(const PaneSite&) = delete;
  PaneSite& operator=(const PaneSite&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *object = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *object = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite: the document is never saved or linked.
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, shared by the site and the frame: both live in the main window.
  STDMETHODIMP GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = parent_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite: the pane's place is fixed; the window never lays it out again.
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO frame_info) override {
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
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, menus or status bar to share.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~PaneSite() = default;

  std::atomic<ULONG> references_{1};
  HWND parent_;
  RECT bounds_;
};

namespace {

struct BstrDeleter {
  void operator()(BSTR text) const { SysFreeString(text); }
};

// A failed step's message: what was attempted and the system's reason.
std::string StepFailure(const char* step, HRESULT hr) {
  return std::string(step) + ": " + HresultText(hr);
}

}  // namespace

std::unique_ptr<BrowserPane> BrowserPane::Create(HWND parent, const RECT& bounds,
                                                 std::string* error) {
  std::unique_ptr<BrowserPane> pane(new BrowserPane());
  pane->site_.Attach(new PaneSite(parent, bounds));
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
  // The control sizes itself from the site's rectangle; setting the four again pins the exact
  // place even where a version of the control rounds or pads it.
  const struct {
    HRESULT (STDMETHODCALLTYPE IWebBrowser2::*set)(long);
    long value;
    const char* name;
  } placement[] = {
      {&IWebBrowser2::put_Left, bounds.left, "IWebBrowser2::put_Left"},
      {&IWebBrowser2::put_Top, bounds.top, "IWebBrowser2::put_Top"},
      {&IWebBrowser2::put_Width, bounds.right - bounds.left, "IWebBrowser2::put_Width"},
      {&IWebBrowser2::put_Height, bounds.bottom - bounds.top, "IWebBrowser2::put_Height"}};
  for (const auto& step : placement) {
    hr = (pane->browser_.Get()->*step.set)(step.value);
    if (FAILED(hr)) {
      *error = StepFailure(step.name, hr);
      return nullptr;
    }
  }
  return pane;
}

BrowserPane::~BrowserPane() {
  // The control's own order, each step run whatever the one before returned (each releases
  // something of its own, and nobody is left to tell about a failure while the window goes):
  // stop loading; leave the active states, UI first; detach our site BEFORE Close, because the
  // control may drop its last references during Close and call back into a site that is half
  // gone (SumatraPDF's HtmlWindow does the same); then Close and let go.
  if (browser_) browser_->Stop();
  if (in_place_) {
    ComPtr<IOleInPlaceObject> in_place;
    if (SUCCEEDED(object_.As(&in_place))) {
      in_place->UIDeactivate();
      in_place->InPlaceDeactivate();
    }
  }
  if (object_) {
    object_->SetClientSite(nullptr);
    object_->Close(OLECLOSE_NOSAVE);
  }
  browser_.Reset();
  object_.Reset();
  site_.Reset();
}

Status BrowserPane::Navigate(const std::wstring& target) {
  std::unique_ptr<OLECHAR, BstrDeleter> address(SysAllocString(target.c_str()));
  if (!address) return Status::Failure("SysAllocString: " + HresultText(E_OUTOFMEMORY));
  VARIANT empty;
  VariantInit(&empty);
  const HRESULT hr = browser_->Navigate(address.get(), &empty, &empty, &empty, &empty);
  if (FAILED(hr)) return Status::Failure(StepFailure("IWebBrowser2::Navigate", hr));
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

}  // namespace plq::win32
