// Runs scripts on the system's JScript engine through the Active Scripting interfaces
// (IActiveScript, IActiveScriptParse, IActiveScriptProperty), as the WebBrowser control runs a
// page's script block:
//   jscript_host OUTPUT STATEMENT FILE...
// Each FILE runs in order in one engine, then STATEMENT. A file ending in ".htm" is a page: its
// first script block runs, read as the control reads it, from code page 936 (what the page's
// charset gb2312 means on Windows) with its CR LF line ends. Other files are UTF-8. The scripts
// reach the global object "Host", whose Print(text) appends text and a line end to OUTPUT
// (UTF-8). A script error is written there too and the exit status is 1.
//
// cscript.exe is no runner for this: under Wine a script error prints nothing and it still exits
// 0, and it reads only files in the ANSI code page. The interface ids come from the headers'
// __uuidof declarations: mingw-w64's import library lacks IActiveScriptParse64's and
// IActiveScriptProperty's.
#include <activscp.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "shell/win32/com_util.h"
#include "shell/win32/text.h"

namespace {

using Microsoft::WRL::ComPtr;

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct BstrFreer {
  void operator()(BSTR text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFreer>;

struct EngineCloser {
  void operator()(IActiveScript* engine) const { engine->Close(); }
};

struct ComSession {
  ComSession() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComSession() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
  ComSession(const ComSession&) = delete;
  ComSession& operator=(const ComSession&) = delete;
  HRESULT result;
};

// The page's bytes as the control reads them: charset gb2312 is code page 936 on Windows.
std::wstring DecodePage(const std::string& bytes) {
  const int size =
      MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

bool ReadFile(const std::wstring& path, std::string* bytes) {
  const File file(_wfopen(path.c_str(), L"rb"));
  if (!file) return false;
  char buffer[65536];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, count);
  return ferror(file.get()) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// One script to run: its text, where it came from and its first line's number there.
struct Script {
  std::wstring name;
  std::wstring text;
  ULONG first_line = 0;
};

// The text between the page's first script start tag and "</script>". The engine receives it
// as the control hands it over: starting with the rest of the start tag's line.
bool ReadPageScript(const std::wstring& page, Script* script) {
  const size_t tag = page.find(L"<script");
  const size_t start = tag == std::wstring::npos ? tag : page.find(L'>', tag);
  const size_t end = start == std::wstring::npos ? start : page.find(L"</script>", start);
  if (end == std::wstring::npos) return false;
  script->text = page.substr(start + 1, end - start - 1);
  for (size_t at = 0; at < start; ++at) script->first_line += page[at] == L'\n' ? 1 : 0;
  return true;
}

// The engine's site and the scripts' "Host" object in one: it lives on wmain's stack, beyond the
// engine, and the stack holds the reference it starts with.
class Host final : public plq::win32::ComObject<IActiveScriptSite, IDispatch> {
 public:
  Host(FILE* output, const std::vector<Script>* scripts) : output_(output), scripts_(scripts) {}

  bool failed() const { return failed_; }

  void Print(const std::wstring& text) {
    const std::string bytes = plq::win32::Narrow(text + L"\n");
    fwrite(bytes.data(), 1, bytes.size(), output_);
  }

  // IActiveScriptSite
  STDMETHODIMP GetLCID(LCID* lcid) override {
    *lcid = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** type) override {
    if (wcscmp(name, kHostName) != 0) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_ITYPEINFO) != 0) *type = nullptr;
    if ((mask & SCRIPTINFO_IUNKNOWN) != 0) {
      *item = static_cast<IDispatch*>(this);
      AddRef();
    }
    return S_OK;
  }
  STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
  STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
    try {
      ReportError(error);
    } catch (...) {
      failed_ = true;
    }
    return S_OK;
  }
  STDMETHODIMP OnEnterScript() override { return S_OK; }
  STDMETHODIMP OnLeaveScript() override { return S_OK; }

  // A call that failed with no script error reported for it.
  void ReportFailure(const std::wstring& what, HRESULT result) {
    Print(L"script error: " + what + L" failed (0x" + Hex(result) + L")");
    failed_ = true;
  }

  // IDispatch: Host.Print(text), the one member.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1 || wcscmp(names[0], L"Print") != 0) {
      for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = kPrintId;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                      EXCEPINFO*, UINT*) override {
    if (id != kPrintId || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (parameters->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VARIANT text;
    VariantInit(&text);
    HRESULT outcome = VariantChangeType(&text, &parameters->rgvarg[0], 0, VT_BSTR);
    if (SUCCEEDED(outcome)) {
      try {
        Print(std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text))));
      } catch (...) {
        outcome = E_OUTOFMEMORY;
      }
    }
    VariantClear(&text);
    if (result != nullptr) VariantInit(result);
    return outcome;
  }

  static constexpr const wchar_t* kHostName = L"Host";

 private:
  static constexpr DISPID kPrintId = 1;

  static std::wstring Hex(LONG value) {
    wchar_t text[16];
    swprintf(text, 16, L"%08lX", static_cast<unsigned long>(value));
    return text;
  }

  void ReportError(IActiveScriptError* error) {
    EXCEPINFO exception = {};
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    BSTR source_line = nullptr;
    error->GetExceptionInfo(&exception);
    error->GetSourcePosition(&context, &line, &column);
    error->GetSourceLineText(&source_line);
    const Bstr description(exception.bstrDescription), source(exception.bstrSource),
        help(exception.bstrHelpFile), text(source_line);
    const std::wstring where = context < scripts_->size() ? (*scripts_)[context].name : L"?";
    failed_ = true;
    Print(L"script error: " + std::wstring(description ? description.get() : L"") + L" (0x" +
          Hex(exception.scode) + L") at " + where + L":" + std::to_wstring(line + 1) + L":" +
          std::to_wstring(column + 1) + L": " + (text ? text.get() : L""));
  }

  FILE* output_;
  const std::vector<Script>* scripts_;
  bool failed_ = false;
};

