// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace kavo {

// The title a message box shows when it is given none.
inline constexpr const char* kApplicationTitle = "SimpleKAVO";

// The modal dialogs the program shows. Texts are UTF-8.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A text-input dialog with the proposed answer filled in. Returns the text
  // as edited, or empty text when the user cancels. The proposal and the
  // answer are paths, whose bytes need not be UTF-8: an answer left as it was
  // proposed comes back with the proposal's own bytes.
  virtual std::string inputBox(const std::string& prompt, const std::string& title,
                               const std::string& proposed) = 0;

  // A message with a single OK button and no icon; an empty title shows the
  // application's title.
  virtual void messageBox(const std::string& text, const std::string& title = {}) = 0;

  // A run-time error's message: `text` with a warning icon, `nextStep`
  // beneath it when there is one, and an OK button; the application's title.
  virtual void errorMessage(const std::string& text, const std::string& nextStep) = 0;

  // The message that ends a completed export: `text`, `detail` beneath it, an
  // OK button and, when `offerEject`, an Eject button beside it; the
  // application's title. Returns whether Eject was pressed.
  virtual bool completion(const std::string& text, const std::string& detail, bool offerEject) = 0;

  // A question with Yes and No buttons, No the default (Enter and Escape
  // both answer No, so that nothing is replaced by a key pressed in haste).
  // Returns whether the user answered Yes.
  virtual bool question(const std::string& text, const std::string& title) = 0;
};

}  // namespace kavo
