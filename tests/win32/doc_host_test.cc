// What a pane's site answers the page engine about its user interface, under Wine with no page
// engine: the engine's calls are made here as MSHTML makes them, with a document, a dragged
// object and the engine's drop target standing in for the engine's own. Also the Feature
// Controls, read back in this process.
#include "shell/win32/doc_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mshtmcid.h>
#include <shlobj.h>
#include <urlmon.h>
#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "shell/win32/com_util.h"
#include "shell/win32/feature_controls.h"
#include "shell/win32/pane_site.h"

namespace plq::win32 {
namespace {

using Microsoft::WRL::ComPtr;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// The stand-ins live on the test's stack, which holds the reference each starts with.
template <typename Interface>
using StandIn = ComObject<Interface>;

// The document's editing commands, `enabled` ones on.
class Document final : public StandIn<IOleCommandTarget> {
 public:
  explicit Document(std::set<DWORD> enabled) : enabled_(std::move(enabled)) {}
  STDMETHODIMP QueryStatus(const GUID*, ULONG count, OLECMD commands[], OLECMDTEXT*) override {
    for (ULONG i = 0; i < count; ++i) {
      commands[i].cmdf =
          OLECMDF_SUPPORTED | (enabled_.count(commands[i].cmdID) ? OLECMDF_ENABLED : 0);
    }
    return S_OK;
  }
  STDMETHODIMP Exec(const GUID*, DWORD command, DWORD, VARIANT*, VARIANT*) override {
    run.push_back(command);
    return S_OK;
  }
  std::vector<DWORD> run;

