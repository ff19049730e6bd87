// SPDX-License-Identifier: MIT
// The selector window in Qt Widgets: the controls of Form1Controls at their places, and the view
// requests of Form1 turned into widget calls. It decides nothing: a press of Save goes to the
// handler given to OnSave, and Form1 says what to select, disable, show and when to end.
#pragma once

#include <QButtonGroup>
#include <QPushButton>
#include <QWidget>

#include <functional>

#include "form1.h"

class QKeyEvent;
class QRadioButton;

class Form1Window final : public QWidget, public Form1View {
 public:
  Form1Window();

  // Runs `handler` when Save is pressed (a click, Space on the button, or Enter anywhere).
  void OnSave(std::function<void()> handler);

  void Select(LineChoice choice) override;
  void AllowOther(bool allowed) override;
  LineChoice Selected() const override;
  void DisableSave() override;
  void ShowMessage(const Message& message) override;
  void EndProgram(int exit_code) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QRadioButton* RadioFor(LineChoice choice) const;

  QButtonGroup choices_;
  QPushButton* save_ = nullptr;
};
