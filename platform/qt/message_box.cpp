// SPDX-License-Identifier: MIT
#include "message_box.h"

#include <QMessageBox>
#include <QString>

#include "form1.h"

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void ShowMessageBox(QWidget* parent, std::string_view title, std::string_view text) {
  QMessageBox box(parent);
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(FromUtf8(title));
  // A path or a system text is shown as written, never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(FromUtf8(text));
  // The user may select the text, e.g. to copy an error number.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.setStandardButtons(QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void ShowStartupError(const OsError& error) {
  const StartupError box = DescribeStartupError(error);
  ShowMessageBox(nullptr, box.title, box.text);
}