int Fail(const std::wstring& what, HRESULT result) {
  std::fprintf(stderr, "jscript_host: %s failed: %s\n", plq::win32::Narrow(what).c_str(),
               plq::win32::HresultText(result).c_str());
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: jscript_host OUTPUT STATEMENT FILE...\n");
    return 2;
  }
  std::vector<Script> scripts;
  for (int i = 3; i < argc; ++i) {
    Script script{argv[i], L"", 0};
    std::string bytes;
    if (!ReadFile(script.name, &bytes)) return Fail(argv[i], HRESULT_FROM_WIN32(GetLastError()));
    if (EndsWith(script.name, L".htm")) {
      if (!ReadPageScript(DecodePage(bytes), &script)) return Fail(L"no script block", E_FAIL);
    } else {
      script.text = plq::win32::Widen(bytes);
    }
    scripts.push_back(std::move(script));
  }
  scripts.push_back(Script{L"statement", argv[2], 0});

  const File output(_wfopen(argv[1], L"wb"));
  if (!output) return Fail(argv[1], E_FAIL);
  const ComSession com;
  if (FAILED(com.result)) return Fail(L"CoInitializeEx", com.result);
  Host host(output.get(), &scripts);
  {
    CLSID jscript;
    HRESULT result = CLSIDFromProgID(L"JScript", &jscript);
    if (FAILED(result)) return Fail(L"CLSIDFromProgID(JScript)", result);
    ComPtr<IActiveScript> engine;
    result = CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&engine));
    if (FAILED(result)) return Fail(L"CoCreateInstance(JScript)", result);
    ComPtr<IActiveScriptProperty> property;
    ComPtr<IActiveScriptParse> parse;
    if (FAILED(result = engine.As(&property))) return Fail(L"IActiveScriptProperty", result);
    if (FAILED(result = engine.As(&parse))) return Fail(L"IActiveScriptParse", result);
    // Version 1 is the language of the old IE engine the control runs pages on: no JSON, no
    // indexing into strings, the classic trailing comma and named function expression rules.
    // The engine takes it only before it starts.
    VARIANT version;
    V_VT(&version) = VT_I4;
    V_I4(&version) = SCRIPTLANGUAGEVERSION_5_7;
    if (FAILED(result = property->SetProperty(SCRIPTPROP_INVOKEVERSIONING, nullptr, &version))) {
      return Fail(L"SCRIPTPROP_INVOKEVERSIONING", result);
    }
    if (FAILED(result = parse->InitNew())) return Fail(L"InitNew", result);
    if (FAILED(result = engine->SetScriptSite(&host))) return Fail(L"SetScriptSite", result);
    // Close lets go of the site and the named items, on every way out from here.
    const std::unique_ptr<IActiveScript, EngineCloser> closer(engine.Get());
    if (FAILED(result = engine->AddNamedItem(Host::kHostName, SCRIPTITEM_ISVISIBLE))) {
      return Fail(L"AddNamedItem", result);
    }
    if (FAILED(result = engine->SetScriptState(SCRIPTSTATE_STARTED))) {
      return Fail(L"SetScriptState", result);
    }
    for (size_t i = 0; i < scripts.size() && !host.failed(); ++i) {
      // "</script>" as the delimiter tells the engine the text is a page's script block, which
      // lets it read the page's "<!--" line as a comment, as the control's engine does.
      result =
          parse->ParseScriptText(scripts[i].text.c_str(), nullptr, nullptr, L"</script>", i,
                                 scripts[i].first_line, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
      if (FAILED(result) && !host.failed()) host.ReportFailure(scripts[i].name, result);
    }
  }
  return host.failed() ? 1 : 0;
}
