// SPDX-License-Identifier: MIT
#include "form1.h"

#include <variant>

#include "detect.h"
#include "rewrite.h"

std::string WindowCaption() {
  std::string caption(TargetHost);
  caption.append("线路选择器 2.0");
  return caption;
}

StartupError DescribeStartupError(const OsError& error) {
  StartupError box;
  box.title = "错误";
  box.text = "无法读取 hosts 文件：" + error.path + "\n错误 " + std::to_string(error.code) + "：" +
             error.text;
  return box;
}

std::optional<OsError> Form1::Form_Load() {
  auto detected = DetectCurrentChoice(store_);
  if (auto* error = std::get_if<OsError>(&detected)) return *error;
  auto& detection = std::get<Detection>(detected);
  current_address_ = std::move(detection.address);
  view_.AllowOther(detection.choice == LineChoice::Other);
  view_.Select(detection.choice);
  return std::nullopt;
}

void Form1::Command1_Click() {
  // A second press can still be queued behind the first; the button is off from here on.
  if (saving_) return;
  saving_ = true;
  view_.DisableSave();

  const LineChoice choice = view_.Selected();
  if (choice == LineChoice::Other) {
    // An address the program does not know: leave the file untouched.
    view_.ShowMessage(SuccessMessage);
    view_.EndProgram(0);
    return;
  }
  const SaveOutcome outcome = RewriteHosts(choice, store_);
  if (choice != LineChoice::Automatic) current_address_ = outcome.chosen_address;
  const bool saved = outcome.status == SaveStatus::Succeeded;
  view_.ShowMessage(saved ? SuccessMessage : FailureMessage);
  view_.EndProgram(saved ? 0 : 1);
}
