// SPDX-License-Identifier: MIT
#include "form1_window.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSignalBlocker>

#include "message_box.h"

namespace {

// Form1Controls are laid out for 96 dpi; Qt scales these logical pixels on high-dpi screens.
constexpr int LayoutDpi = 96;

int Pixels(int twips) {
  return TwipsToPixels(twips, LayoutDpi);
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Form1Window::Form1Window() {
  setWindowTitle(QString::fromStdString(WindowCaption()));
  // A fixed-size window with a minimise and a close button, and no maximise button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(Pixels(ClientWidthTwips), Pixels(ClientHeightTwips));

  // Created in the table's order, which is the tab order.
  for (const ControlSpec& control : Form1Controls) {
    QAbstractButton* button = nullptr;
    if (control.choice) {
      auto* radio = new QRadioButton(FromUtf8(control.caption), this);
      choices_.addButton(radio, static_cast<int>(*control.choice));
      button = radio;
    } else {
      save_ = new QPushButton(FromUtf8(control.caption), this);
      save_->setDefault(true);
      button = save_;
    }
    button->setObjectName(FromUtf8(control.name));
    button->setGeometry(Pixels(control.left), Pixels(control.top), Pixels(control.width),
                        Pixels(control.height));
  }
  choices_.setExclusive(true);
}

void Form1Window::OnSave(std::function<void()> handler) {
  connect(save_, &QPushButton::clicked, this, [handler = std::move(handler)] { handler(); });
}

void Form1Window::Select(LineChoice choice) {
  const QSignalBlocker block_group(&choices_);
  QRadioButton* radio = RadioFor(choice);
  const QSignalBlocker block_button(radio);
  radio->setChecked(true);
}

void Form1Window::AllowOther(bool allowed) {
  RadioFor(LineChoice::Other)->setEnabled(allowed);
}

LineChoice Form1Window::Selected() const {
  const int id = choices_.checkedId();
  // Nothing selected cannot follow a load; should it ever, choosing Other saves nothing.
  if (id < 0) return LineChoice::Other;
  return static_cast<LineChoice>(id);
}

void Form1Window::DisableSave() {
  save_->setEnabled(false);
}

void Form1Window::ShowMessage(const Message& message) {
  ShowMessageBox(this, message.title, message.text);
}

void Form1Window::EndProgram(int exit_code) {
  // Called from Save's click handler inside the event loop: the loop ends as soon as the handler
  // returns, and main() returns this code.
  QCoreApplication::exit(exit_code);
}

void Form1Window::keyPressEvent(QKeyEvent* event) {
  // Save is the default button: Enter saves wherever the focus is.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && save_->isEnabled()) {
    save_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

QRadioButton* Form1Window::RadioFor(LineChoice choice) const {
  return static_cast<QRadioButton*>(choices_.button(static_cast<int>(choice)));
}
