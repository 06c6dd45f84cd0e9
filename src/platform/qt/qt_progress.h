// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/services/progress.h"

class QLabel;
class QProgressBar;

namespace kavo {

// A modal window with what is being done, on what, and a bar. It has no
// Cancel button and cannot be closed by the user: stopping half-way would
// leave half a layout. It goes when the task finishes.
class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  ProgressDialog(const QString& title, QWidget* parent);

  // Shows the step (and the dialog, if it is hidden).
  void showStep(const QString& text, const QString& detail, std::size_t done, std::size_t total);
  QString text() const;
  QString detail() const;
  // How many times a step has been shown.
  std::size_t stepsShown() const { return stepsShown_; }

  void reject() override {}  // Escape does nothing

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* text_;
  QLabel* detail_;
  QProgressBar* bar_;
  std::size_t stepsShown_ = 0;
};

// Runs a long task off the event loop's thread and shows its progress.
// The task's steps are only noted, at no cost to it; a timer on the event
// loop's thread shows the latest one at a human rate, never once per step.
// A task over within `delay` of its first step shows nothing. After that a
// ProgressDialog appears over `parent`, and the window goes on painting
// while the dialog keeps user input from the rest of the program.
class QtProgress final : public Progress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `clock` tells the time the delay is measured by; `refresh` is how often
  // the dialog shows the latest step.
  explicit QtProgress(QWidget* parent, const QString& title,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(500),
                      Clock clock = &std::chrono::steady_clock::now,
                      std::chrono::milliseconds refresh = std::chrono::milliseconds(50));
  ~QtProgress() override;

  // Runs `task` on a thread of its own and returns when it is over; its
  // exception is thrown here. Call on the event loop's thread. The task
  // reports its steps to this object.
  void run(const std::function<void()>& task);

  // Called by the task, from its thread.
  void step(const std::string& text, const std::string& detail, std::size_t done,
            std::size_t total) override;
  void finish() override;

 private:
  struct State {
    std::string text, detail;
    std::size_t done = 0, total = 0;
    std::optional<std::chrono::steady_clock::time_point> started;
    bool finished = false;
    std::uint64_t version = 0;  // counts the steps, so a new one is seen
  };
  void refresh();

  QWidget* parent_;
  QString title_;
  std::chrono::milliseconds delay_;
  Clock clock_;
  std::chrono::milliseconds refresh_;
  std::mutex mutex_;
  State state_;                     // under mutex_
  std::uint64_t shownVersion_ = 0;  // event loop's thread only
  std::unique_ptr<ProgressDialog> dialog_;
};

}  // namespace kavo
