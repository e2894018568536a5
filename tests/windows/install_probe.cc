// What an installation left behind, read from inside Wine the way Windows' own shell reads it.
// Prints UTF-8, one fact per line.
//   install_probe folder programs|local_app_data|temp  the user's Start-menu programs folder,
//                                 local application data folder or temporary folder
//   install_probe shortcut LINK   the shortcut's target, arguments, working folder and icon
//                                 (IShellLinkW)
//   install_probe values KEY      the values of HKEY_CURRENT_USER\KEY as NAME<tab>TYPE<tab>DATA
//                                 (types sz, expand_sz, dword); exit status 3 when the key is
//                                 absent
//   install_probe subkeys KEY     the names of HKEY_CURRENT_USER\KEY's subkeys; 3 when absent
//   install_probe run COMMAND     runs the command line COMMAND and waits until it and every
//                                 process it started have ended (an NSIS uninstaller copies
//                                 itself away and hands over to the copy); exits with the
//                                 command's own exit status
#include <windows.h>
// After windows.h, which they need.
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "shell/win32/text.h"

namespace {

using plq::win32::Narrow;

void Print(const char* label, const std::wstring& value) {
  std::printf("%s\t%s\n", label, Narrow(value).c_str());
}

int PrintFolder(const std::wstring& name) {
  if (name == L"temp") {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0) return 1;
    std::printf("%s\n", Narrow(std::wstring(path, length > 3 ? length - 1 : length)).c_str());
    return 0;
  }
  const KNOWNFOLDERID* id = name == L"programs"         ? &FOLDERID_Programs
                            : name == L"local_app_data" ? &FOLDERID_LocalAppData
                                                        : nullptr;
  if (id == nullptr) return 2;
  PWSTR path = nullptr;
  if (FAILED(SHGetKnownFolderPath(*id, 0, nullptr, &path))) return 1;
  std::printf("%s\n", Narrow(path).c_str());
  CoTaskMemFree(path);
  return 0;
}

int PrintShortcut(const wchar_t* link_path) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  int status = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(link_path, STGM_READ))) {
    wchar_t text[MAX_PATH * 2] = {};
    int icon_index = 0;
    link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    Print("target", text);
    text[0] = L'\0';
    link->GetArguments(text, MAX_PATH * 2);
    Print("arguments", text);
    text[0] = L'\0';
    link->GetWorkingDirectory(text, MAX_PATH * 2);
    Print("folder", text);
    text[0] = L'\0';
    link->GetIconLocation(text, MAX_PATH * 2, &icon_index);
    Print("icon", std::wstring(text) + L"," + std::to_wstring(icon_index));
    status = 0;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return status;
}

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// HKEY_CURRENT_USER\KEY open for reading; when it is absent, says so and holds nothing.
Key OpenUserKey(const wchar_t* key_name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key_name, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    return Key(key);
  }
  std::printf("absent\n");
  return nullptr;
}

int PrintValues(const wchar_t* key_name) {
  const Key key = OpenUserKey(key_name);
  if (key == nullptr) return 3;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD name_size = 256;
    BYTE data[4096] = {};
    DWORD data_size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (RegEnumValueW(key.get(), index, name, &name_size, nullptr, &type, data, &data_size) !=
        ERROR_SUCCESS) {
      break;
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      std::printf("%s\t%s\t%s\n", Narrow(name).c_str(), type == REG_SZ ? "sz" : "expand_sz",
                  Narrow(reinterpret_cast<const wchar_t*>(data)).c_str());
    } else if (type == REG_DWORD) {
      DWORD value = 0;
      std::memcpy(&value, data, sizeof value);
      std::printf("%s\tdword\t%lu\n", Narrow(name).c_str(), value);
    } else {
      std::printf("%s\ttype%lu\n", Narrow(name).c_str(), type);
    }
  }
  return 0;
}

int PrintSubkeys(const wchar_t* key_name) {
  const Key key = OpenUserKey(key_name);
  if (key == nullptr) return 3;
  wchar_t name[256] = {};
  DWORD size = 256;
  for (DWORD index = 0; RegEnumKeyExW(key.get(), index, name, &size, nullptr, nullptr, nullptr,
                                      nullptr) == ERROR_SUCCESS;
       ++index, size = 256) {
    std::printf("%s\n", Narrow(name).c_str());
  }
  return 0;
}

// Processes of the job still running, leaving out Wine's desktop process: Wine starts
// explorer.exe /desktop for the first window a program makes, inside that program's job, and it
// lives as long as the Wine session. -1 when the job cannot be asked.
int RunningInJob(HANDLE job) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more_ids[63];
  } ids = {};
  ids.list.NumberOfAssignedProcesses = 64;
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr)) {
    return -1;
  }
  int running = 0;
  for (DWORD index = 0; index < ids.list.NumberOfProcessIdsInList; ++index) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                 static_cast<DWORD>(ids.list.ProcessIdList[index]));
    if (process == nullptr) continue;
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &size);
    const wchar_t* name = wcsrchr(image, L'\\');
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT &&
        lstrcmpiW(name != nullptr ? name + 1 : image, L"explorer.exe") != 0) {
      ++running;
    }
    CloseHandle(process);
  }
  return running;
}

// The job holds the command and everything it starts.
int Run(const wchar_t* command) {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return 100;
  std::wstring command_line = command;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start: %lu\n", GetLastError());
    return 101;
  }
  if (!AssignProcessToJobObject(job, process.hProcess)) {
    std::fprintf(stderr, "cannot put the command into a job: %lu\n", GetLastError());
    TerminateProcess(process.hProcess, 102);
    return 102;
  }
  ResumeThread(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  int running = 0;
  while ((running = RunningInJob(job)) > 0) Sleep(50);
  if (running < 0) {
    std::fprintf(stderr, "cannot list the job's processes: %lu\n", GetLastError());
    status = 103;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(job);
  return static_cast<int>(status);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (argc == 3) {
    if (mode == L"folder") return PrintFolder(argv[2]);
    if (mode == L"shortcut") return PrintShortcut(argv[2]);
    if (mode == L"values") return PrintValues(argv[2]);
    if (mode == L"subkeys") return PrintSubkeys(argv[2]);
    if (mode == L"run") return Run(argv[2]);
  }
  std::fprintf(
      stderr,
      "usage: install_probe folder programs|local_app_data|temp | shortcut LINK | values KEY"
      " | subkeys KEY | run COMMAND\n");
  return 2;
}
