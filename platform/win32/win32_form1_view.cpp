// SPDX-License-Identifier: MIT
#include "win32_form1_view.h"

#include <commctrl.h>

#include <utility>

#include "resource_ids.h"
#include "win32_text.h"

namespace {

constexpr wchar_t WindowClassName[] = L"LineSelectorForm1";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD WindowExStyle = 0;
constexpr int FirstControlId = 100;

int ControlId(size_t index) {
  return FirstControlId + static_cast<int>(index);
}

size_t SaveIndex() {
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    if (!Form1Controls[i].choice) return i;
  }
  return Form1Controls.size();
}

HFONT MessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi) &&
      !::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    return nullptr;
  }
  return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace

Win32Form1View::Win32Form1View(HINSTANCE instance) : instance_(instance) {}

Win32Form1View::~Win32Form1View() {
  if (window_) ::DestroyWindow(window_);
  if (font_) ::DeleteObject(font_);
}

bool Win32Form1View::Create() {
  // Loads Common Controls 6, which the manifest asks for: themed buttons.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &Win32Form1View::WindowProc;
  window_class.hInstance = instance_;
  window_class.hIcon = static_cast<HICON>(::LoadImageW(
      instance_, MAKEINTRESOURCEW(LINESEL_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(LINESEL_ICON), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = WindowClassName;
  if (!::RegisterClassExW(&window_class)) return false;

  const std::wstring caption = Widen(WindowCaption());
  window_ =
      ::CreateWindowExW(WindowExStyle, WindowClassName, caption.c_str(), WindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance_, this);
  if (!window_) return false;

  // Created in the table's order, which is the tab order. One group: WS_GROUP on the first radio
  // button only; the push button inside it is skipped when a radio button clears its siblings.
  bool first_radio = true;
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    const ControlSpec& control = Form1Controls[i];
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    if (control.choice) {
      style |= BS_AUTORADIOBUTTON | (first_radio ? WS_GROUP : 0);
      first_radio = false;
    } else {
      style |= BS_DEFPUSHBUTTON;
    }
    const std::wstring text = Widen(control.caption);
    controls_[i] = ::CreateWindowExW(0, L"BUTTON", text.c_str(), style, 0, 0, 0, 0, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(i))),
                                     instance_, nullptr);
    if (!controls_[i]) return false;
  }
  Layout(::GetDpiForWindow(window_), nullptr);
  return true;
}

void Win32Form1View::Show(int show_command) {
  ::ShowWindow(window_, show_command);
  ::UpdateWindow(window_);
  HWND focus = SaveButton();
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    if (Form1Controls[i].choice && ::SendMessageW(controls_[i], BM_GETCHECK, 0, 0) == BST_CHECKED) {
      focus = controls_[i];
    }
  }
  ::SetFocus(focus);
}

int Win32Form1View::RunMessageLoop() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window_ && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void Win32Form1View::Select(LineChoice choice) {
  // BM_SETCHECK raises no BN_CLICKED.
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    if (!Form1Controls[i].choice) continue;
    const bool on = *Form1Controls[i].choice == choice;
    ::SendMessageW(controls_[i], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void Win32Form1View::AllowOther(bool allowed) {
  ::EnableWindow(Control(LineChoice::Other), allowed);
}

LineChoice Win32Form1View::Selected() const {
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    if (Form1Controls[i].choice && ::SendMessageW(controls_[i], BM_GETCHECK, 0, 0) == BST_CHECKED) {
      return *Form1Controls[i].choice;
    }
  }
  // The load selects one; should none be checked, the choice that changes nothing.
  return LineChoice::Other;
}

void Win32Form1View::DisableSave() {
  ::EnableWindow(SaveButton(), FALSE);
}

void Win32Form1View::ShowMessage(const Message& message) {
  const std::wstring title = Widen(message.title);
  const std::wstring text = Widen(message.text);
  ::MessageBoxW(window_, text.c_str(), title.c_str(), MB_OK);
}

void Win32Form1View::EndProgram(int exit_code) {
  exit_code_ = exit_code;
  ::DestroyWindow(window_);
}

LRESULT CALLBACK Win32Form1View::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* view = static_cast<Win32Form1View*>(create->lpCreateParams);
    view->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  auto* view = reinterpret_cast<Win32Form1View*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!view) return ::DefWindowProcW(window, message, wparam, lparam);
  return view->HandleMessage(message, wparam, lparam);
}

LRESULT Win32Form1View::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == ControlId(SaveIndex()) && HIWORD(wparam) == BN_CLICKED &&
          ::IsWindowEnabled(SaveButton()) && on_save_) {
        on_save_();
      }
      return 0;
    case DM_GETDEFID:
      // Enter presses Save while it is enabled.
      if (!::IsWindowEnabled(SaveButton())) return 0;
      return MAKELRESULT(ControlId(SaveIndex()), DC_HASDEFID);
    case WM_DPICHANGED:
      Layout(LOWORD(wparam), reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(exit_code_);
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wparam, lparam);
}

void Win32Form1View::Layout(UINT dpi, const RECT* suggested) {
  const int pixels_per_inch = static_cast<int>(dpi);
  const auto px = [&](int twips) { return TwipsToPixels(twips, pixels_per_inch); };

  HFONT font = MessageFont(dpi);
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    const ControlSpec& control = Form1Controls[i];
    ::SetWindowPos(controls_[i], nullptr, px(control.left), px(control.top), px(control.width),
                   px(control.height), SWP_NOZORDER | SWP_NOACTIVATE);
    if (font) ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font) {
    if (font_) ::DeleteObject(font_);
    font_ = font;
  }

  // The icons at this dpi's sizes; shared, so Windows frees them.
  SetIcon(ICON_BIG, ::GetSystemMetricsForDpi(SM_CXICON, dpi));
  SetIcon(ICON_SMALL, ::GetSystemMetricsForDpi(SM_CXSMICON, dpi));

  RECT frame{0, 0, px(ClientWidthTwips), px(ClientHeightTwips)};
  ::AdjustWindowRectExForDpi(&frame, WindowStyle, FALSE, WindowExStyle, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int x = 0;
  int y = 0;
  if (suggested) {
    x = suggested->left;
    y = suggested->top;
  } else {
    // Centred on the monitor's work area.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    x = area.left + (area.right - area.left - width) / 2;
    y = area.top + (area.bottom - area.top - height) / 2;
  }
  ::SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form1View::SetIcon(WPARAM which, int size) {
  HANDLE icon =
      ::LoadImageW(instance_, MAKEINTRESOURCEW(LINESEL_ICON), IMAGE_ICON, size, size, LR_SHARED);
  if (icon) ::SendMessageW(window_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}

HWND Win32Form1View::Control(LineChoice choice) const {
  for (size_t i = 0; i < Form1Controls.size(); ++i) {
    if (Form1Controls[i].choice == choice) return controls_[i];
  }
  return nullptr;
}

HWND Win32Form1View::SaveButton() const {
  return controls_[SaveIndex()];
}
