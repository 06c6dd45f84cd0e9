// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_dialogs.h"

#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace kavo {

namespace {

QString titleOrDefault(const std::string& title) {
  return QString::fromStdString(title.empty() ? kApplicationTitle : title);
}

// A message box with the text shown as it is: messages name files, whose
// names must not be read as markup.
void setPlainMessage(QMessageBox& box, QMessageBox::Icon icon, const std::string& title,
                     const std::string& text) {
  box.setIcon(icon);
  box.setWindowTitle(titleOrDefault(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
}

// A second text beneath the first, shown as it is, as the first is.
void setPlainDetail(QMessageBox& box, const std::string& detail) {
  if (detail.empty()) return;
  box.setInformativeText(QString::fromStdString(detail));
  if (auto* label = box.findChild<QLabel*>("qt_msgbox_informativelabel"))
    label->setTextFormat(Qt::PlainText);
}

}  // namespace

std::string QtDialogs::inputBox(const std::string& prompt, const std::string& title,
                                const std::string& proposed) {
  QInputDialog dialog(parent_);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(titleOrDefault(title));
  dialog.setLabelText(QString::fromStdString(prompt));
  // The proposal is a path, whose bytes need not be UTF-8: it is shown as
  // file names are, and taken back as its own bytes when left as it was.
  const QString shown = QFile::decodeName(QByteArray::fromStdString(proposed));
  dialog.setTextValue(shown);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QString answer = dialog.textValue();
  if (answer == shown) return proposed;
  return QFile::encodeName(answer).toStdString();
}

void QtDialogs::messageBox(const std::string& text, const std::string& title) {
  QMessageBox box(parent_);
  setPlainMessage(box, QMessageBox::NoIcon, title, text);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

void QtDialogs::errorMessage(const std::string& text, const std::string& nextStep) {
  QMessageBox box(parent_);
  setPlainMessage(box, QMessageBox::Warning, {}, text);
  setPlainDetail(box, nextStep);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool QtDialogs::completion(const std::string& text, const std::string& detail, bool offerEject) {
  QMessageBox box(parent_);
  setPlainMessage(box, QMessageBox::NoIcon, {}, text);
  setPlainDetail(box, detail);
  box.setStandardButtons(QMessageBox::Ok);
  // Enter, Escape and closing the box are OK: ejecting is asked for only by
  // its button.
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  QPushButton* eject = nullptr;
  if (offerEject) {
    eject = box.addButton("Eject", QMessageBox::ActionRole);
    eject->setObjectName("eject");
  }
  box.exec();
  return eject && box.clickedButton() == eject;
}

bool QtDialogs::question(const std::string& text, const std::string& title) {
  QMessageBox box(parent_);
  setPlainMessage(box, QMessageBox::Question, title, text);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace kavo
