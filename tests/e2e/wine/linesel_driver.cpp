// SPDX-License-Identifier: MIT
// Drives linesel.exe under Wine as a person would and prints what it sees, one line per
// observation, UTF-8, for the test scripts to compare.
//
//   linesel_driver.exe PROGRAM STEP...
//
//   layout      the main window's caption, client size, dpi, frame and title-bar buttons, then
//               every control in z-order (= tab order): caption, client rectangle, kind, state
//   checked     the caption of the checked radio button
//   click:N     clicks control N (z-order, from 0) with the mouse
//   key:NAME    presses return, tab, space, up or down in the program's window
//   hold:MS     opens the hosts file without sharing; lets go after MS ms, 0 = at the end
//   message     waits for a message box: title, text, buttons, whether it has an icon, and how
//               many other windows of the program are visible; then clicks its first button
//   close       closes the main window from its system menu
//   pause:MS    prints "paused", then waits MS ms (for a screenshot)
//   exit        waits for the program to end and prints its exit code
//
//   linesel_driver.exe --resources FILE   the version record, manifest and icon sizes of FILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr DWORD TimeoutMs = 20000;
constexpr DWORD PollMs = 50;

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

void Print(const std::string& line) {
  const std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
            nullptr);
}

[[noreturn]] void Fail(const std::string& what) {
  Print("error: " + what);
  std::exit(3);
}

