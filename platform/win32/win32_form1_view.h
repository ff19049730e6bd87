// SPDX-License-Identifier: MIT
// Form1 over real Win32 controls: a fixed-size top-level window with five auto radio buttons in
// one group and a default push button, laid out from the twips table at the window's dpi and
// captioned in the system's message font. Keyboard navigation goes through IsDialogMessageW, so
// Tab follows the table's order and Enter presses Save. The view decides nothing: Save is handed
// to the handler given to OnSave, and Form1's requests become Win32 calls.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "form1.h"

class Win32Form1View final : public Form1View {
 public:
  explicit Win32Form1View(HINSTANCE instance);
  ~Win32Form1View() override;
  Win32Form1View(const Win32Form1View&) = delete;
  Win32Form1View& operator=(const Win32Form1View&) = delete;

  // Creates the window and its controls, hidden. False when Windows refuses.
  bool Create();
  void OnSave(std::function<void()> handler) { on_save_ = std::move(handler); }
  void Show(int show_command);
  // Runs the event loop until the program ends; gives the exit code.
  int RunMessageLoop();
  HWND Window() const { return window_; }

  void Select(LineChoice choice) override;
  void AllowOther(bool allowed) override;
  LineChoice Selected() const override;
  void DisableSave() override;
  void ShowMessage(const Message& message) override;
  void EndProgram(int exit_code) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void Layout(UINT dpi, const RECT* suggested);
  void SetIcon(WPARAM which, int size);
  HWND Control(LineChoice choice) const;
  HWND SaveButton() const;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  std::array<HWND, Form1Controls.size()> controls_{};
  std::function<void()> on_save_;
  int exit_code_ = 0;
};