 private:
  std::set<DWORD> enabled_;
};

TEST(DocHostTest, TheContextMenuIsAFormsMenu) {
  const std::set<DWORD> all = {IDM_CUT, IDM_COPY, IDM_PASTE, IDM_DELETE, IDM_SELECTALL};
  const struct {
    const char* name;
    DWORD context;
    std::set<DWORD> enabled;
    std::vector<std::string> entries;  // "-" marks a greyed entry
  } cases[] = {
      {"field, nothing selected",
       CONTEXT_MENU_CONTROL,
       {IDM_PASTE, IDM_SELECTALL},
       {"-剪切", "-复制", "粘贴", "-删除", "全选"}},
      {"field, text selected", CONTEXT_MENU_CONTROL, all, {"剪切", "复制", "粘贴", "删除", "全选"}},
      {"on the selection", CONTEXT_MENU_TEXTSELECT, {IDM_COPY}, {"复制"}},
      {"page, selection elsewhere", CONTEXT_MENU_DEFAULT, {IDM_COPY}, {"复制"}},
      {"page", CONTEXT_MENU_DEFAULT, {}, {}},
      {"link", CONTEXT_MENU_ANCHOR, {}, {}},
      {"picture", CONTEXT_MENU_IMAGE, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Document document(c.enabled);
    std::vector<std::string> entries;
    for (const ContextMenuItem& item : ContextMenuFor(c.context, &document)) {
      entries.push_back((item.enabled ? "" : "-") + std::string(item.text));
    }
    EXPECT_THAT(entries, ElementsAreArray(c.entries));
  }
  // Where there is no entry the site answers for the engine, which then shows nothing of its own.
  ComPtr<PaneSite> site;
  site.Attach(new PaneSite(nullptr, RECT{}, Trust::kOwnPage, nullptr));
  Document document({});
  POINT where = {10, 10};
  EXPECT_EQ(site->ShowContextMenu(CONTEXT_MENU_ANCHOR, &where, &document, nullptr), S_OK);
  EXPECT_THAT(document.run, IsEmpty());
}

TEST(DocHostTest, TheEnginesOwnShortcutsThatLeaveThePageDoNothing) {
  constexpr bool kCtrl = true, kAlt = true, kField = true;
  const struct {
    const char* key;
    UINT code;
    bool control, alt, in_field, swallowed;
  } cases[] = {
      {"F5", VK_F5, false, false, false, true},
      {"Ctrl+R", 'R', kCtrl, false, false, true},
      {"Ctrl+N", 'N', kCtrl, false, false, true},
      {"Ctrl+P", 'P', kCtrl, false, false, true},
      {"Ctrl+F", 'F', kCtrl, false, false, true},
      {"Ctrl+O", 'O', kCtrl, false, false, true},
      {"Alt+Left", VK_LEFT, false, kAlt, false, true},
      {"Backspace on the page", VK_BACK, false, false, false, true},
      {"browser's back key", VK_BROWSER_BACK, false, false, kField, true},
      {"Backspace in a field", VK_BACK, false, false, kField, false},
      {"Tab", VK_TAB, false, false, false, false},
      {"Return", VK_RETURN, false, false, false, false},
      {"typing R", 'R', false, false, kField, false},
      {"AltGr+R", 'R', kCtrl, kAlt, kField, false},
      {"Ctrl+C", 'C', kCtrl, false, kField, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsEngineShortcut(c.code, c.control, c.alt, c.in_field), c.swallowed) << c.key;
  }
  // The site's hook: S_OK keeps the key from the engine, S_FALSE lets it go on.
  ComPtr<PaneSite> site;
  site.Attach(new PaneSite(nullptr, RECT{}, Trust::kOwnPage, nullptr));
  MSG f5 = {nullptr, WM_KEYDOWN, VK_F5, 0, 0, {}};
  MSG tab = {nullptr, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_EQ(site->TranslateAccelerator(&f5, nullptr, 0), S_OK);
  EXPECT_EQ(site->TranslateAccelerator(&tab, nullptr, 0), S_FALSE);
}

// A dragged object offering `formats`.
class Dragged final : public StandIn<IDataObject> {
 public:
  explicit Dragged(std::vector<const wchar_t*> formats) {
    for (const wchar_t* name : formats) {
      formats_.insert(name == nullptr ? CF_UNICODETEXT : RegisterClipboardFormatW(name));
    }
  }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return formats_.count(format->cfFormat) ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetData(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::set<UINT> formats_;
};

// The document's own drop target: takes whatever reaches it.
class EngineTarget final : public StandIn<IDropTarget> {
 public:
  STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  STDMETHODIMP DragLeave() override { return S_OK; }
  STDMETHODIMP Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    ++drops;
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  int drops = 0;
};

TEST(DocHostTest, ADropNeverBringsAFileOrAnAddressIntoThePage) {
  const wchar_t* kText = nullptr;
  const struct {
    const char* name;
    std::vector<const wchar_t*> formats;
    bool reaches_the_page;
  } cases[] = {
      {"text", {kText}, true},
      {"text with markup", {kText, L"HTML Format"}, true},
      {"a link", {kText, CFSTR_SHELLURL}, false},
      {"a file", {L"FileNameW", CFSTR_SHELLIDLIST}, false},
      {"a mail attachment", {kText, CFSTR_FILEDESCRIPTORW}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineTarget engine;
    ComPtr<IDropTarget> target;
    ComPtr<PaneSite> site;
    site.Attach(new PaneSite(nullptr, RECT{}, Trust::kOwnPage, nullptr));
    ASSERT_EQ(site->GetDropTarget(&engine, &target), S_OK);
    Dragged dragged(c.formats);
    DWORD entered = DROPEFFECT_COPY | DROPEFFECT_LINK;
    DWORD dropped = entered;
    ASSERT_EQ(target->DragEnter(&dragged, 0, POINTL{5, 5}, &entered), S_OK);
    ASSERT_EQ(target->Drop(&dragged, 0, POINTL{5, 5}, &dropped), S_OK);
    EXPECT_EQ(engine.drops, c.reaches_the_page ? 1 : 0);
    const DWORD refused = c.reaches_the_page ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    EXPECT_EQ(entered, refused);
    EXPECT_EQ(dropped, refused);
  }
}

TEST(DocHostTest, HostFlagsKeepThePagesLookAndNoDownloadStarts) {
  ComPtr<PaneSite> site;
  site.Attach(new PaneSite(nullptr, RECT{}, Trust::kForeignContent, nullptr));
  DOCHOSTUIINFO info = {};
  ASSERT_EQ(site->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags,
            static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DISABLE_HELP_MENU));
  // The engine asks the site for its download manager; each download is taken and dropped.
  ComPtr<IServiceProvider> services;
  ComPtr<IDownloadManager> downloads;
  ASSERT_EQ(site.As(&services), S_OK);
  ASSERT_EQ(services->QueryService(__uuidof(IDownloadManager), IID_PPV_ARGS(&downloads)), S_OK);
  ComPtr<IMoniker> address;
  ASSERT_EQ(CreateURLMonikerEx(nullptr, L"http://ads.example.com/setup.exe", &address, 0), S_OK);
  EXPECT_EQ(downloads->Download(address.Get(), nullptr, BINDVERB_GET, 0, nullptr, nullptr, nullptr,
                                CP_ACP),
            S_OK);
}

TEST(FeatureControlsTest, InternetExplorersProtectionsAreOnForTheProcess) {
  EXPECT_THAT(SwitchOnFeatureControls(), IsEmpty());
  const struct {
    INTERNETFEATURELIST feature;
    HRESULT state;  // S_OK: on
  } cases[] = {
      {FEATURE_ZONE_ELEVATION, S_OK},
      {FEATURE_MIME_HANDLING, S_OK},
      {FEATURE_MIME_SNIFFING, S_OK},
      {FEATURE_WINDOW_RESTRICTIONS, S_OK},
      {FEATURE_WEBOC_POPUPMANAGEMENT, S_OK},
      {FEATURE_RESTRICT_ACTIVEXINSTALL, S_OK},
      {FEATURE_VALIDATE_NAVIGATE_URL, S_OK},
      {FEATURE_RESTRICT_FILEDOWNLOAD, S_OK},
      {FEATURE_PROTOCOL_LOCKDOWN, S_OK},
      {FEATURE_HTTP_USERNAME_PASSWORD_DISABLE, S_OK},
      {FEATURE_SAFE_BINDTOOBJECT, S_OK},
      {FEATURE_BLOCK_INPUT_PROMPTS, S_OK},
      // The calculator's script runs from a local file: never locked down.
      {FEATURE_LOCALMACHINE_LOCKDOWN, S_FALSE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CoInternetIsFeatureEnabled(c.feature, GET_FEATURE_FROM_PROCESS), c.state)
        << "feature " << c.feature;
  }
}

}  // namespace
}  // namespace plq::win32
