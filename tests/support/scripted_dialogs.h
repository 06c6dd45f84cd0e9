// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/services/dialogs.h"
#include "platform/services/program_end.h"

namespace kavo::testing {

// Answers input boxes from a script and records every dialog shown.
class ScriptedDialogs final : public Dialogs {
 public:
  struct Prompt {
    std::string prompt, title, proposed;
  };
  // A message, an error or a completion. Kind::Message has no detail.
  struct Message {
    enum class Kind { Message, Error, Completion };
    std::string text, title;
    Kind kind = Kind::Message;
    std::string detail = {};  // an error's next step, a completion's second line
    bool offerEject = false;  // a completion's Eject button
  };

  // The answers, in order; "" stands for Cancel.
  std::deque<std::string> answers;
  std::vector<Prompt> prompts;
  std::vector<Message> messages;

  std::string inputBox(const std::string& prompt, const std::string& title,
                       const std::string& proposed) override {
    prompts.push_back({prompt, title, proposed});
    if (answers.empty()) throw std::logic_error("no scripted answer left");
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
  }

  void messageBox(const std::string& text, const std::string& title) override {
    messages.push_back({text, title});
  }

  void errorMessage(const std::string& text, const std::string& nextStep) override {
    messages.push_back({text, {}, Message::Kind::Error, nextStep});
  }

  // Whether Eject is pressed in each completion that offers it, in order;
  // OK when none is left.
  std::deque<bool> ejects;
  bool completion(const std::string& text, const std::string& detail, bool offerEject) override {
    messages.push_back({text, {}, Message::Kind::Completion, detail, offerEject});
    if (!offerEject || ejects.empty()) return false;
    const bool eject = ejects.front();
    ejects.pop_front();
    return eject;
  }

  // The answers to questions, in order; each question is also recorded.
  std::deque<bool> replies;
  std::vector<Message> questions;
  bool question(const std::string& text, const std::string& title) override {
    questions.push_back({text, title});
    if (replies.empty()) throw std::logic_error("no scripted reply left");
    const bool reply = replies.front();
    replies.pop_front();
    return reply;
  }
};

// Counts how often the program was told to end, and with which status.
class RecordingProgramEnd final : public ProgramEnd {
 public:
  int ends = 0;
  int lastStatus = -1;
  void end(int exitStatus) override {
    ++ends;
    lastStatus = exitStatus;
  }
};

}  // namespace kavo::testing
