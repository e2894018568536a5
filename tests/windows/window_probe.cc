// A test's eyes and hands inside Wine, where X11 sees only the virtual desktop:
//   window_probe window CAPTION [OTHER]  waits for the program's main window captioned CAPTION
//                                 (other than the window OTHER) to be visible and describes it
//                                 as `describe` does
//   window_probe describe HWND    prints the window's handle, its process id, its density, its
//                                 client size, its frame buttons, each child window's rectangle
//                                 in client coordinates ("pane x y width height", from the left)
//                                 and accessible name ("name N text"), for each menu bar entry
//                                 the entry's text and its centre in screen coordinates, and a
//                                 point on the caption
//   window_probe focus HWND N     waits until the keyboard is in the window's child N (1 the
//                                 leftmost) and prints "focus M", the child that has it (0: none)
//   window_probe foreground HWND  waits until the window HWND is the one in front, which the
//                                 keyboard reaches (exit status 1 when it never is)
//   window_probe close CAPTION HWND  once a message box captioned CAPTION shows, sends WM_CLOSE
//                                 to the window HWND and prints whether the window answered
//                                 within 5 s ("answered 1") and how many such boxes are open
//   window_probe move HWND X Y    moves the window's top left corner to X Y
//   window_probe endsession HWND ENDING  sends WM_QUERYENDSESSION and prints the answer, then
//                                 WM_ENDSESSION with wParam ENDING (1: the session ends)
//   window_probe quit HWND        posts WM_QUIT to the window's thread, as if from outside
//   window_probe dpichanged HWND DPI  sends WM_DPICHANGED for DPI with the rectangle Windows
//                                 would suggest (the same place, the size scaled), and prints it
//   window_probe message CAPTION  prints the text of the message box captioned CAPTION and
//                                 presses its OK button
//   window_probe watch FOLDER LOG N  appends the name of each file removed from FOLDER to LOG,
//                                 one per line, after first writing "ready"; stops after N
//                                 removals or 60 s
// Each wait lasts 20 s at most. The probe is per-monitor DPI aware, so it sees every window's
// true pixels.
#include <oleacc.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "shell/win32/main_window.h"
#include "shell/win32/text.h"

namespace {

using plq::win32::Narrow;

// Asks `holds` every 50 ms until it answers true, for 20 s at most; whether it did.
template <typename Condition>
bool WaitUntil(Condition&& holds) {
  for (int attempt = 0; attempt < 400; ++attempt) {
    if (holds()) return true;
    Sleep(50);
  }
  return holds();
}

template <typename Function>
Function User32Function(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

void BecomeDpiAware() {
  using SetContextFunction = BOOL(WINAPI*)(HANDLE);
  const auto set_context = User32Function<SetContextFunction>("SetProcessDpiAwarenessContext");
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (set_context == nullptr || !set_context(reinterpret_cast<HANDLE>(-4))) SetProcessDPIAware();
}

int DpiOf(HWND hwnd) {
  using GetDpiFunction = UINT(WINAPI*)(HWND);
  const auto get_dpi = User32Function<GetDpiFunction>("GetDpiForWindow");
  return get_dpi != nullptr ? static_cast<int>(get_dpi(hwnd)) : 96;
}

HWND HandleFrom(const wchar_t* text) {
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(_wtoi64(text)));
}

// The window's children from the left.
std::vector<HWND> Children(HWND hwnd) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  auto left = [](HWND child) {
    RECT place = {};
    GetWindowRect(child, &place);
    return place.left;
  };
  std::sort(children.begin(), children.end(),
            [&left](HWND a, HWND b) { return left(a) < left(b); });
  return children;
}

