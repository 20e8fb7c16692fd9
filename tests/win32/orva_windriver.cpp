// Drives ORVA's windows from outside, for the window tests under Wine: waits for a window by
// its title, lists its controls' texts, presses a button, closes the window as its close box
// does. Exit status 0 when done, 1 on a time-out or a missing window or control, 2 on bad use.
//   orva-windriver wait TITLE SECONDS      a visible top-level window whose title contains TITLE
//   orva-windriver texts TITLE             each child control's text, one per line
//   orva-windriver click TITLE LABEL       presses the button labelled LABEL
//   orva-windriver key TITLE VK            a press of the virtual key VK (a number) in the window
//   orva-windriver close TITLE             WM_CLOSE, as the operator's close box sends
//   orva-windriver gone TITLE SECONDS      waits until no such window is left
//   orva-windriver taskbar TITLE           0 when the window has a button on the taskbar
//   orva-windriver status EXE SECONDS      waits for a process of that file name (orva.exe) to
//                                          start and end; exits with its exit status (98 when
//                                          none started or it did not end in time)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h: the process list.
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring wide(const char* s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  return w;
}

std::string utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring textOf(HWND h) {
  wchar_t buf[1024] = {};
  // WM_GETTEXT reaches controls of another process, where GetWindowText does not.
  SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  return buf;
}

struct Search {
  std::wstring title;
  HWND found = nullptr;
};

HWND findWindow(const std::wstring& title) {
  Search s{title};
  EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (IsWindowVisible(h) && textOf(h).find(s->title) != std::wstring::npos) {
          s->found = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// A running process whose file name is exe (any letter case), opened to wait for it; null when
// there is none.
HANDLE openProcess(const std::wstring& exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  HANDLE found = nullptr;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && found == nullptr;
       more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, exe.c_str()) == 0) {
      found =
          OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return found;
}

// Polls until the condition holds or the deadline passes.
template <typename F>
bool waitFor(double seconds, F&& condition) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(
        stderr,
        "usage: orva-windriver wait|texts|click|key|close|gone|taskbar|status TITLE [ARG]\n");
    return 2;
  }
  const std::string command = argv[1];
  const std::wstring title = wide(argv[2]);
  const double seconds = argc > 3 ? std::atof(argv[3]) : 10;
  if (command == "wait") {
    return waitFor(seconds, [&] { return findWindow(title) != nullptr; }) ? 0 : 1;
  }
  if (command == "gone") {
    return waitFor(seconds, [&] { return findWindow(title) == nullptr; }) ? 0 : 1;
  }
  if (command == "status") {
    // The exit status of a program the shell started (a Start-menu shortcut), which is no
    // child of the caller: found by its file name, then waited for.
    HANDLE process = nullptr;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    waitFor(seconds, [&] {
      process = openProcess(title);
      return process != nullptr;
    });
    if (process == nullptr) {
      std::fprintf(stderr, "no process %s\n", argv[2]);
      return 98;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    DWORD code = 98;
    if (WaitForSingleObject(process, static_cast<DWORD>(std::max<long long>(left.count(), 0))) !=
            WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code)) {
      std::fprintf(stderr, "%s did not end in time\n", argv[2]);
      code = 98;
    }
    CloseHandle(process);
    return static_cast<int>(code);
  }
  HWND w = findWindow(title);
  if (w == nullptr) {
    std::fprintf(stderr, "no window titled %s\n", argv[2]);
    return 1;
  }
  if (command == "texts") {
    for (HWND c : children(w)) {
      std::printf("%s\n", utf8(textOf(c)).c_str());
    }
    return 0;
  }
  if (command == "taskbar") {
    // The shell's rule: a window with the app-window style, or one that has no owner and is
    // no tool window.
    const auto ex = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE));
    const bool button = (ex & WS_EX_APPWINDOW) != 0 ||
                        (GetWindow(w, GW_OWNER) == nullptr && (ex & WS_EX_TOOLWINDOW) == 0);
    return button ? 0 : 1;
  }
  if (command == "close") {
    return PostMessageW(w, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (command == "key" && argc > 3) {
    // As the keyboard delivers it to the focused window: down, then up.
    const auto vk = static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0));
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    return PostMessageW(w, WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16))) &&
                   PostMessageW(w, WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)))
               ? 0
               : 1;
  }
  if (command == "click" && argc > 3) {
    const std::wstring label = wide(argv[3]);
    for (HWND c : children(w)) {
      if (textOf(c) == label) {
        // As a press of the button: the owner gets BN_CLICKED from the button itself.
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED),
                     reinterpret_cast<LPARAM>(c));
        return 0;
      }
    }
    std::fprintf(stderr, "no control labelled %s\n", argv[3]);
    return 1;
  }
  std::fprintf(stderr, "unknown command %s\n", argv[1]);
  return 2;
}
