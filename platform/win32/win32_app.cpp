// SPDX-License-Identifier: MIT
#include "win32_app.h"

#include <string>

#include "form1.h"
#include "hosts_path.h"
#include "win32_form1_view.h"
#include "win32_hosts_store.h"
#include "win32_text.h"

namespace {

constexpr int CouldNotStart = 2;

void ShowStartupError(const OsError& error) {
  const StartupError box = DescribeStartupError(error);
  const std::wstring title = Widen(box.title);
  const std::wstring text = Widen(box.text);
  ::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int RunLineSelector(HINSTANCE instance, int show_command) {
  Win32HostsStore store(HostsPath());
  Win32Form1View view(instance);
  if (!view.Create()) {
    const std::wstring text = Widen(SystemMessage(::GetLastError()));
    ::MessageBoxW(nullptr, text.c_str(), L"错误", MB_OK | MB_ICONERROR);
    return CouldNotStart;
  }
  Form1 form(view, store);
  if (auto error = form.Form_Load()) {
    ShowStartupError(*error);
    return CouldNotStart;
  }
  view.OnSave([&form] { form.Command1_Click(); });
  view.Show(show_command);
  return view.RunMessageLoop();
}