// What a screen reader reads for the window: its accessible object's name. (oleacc.dll is
// loaded by hand: its import library and libuuid both define IID_IAccessible.)
std::string AccessibleName(HWND hwnd) {
  using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
  const FARPROC found = GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow");
  const auto from_window = reinterpret_cast<FromWindow>(reinterpret_cast<void (*)()>(found));
  IAccessible* accessible = nullptr;
  if (from_window == nullptr ||
      FAILED(from_window(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                         reinterpret_cast<void**>(&accessible)))) {
    return "?";
  }
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::string text;
  if (accessible->get_accName(self, &name) == S_OK && name != nullptr) text = Narrow(name);
  SysFreeString(name);
  accessible->Release();
  return text;
}

// Another process's menu cannot be measured under Wine, so the same menu, made by the program's
// own code, is laid out in a hidden twin window of the same style and size; its entries sit at
// the same offsets from the window's corner.
int Describe(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    std::fprintf(stderr, "no such window\n");
    return 1;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  RECT client = {};
  RECT outer = {};
  GetClientRect(hwnd, &client);
  GetWindowRect(hwnd, &outer);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  std::printf("hwnd %lld\n", static_cast<long long>(reinterpret_cast<INT_PTR>(hwnd)));
  std::printf("pid %lu\n", process);
  std::printf("dpi %d\n", DpiOf(hwnd));
  std::printf("client %ld %ld\n", client.right - client.left, client.bottom - client.top);
  std::printf("outer %ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
  std::printf("minimize %d maximize %d sizable %d visible %d\n", (style & WS_MINIMIZEBOX) != 0,
              (style & WS_MAXIMIZEBOX) != 0, (style & WS_THICKFRAME) != 0,
              (style & WS_VISIBLE) != 0);
  int number = 0;
  for (HWND child : Children(hwnd)) {
    RECT place = {};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&place), 2);
    std::printf("pane %ld %ld %ld %ld\n", place.left, place.top, place.right - place.left,
                place.bottom - place.top);
    std::printf("name %d %s\n", ++number, AccessibleName(child).c_str());
  }

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
    std::printf("entry %d %s %ld %ld\n", item + 1, Narrow(text).c_str(), x, y);
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

struct Search {
  const wchar_t* caption;
  HWND other;
  HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  wchar_t window_class[64] = {};
  GetClassNameW(hwnd, window_class, 64);
  // The program's main window, not a message box of the same caption.
  if (hwnd != search->other && IsWindowVisible(hwnd) && lstrcmpW(text, search->caption) == 0 &&
      lstrcmpW(window_class, L"plqcalc.Form1") == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

int Window(const wchar_t* caption, HWND other) {
  // The window exists, hidden, before the start-up routine shows it.
  Search search = {caption, other, nullptr};
  if (!WaitUntil([&search] {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      })) {
    std::fprintf(stderr, "no window with that caption\n");
    return 1;
  }
  return Describe(search.found);
}

// The child of `hwnd` (1 the leftmost) that holds its thread's keyboard focus, or 0.
int FocusedChild(HWND hwnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) return 0;
  const std::vector<HWND> children = Children(hwnd);
  for (size_t i = 0; i < children.size(); ++i) {
    if (info.hwndFocus == children[i] || IsChild(children[i], info.hwndFocus)) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

int Focus(HWND hwnd, int wanted) {
  int found = 0;
  WaitUntil([&] { return (found = FocusedChild(hwnd)) == wanted; });
  std::printf("focus %d\n", found);
  return 0;
}

int Foreground(HWND hwnd) {
  if (WaitUntil([hwnd] { return GetForegroundWindow() == hwnd; })) return 0;
  std::fprintf(stderr, "the window is not in front\n");
  return 1;
}

BOOL CALLBACK CountBox(HWND hwnd, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<const wchar_t*, int>*>(context);
  wchar_t text[256] = {};
  wchar_t window_class[16] = {};
  GetWindowTextW(hwnd, text, 256);
  GetClassNameW(hwnd, window_class, 16);
  if (IsWindowVisible(hwnd) && lstrcmpW(window_class, L"#32770") == 0 &&
      lstrcmpW(text, search->first) == 0) {
    ++search->second;
  }
  return TRUE;
}

int Boxes(const wchar_t* caption) {
  std::pair<const wchar_t*, int> search = {caption, 0};
  EnumWindows(CountBox, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

int Close(const wchar_t* caption, HWND hwnd) {
  if (!WaitUntil([caption] { return Boxes(caption) > 0; })) {
    std::fprintf(stderr, "no message box with that caption\n");
    return 1;
  }
  DWORD_PTR ignored = 0;
  const bool answered = SendMessageTimeoutW(hwnd, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &ignored);
  std::printf("answered %d\nboxes %d\n", answered ? 1 : 0, Boxes(caption));
  return 0;
}

int Move(HWND hwnd, int x, int y) {
  return SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0
                                                                                             : 1;
}

int EndSession(HWND hwnd, bool ending) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 20000, &answer)) return 1;
  std::printf("query %d\n", answer != 0);
  std::fflush(stdout);
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(hwnd, WM_ENDSESSION, ending, 0, SMTO_NORMAL, 20000, &ignored) ? 0 : 1;
}

int Quit(HWND hwnd) {
  const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
  return thread != 0 && PostThreadMessageW(thread, WM_QUIT, 0, 0) ? 0 : 1;
}

// The RECT that goes with WM_DPICHANGED must be in the program's own memory: Windows passes
// this message's pointer between processes as it is.
int DpiChanged(HWND hwnd, int dpi) {
  RECT outer = {};
  GetWindowRect(hwnd, &outer);
  const int old_dpi = DpiOf(hwnd);
  const RECT suggested = {outer.left, outer.top,
                          outer.left + MulDiv(outer.right - outer.left, dpi, old_dpi),
                          outer.top + MulDiv(outer.bottom - outer.top, dpi, old_dpi)};
  std::printf("suggested %ld %ld %ld %ld\n", suggested.left, suggested.top, suggested.right,
              suggested.bottom);
  std::fflush(stdout);
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process_id);
  if (process == nullptr) return 1;
  void* remote = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
  int status = 1;
  if (remote != nullptr &&
      WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr)) {
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                            reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 20000, &ignored)) {
      status = 0;
    }
  }
  if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return status;
}

