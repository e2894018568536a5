// Stands in for Internet Explorer in the test prefix (installed there as iexplore.exe): appends
// one line per start to the file named by %PLQ_STANDIN_LOG% and exits at once. The line holds
// the show style from its STARTUPINFO, how many of the files listed in %PLQ_STANDIN_WATCH%
// (separated by ";") still exist, which program file was started, and its exact command line. A
// windows program, as the browser is, so starting it opens no console.
#include <windows.h>

#include <string>

#include "shell/win32/text.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

int ExistingFiles(const std::wstring& list) {
  int count = 0;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    const std::wstring path = list.substr(start, end - start);
    if (!path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) ++count;
    start = end + 1;
  }
  return count;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;

  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  const std::wstring record = L"show=" + std::to_wstring(show) + L"\tfiles_left=" +
                              std::to_wstring(ExistingFiles(Variable(L"PLQ_STANDIN_WATCH"))) +
                              L"\tprogram=" + program + L"\tcommand=" + GetCommandLineW() + L"\n";
  const std::string utf8 = plq::win32::Narrow(record);

  const std::wstring log = Variable(L"PLQ_STANDIN_LOG");
  if (log.empty()) return 2;
  HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == utf8.size() ? 0 : 4;
}
