// A test's eyes inside Wine, where X11 sees only the virtual desktop:
//   window_probe window CAPTION   prints the window's client size, its frame buttons and, for
//                                 each menu bar entry, the entry's text and its centre in
//                                 screen coordinates, and a point on the caption
//   window_probe message CAPTION  prints the text of the message box captioned CAPTION and
//                                 presses its OK button
//   window_probe watch FOLDER LOG N  appends the name of each file removed from FOLDER to LOG,
//                                 one per line, after first writing "ready"; stops after N
//                                 removals or 60 s
#include <windows.h>

#include <cstdio>
#include <string>

#include "shell/win32/main_window.h"

namespace {

// Another process's menu cannot be measured under Wine, so the same menu, made by the program's
// own code, is laid out in a hidden twin window of the same style and size; its entries sit at
// the same offsets from the window's corner.
int Window(const wchar_t* caption) {
  // The window exists, hidden, before the start-up routine shows it.
  HWND hwnd = nullptr;
  for (int attempt = 0; attempt < 200; ++attempt) {
    hwnd = FindWindowW(nullptr, caption);
    if (hwnd != nullptr && IsWindowVisible(hwnd)) break;
    Sleep(50);
  }
  if (hwnd == nullptr) {
    std::fprintf(stderr, "no window with that caption\n");
    return 1;
  }
  RECT client = {};
  RECT outer = {};
  GetClientRect(hwnd, &client);
  GetWindowRect(hwnd, &outer);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  std::printf("client %ld %ld\n", client.right - client.left, client.bottom - client.top);
  std::printf("outer %ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
  std::printf("minimize %d maximize %d sizable %d visible %d\n", (style & WS_MINIMIZEBOX) != 0,
              (style & WS_MAXIMIZEBOX) != 0, (style & WS_THICKFRAME) != 0,
              (style & WS_VISIBLE) != 0);

  HMENU menu = plq::win32::CreateMenuBar();
  if (menu == nullptr) {
    std::fprintf(stderr, "cannot make the program's menu\n");
    return 1;
  }
  HWND twin = CreateWindowExW(0, L"STATIC", L"", style & ~WS_VISIBLE, outer.left, outer.top,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, menu,
                              nullptr, nullptr);
  RECT twin_outer = {};
  GetWindowRect(twin, &twin_outer);
  for (int item = 0; item < GetMenuItemCount(menu); ++item) {
    MENUBARINFO bar = {};
    bar.cbSize = sizeof bar;
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(item), text, 64, MF_BYPOSITION);
    if (!GetMenuBarInfo(twin, OBJID_MENU, item + 1, &bar)) return 1;
    const LONG x = outer.left + (bar.rcBar.left + bar.rcBar.right) / 2 - twin_outer.left;
    const LONG y = outer.top + (bar.rcBar.top + bar.rcBar.bottom) / 2 - twin_outer.top;
    char utf8[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("entry %d %s %ld %ld\n", item + 1, utf8, x, y);
  }
  MENUBARINFO bar = {};
  bar.cbSize = sizeof bar;
  if (GetMenuBarInfo(twin, OBJID_MENU, 0, &bar)) {
    const LONG bar_top = outer.top + bar.rcBar.top - twin_outer.top;
    std::printf("caption %ld %ld\n", (outer.left + outer.right) / 2, (outer.top + bar_top) / 2);
  }
  DestroyWindow(twin);
  return 0;
}

// The text of the message box captioned CAPTION, once it shows; then presses its OK button.
int Message(const wchar_t* caption) {
  HWND box = nullptr;
  for (int attempt = 0; attempt < 200 && box == nullptr; ++attempt) {
    box = FindWindowW(L"#32770", caption);
    if (box == nullptr) Sleep(50);
  }
  if (box == nullptr) {
    std::fprintf(stderr, "no message box with that caption\n");
    return 1;
  }
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    wchar_t buffer[2048] = {};
    if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, buffer, 2048) > 0) {
      text = buffer;
    }
  }
  char utf8[8192] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  std::fflush(stdout);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}

int Watch(const wchar_t* folder, const wchar_t* log_path, int wanted) {
  HANDLE directory = CreateFileW(
      folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (directory == INVALID_HANDLE_VALUE) return 1;
  FILE* log = _wfopen(log_path, L"wb");
  if (log == nullptr) return 1;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  alignas(DWORD) unsigned char buffer[16384];
  int seen = 0;
  bool ready_written = false;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (seen < wanted && GetTickCount64() < deadline) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ResetEvent(event);
    if (!ReadDirectoryChangesW(directory, buffer, sizeof buffer, FALSE,
                               FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped, nullptr)) {
      break;
    }
    if (!ready_written) {
      std::fputs("ready\n", log);
      std::fflush(log);
      ready_written = true;
    }
    if (WaitForSingleObject(event, 1000) != WAIT_OBJECT_0) {
      CancelIo(directory);
      DWORD ignored = 0;
      GetOverlappedResult(directory, &overlapped, &ignored, TRUE);
      continue;
    }
    DWORD bytes = 0;
    if (!GetOverlappedResult(directory, &overlapped, &bytes, FALSE) || bytes == 0) continue;
    for (size_t offset = 0;;) {
      const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
      if (info->Action == FILE_ACTION_REMOVED) {
        const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
        std::fprintf(log, "%ls\n", name.c_str());
        std::fflush(log);
        ++seen;
      }
      if (info->NextEntryOffset == 0) break;
      offset += info->NextEntryOffset;
    }
  }
  std::fclose(log);
  CloseHandle(event);
  CloseHandle(directory);
  return seen == wanted ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"window" && argc == 3) return Window(argv[2]);
  if (mode == L"message" && argc == 3) return Message(argv[2]);
  if (mode == L"watch" && argc == 5) return Watch(argv[2], argv[3], _wtoi(argv[4]));
  std::fprintf(stderr,
               "usage: window_probe window CAPTION | message CAPTION | watch FOLDER LOG COUNT\n");
  return 2;
}
