// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/services/dialogs.h"

class QWidget;

namespace kavo {

// The dialogs as Qt shows them: QInputDialog for the input box, QMessageBox
// with a single OK button and no icon for messages, with a warning icon for
// errors, with OK and an Eject button (objectName "eject") for a completion,
// and with Yes and No for questions.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  std::string inputBox(const std::string& prompt, const std::string& title,
                       const std::string& proposed) override;
  void messageBox(const std::string& text, const std::string& title) override;
  void errorMessage(const std::string& text, const std::string& nextStep) override;
  bool completion(const std::string& text, const std::string& detail, bool offerEject) override;
  bool question(const std::string& text, const std::string& title) override;

 private:
  QWidget* parent_;
};

}  // namespace kavo
