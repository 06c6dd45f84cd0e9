#include "platform/qt_dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace kavo {

namespace {

QString titleOrDefault(const std::string& title) {
  return QString::fromStdString(title.empty() ? kApplicationTitle : title);
}

}  // namespace

std::string QtDialogs::inputBox(const std::string& prompt,
                                const std::string& title,
                                const std::string& proposed) {
  QInputDialog dialog(parent_);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(titleOrDefault(title));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setTextValue(QString::fromStdString(proposed));
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.textValue().toStdString();
}

void QtDialogs::messageBox(const std::string& text, const std::string& title) {
  QMessageBox box(parent_);
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(titleOrDefault(title));
  box.setText(QString::fromStdString(text));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace kavo