std::wstring Text(HWND window) {
  wchar_t buffer[1024];
  const int length = GetWindowTextW(window, buffer, 1024);
  return std::wstring(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256];
  const int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

std::string Quoted(HWND window) {
  return "\"" + Utf8(Text(window)) + "\"";
}

struct Program {
  PROCESS_INFORMATION process{};
};

std::vector<HWND> VisibleWindows(DWORD pid, bool dialogs) {
  struct Search {
    DWORD pid;
    bool dialogs;
    std::vector<HWND> found;
  } search{pid, dialogs, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s.pid && IsWindowVisible(window) &&
            (ClassOf(window) == L"#32770") == s.dialogs) {
          s.found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitFor(DWORD pid, bool dialog) {
  for (DWORD waited = 0; waited < TimeoutMs; waited += PollMs) {
    const auto found = VisibleWindows(pid, dialog);
    if (!found.empty()) return found.front();
    Sleep(PollMs);
  }
  Fail(dialog ? "no message box" : "no window");
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    out.push_back(child);
  }
  return out;
}

std::string Kind(HWND control) {
  const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
  switch (style & BS_TYPEMASK) {
    case BS_AUTORADIOBUTTON:
      return "autoradio";
    case BS_RADIOBUTTON:
      return "radio";
    case BS_DEFPUSHBUTTON:
      return "defpush";
    case BS_PUSHBUTTON:
      return "push";
    default:
      return "other";
  }
}

std::string Flag(const char* name, bool on) {
  return std::string(" ") + name + "=" + (on ? "1" : "0");
}

void Layout(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  RECT frame{};
  GetWindowRect(window, &frame);
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  Print("window " + Quoted(window) + " client=" + std::to_string(client.right) + "x" +
        std::to_string(client.bottom) + " dpi=" + std::to_string(GetDpiForWindow(window)) +
        Flag("sizable", style & WS_THICKFRAME) + Flag("maximize", style & WS_MAXIMIZEBOX) +
        Flag("minimize", style & WS_MINIMIZEBOX) + " frame=" + std::to_string(frame.left) + "," +
        std::to_string(frame.top) + "," + std::to_string(frame.right - frame.left) + "," +
        std::to_string(frame.bottom - frame.top));
  int index = 0;
  for (HWND control : Children(window)) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    const auto style_bits = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    const std::string kind = Kind(control);
    std::string line = "control " + std::to_string(index++) + " " + Quoted(control) + " " +
                       std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                       std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                       " " + kind + Flag("group", style_bits & WS_GROUP) +
                       Flag("tabstop", style_bits & WS_TABSTOP) +
                       Flag("enabled", IsWindowEnabled(control));
    if (kind.ends_with("radio")) {
      line += Flag("checked", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
    }
    Print(line);
  }
}

void Checked(HWND window) {
  for (HWND control : Children(window)) {
    if (Kind(control).ends_with("radio") &&
        SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
      Print("checked " + Quoted(control));
      return;
    }
  }
  Print("checked none");
}

void Click(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  SetForegroundWindow(GetAncestor(control, GA_ROOT));
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Sleep(PollMs);
  INPUT input[2]{};
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].type = INPUT_MOUSE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
  Sleep(4 * PollMs);
}

void Key(HWND window, std::string_view name) {
  WORD key = 0;
  if (name == "return") key = VK_RETURN;
  if (name == "tab") key = VK_TAB;
  if (name == "space") key = VK_SPACE;
  if (name == "up") key = VK_UP;
  if (name == "down") key = VK_DOWN;
  if (key == 0) Fail("unknown key " + std::string(name));
  SetForegroundWindow(window);
  INPUT input[2]{};
  input[0].type = INPUT_KEYBOARD;
  input[0].ki.wVk = key;
  input[1].type = INPUT_KEYBOARD;
  input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  Sleep(4 * PollMs);
}

std::wstring HostsFile() {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  return std::wstring(directory, length) + L"\\drivers\\etc\\hosts";
}

void Hold(DWORD milliseconds) {
  HANDLE file = CreateFileW(HostsFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot hold the hosts file");
  Print("held");
  if (milliseconds == 0) return;  // released when the driver ends
  struct Release {
    HANDLE file;
    DWORD after;
  };
  auto* release = new Release{file, milliseconds};
  CreateThread(
      nullptr, 0,
      [](void* data) -> DWORD {
        auto* r = static_cast<Release*>(data);
        Sleep(r->after);
        CloseHandle(r->file);
        delete r;
        return 0;
      },
      release, 0, nullptr);
}

void MessageBoxStep(DWORD pid) {
  HWND box = WaitFor(pid, true);
  Sleep(4 * PollMs);
  std::string buttons;
  HWND first_button = nullptr;
  bool icon = false;
  for (HWND child : Children(box)) {
    if (!IsWindowVisible(child)) continue;
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    if (ClassOf(child) == L"Button") {
      if (!first_button) first_button = child;
      buttons += (buttons.empty() ? "" : ",") + Utf8(Text(child));
    } else if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
               SendMessageW(child, STM_GETICON, 0, 0) != 0) {
      icon = true;
    }
  }
  HWND text = GetDlgItem(box, 0xFFFF);
  Print("message " + Quoted(box) + " " + (text ? Quoted(text) : "\"\"") + " buttons=" + buttons +
        Flag("icon", icon) + " others=" + std::to_string(VisibleWindows(pid, false).size()));
  if (!first_button) Fail("message box without a button");
  Click(first_button);
}

void Resources(const wchar_t* file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
  if (size == 0) Fail("no version record");
  std::vector<char> data(size);
  GetFileVersionInfoW(file, 0, size, data.data());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length);
  const auto version = [](DWORD ms, DWORD ls) {
    return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
           std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
  };
  Print("fixed file=" + version(fixed->dwFileVersionMS, fixed->dwFileVersionLS) +
        " product=" + version(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
  WORD* translation = nullptr;
  VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                 &length);
  char block[16];
  std::snprintf(block, sizeof(block), "%04x%04x", translation[0], translation[1]);
  Print(std::string("translation ") + block);
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"CompanyName", L"ProductName"}) {
    const std::wstring query =
        L"\\StringFileInfo\\" + std::wstring(block, block + 8) + L"\\" + name;
    wchar_t* value = nullptr;
    if (VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
      Print("string " + Utf8(name) + "=\"" + Utf8(value) + "\"");
    }
  }

  HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) Fail("cannot load resources");
  if (HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
    const std::string_view xml(text, SizeofResource(module, manifest));
    for (std::string_view needle : {"level=\"asInvoker\"", "Microsoft.Windows.Common-Controls",
                                    "PerMonitorV2", "processorArchitecture=\"amd64\""}) {
      Print(std::string("manifest ") + std::string(needle) +
            (xml.find(needle) != std::string_view::npos ? " yes" : " no"));
    }
  } else {
    Print("manifest none");
  }
  // The first icon group: the application icon.
  HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  if (!group) Fail("no icon group 1");
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
  for (WORD i = 0; i < count; ++i) {
    const BYTE* entry = bytes + 6 + 14 * i;  // GRPICONDIRENTRY
    const WORD bits = *reinterpret_cast<const WORD*>(entry + 6);
    Print("icon " + std::to_string(entry[0]) + "x" + std::to_string(entry[1]) + " " +
          std::to_string(bits) + "bpp");
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring_view(argv[1]) == L"--resources") {
    Resources(argv[2]);
    return 0;
  }
  if (argc < 2) Fail("usage: linesel_driver PROGRAM STEP...");

  std::vector<std::string> steps;
  for (int i = 2; i < argc; ++i) steps.push_back(Utf8(argv[i]));

  // A hold must be in place before the program starts when it is the first step.
  size_t next = 0;
  while (next < steps.size() && steps[next].starts_with("hold:")) {
    Hold(static_cast<DWORD>(std::stoul(steps[next].substr(5))));
    ++next;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  Program program;
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &program.process)) {
    Fail("cannot start the program");
  }
  const DWORD pid = program.process.dwProcessId;
  WaitForInputIdle(program.process.hProcess, TimeoutMs);

  for (; next < steps.size(); ++next) {
    const std::string& step = steps[next];
    if (step == "layout") {
      Layout(WaitFor(pid, false));
    } else if (step == "checked") {
      Checked(WaitFor(pid, false));
    } else if (step.starts_with("click:")) {
      const auto controls = Children(WaitFor(pid, false));
      const size_t index = std::stoul(step.substr(6));
      if (index >= controls.size()) Fail("no control " + step.substr(6));
      Click(controls[index]);
    } else if (step.starts_with("key:")) {
      Key(WaitFor(pid, false), step.substr(4));
    } else if (step.starts_with("hold:")) {
      Hold(static_cast<DWORD>(std::stoul(step.substr(5))));
    } else if (step == "message") {
      MessageBoxStep(pid);
    } else if (step == "close") {
      PostMessageW(WaitFor(pid, false), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (step.starts_with("pause:")) {
      Print("paused");
      Sleep(static_cast<DWORD>(std::stoul(step.substr(6))));
    } else if (step == "exit") {
      if (WaitForSingleObject(program.process.hProcess, TimeoutMs) != WAIT_OBJECT_0) {
        Fail("the program did not end");
      }
      DWORD code = 0;
      GetExitCodeProcess(program.process.hProcess, &code);
      Print("exit " + std::to_string(code));
    } else {
      Fail("unknown step " + step);
    }
  }
  return 0;
}
