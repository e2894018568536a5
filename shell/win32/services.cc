// Platform services with the Win32 API: FindResourceExW for the pages, CreateProcessW and
// ShellExecuteExW for the browser, MessageBoxW for failures, GetModuleFileNameW and
// SHGetKnownFolderPath for the folders. Everything goes through the W functions.
#include "shell/win32/services.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "shell/core/browser_command.h"
#include "shell/core/layout.h"
#include "shell/core/messages.h"
#include "shell/win32/page_folder.h"
#include "shell/win32/text.h"

namespace plq {

void ReportUncaught(const char* where, const char* what) noexcept {
  try {
    OutputDebugStringA((std::string(where) + ": " + what).c_str());
  } catch (...) {
    OutputDebugStringA(where);
  }
}

}  // namespace plq

namespace plq::win32 {
namespace {

constexpr WORD kPageLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

struct CoTaskMemDeleter {
  void operator()(wchar_t* memory) const { CoTaskMemFree(memory); }
};

// Opens the address with whatever program the system associates with web pages.
bool OpenWithDefaultBrowser(const std::string& address, int show, DWORD* error) {
  const std::wstring url = Widen(AddressWithScheme(address));
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  // No shell error box of its own: the caller reports the failure in one message.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = url.c_str();
  info.nShow = show;
  if (ShellExecuteExW(&info)) return true;
  *error = GetLastError();
  return false;
}

}  // namespace

Status ResourceStore::Read(const std::string& type, int id, Bytes* bytes) {
  const std::wstring wide_type = Widen(type);
  HMODULE module = GetModuleHandleW(nullptr);
  // Resource type names compare without regard to case: "custom" finds the stored "CUSTOM".
  HRSRC found = FindResourceExW(module, wide_type.c_str(), MAKEINTRESOURCEW(id), kPageLanguage);
  if (found == nullptr) {
    return Status::Failure("FindResourceExW(" + type + ", " + std::to_string(id) +
                           "): " + ErrorText(GetLastError()));
  }
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
  if (data == nullptr || size == 0) {
    return Status::Failure("LoadResource(" + type + ", " + std::to_string(id) +
                           "): " + ErrorText(GetLastError()));
  }
  const auto* first = static_cast<const unsigned char*>(data);
  bytes->assign(first, first + size);
  return Status::Ok();
}

Status BrowserLauncher::Open(const std::string& address, WindowStyle style) {
  const int show = static_cast<int>(style);
  // The browser's path goes in as the application name. Given only the unquoted command line,
  // Windows would try "C:\Program.exe" first, so a program planted there would run instead.
  const std::wstring application = Widen(BrowserProgram());
  std::wstring command_line = Widen(BrowserCommandLine(address));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &process)) {
    // Nothing waits for the browser or keeps its id.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return Status::Ok();
  }
  const DWORD browser_error = GetLastError();
  DWORD fallback_error = 0;
  if (OpenWithDefaultBrowser(address, show, &fallback_error)) return Status::Ok();
  return Status::Failure("CreateProcessW(" + Narrow(application) +
                         "): " + ErrorText(browser_error) +
                         "\nShellExecuteExW: " + ErrorText(fallback_error));
}

void MessageBoxes::Show(const std::string& text, UINT icon) {
  for (const Box& box : waiting_) {
    if (box.text == text && box.icon == icon) return;
  }
  waiting_.push_back({text, icon});
  if (open_) return;
  open_ = true;
  while (!waiting_.empty()) {
    const Box box = waiting_.front();
    waiting_.pop_front();
    HWND owner = owner_ != nullptr && IsWindowVisible(owner_) ? owner_ : nullptr;
    MessageBoxW(owner, Widen(box.text).c_str(), Widen(kCaption).c_str(),
                MB_OK | box.icon | (owner == nullptr ? MB_SETFOREGROUND : 0));
  }
  open_ = false;
  if (when_closed_) when_closed_();
}

void FailureReporter::Report(const std::string& message) { boxes_.Show(message, MB_ICONERROR); }

std::string Folders::ApplicationDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: long paths exceed MAX_PATH
  }
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  // A drive root keeps its separator ("C:\"), as the platform reports it.
  const bool drive_root = separator == 2 && path[1] == L':';
  return Narrow(path.substr(0, drive_root ? separator + 1 : separator));
}

std::vector<std::string> Folders::PrivateFolders() {
  wchar_t* raw = nullptr;
  const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &raw);
  std::unique_ptr<wchar_t, CoTaskMemDeleter> local_app_data(raw);
  if (FAILED(hr) || raw == nullptr) return {};
  return {Narrow(std::wstring(raw) + L"\\" + Widen(kPrivateFolderName))};
}

Status Folders::Open(const std::string& path, FolderKind kind,
                     std::unique_ptr<plq::PageFolder>* folder) {
  std::unique_ptr<PageFolder> opened;
  Status status = PageFolder::Open(path, kind, &opened);
  if (status.ok()) *folder = std::move(opened);
  return status;
}

void ShowFailure(const std::string& message) {
  MessageBoxW(nullptr, Widen(message).c_str(), Widen(kCaption).c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace plq::win32