// The text of the message box captioned CAPTION, once it shows; then presses its OK button.
int Message(const wchar_t* caption) {
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindWindowW(L"#32770", caption)) != nullptr; })) {
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
  std::printf("%s\n", Narrow(text).c_str());
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
  BecomeDpiAware();
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"window" && (argc == 3 || argc == 4)) {
    return Window(argv[2], argc == 4 ? HandleFrom(argv[3]) : nullptr);
  }
  if (mode == L"describe" && argc == 3) return Describe(HandleFrom(argv[2]));
  if (mode == L"focus" && argc == 4) return Focus(HandleFrom(argv[2]), _wtoi(argv[3]));
  if (mode == L"foreground" && argc == 3) return Foreground(HandleFrom(argv[2]));
  if (mode == L"close" && argc == 4) return Close(argv[2], HandleFrom(argv[3]));
  if (mode == L"move" && argc == 5)
    return Move(HandleFrom(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]));
  if (mode == L"endsession" && argc == 4)
    return EndSession(HandleFrom(argv[2]), _wtoi(argv[3]) != 0);
  if (mode == L"quit" && argc == 3) return Quit(HandleFrom(argv[2]));
  if (mode == L"dpichanged" && argc == 4) return DpiChanged(HandleFrom(argv[2]), _wtoi(argv[3]));
  if (mode == L"message" && argc == 3) return Message(argv[2]);
  if (mode == L"watch" && argc == 5) return Watch(argv[2], argv[3], _wtoi(argv[4]));
  std::fprintf(stderr,
               "usage: window_probe window CAPTION [OTHER] | describe HWND | focus HWND N |\n"
               "  foreground HWND | close CAPTION HWND | move HWND X Y |\n"
               "  endsession HWND ENDING | quit HWND | dpichanged HWND DPI | message CAPTION |\n"
               "  watch FOLDER LOG COUNT\n");
  return 2;
}
