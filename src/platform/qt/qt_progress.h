// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/services/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kavo {

// How long a task that has done `done` of `total` units in `elapsed` still
// needs at its rate so far; nothing until that can be told (two seconds in,
// a hundredth done) or when there is no total.
std::optional<std::chrono::seconds> timeLeft(std::chrono::steady_clock::duration elapsed,
                                             std::size_t done, std::size_t total);

// "About 3 minutes left", "A few seconds left".
QString timeLeftText(std::chrono::seconds left);

// A modal window with what is being done, on what, a bar, the time left
// once it can be told, and a Cancel button (objectName "cancel"). Cancel,
// Escape and closing the window all ask the task to stop, once: the window
// stays, showing how the task takes back what it did, and goes when the task
// is over. A task that cannot be stopped shows no Cancel and cannot be
// closed.
class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  ProgressDialog(const QString& title, bool cancellable, QWidget* parent);

  // Shows the step (and the dialog, if it is hidden). A total of 0 is a
  // step of unknown length: the bar only shows that work goes on.
  void showStep(const QString& text, const QString& detail, std::size_t done, std::size_t total,
                const QString& timeLeft);
  QString text() const;
  QString detail() const;
  QString timeLeftShown() const;
  // The bar, in per mille; -1 while it shows a step of unknown length.
  int barValue() const;
  // How many times a step has been shown.
  std::size_t stepsShown() const { return stepsShown_; }

  void reject() override;  // Escape

 signals:
  // Cancel was asked for (raised once).
  void cancelled();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void cancel();

  QLabel* text_;
  QLabel* detail_;
  QProgressBar* bar_;
  QLabel* timeLeft_;
  QPushButton* cancel_;
  bool cancellable_;
  std::size_t stepsShown_ = 0;
};

// Runs a long task off the event loop's thread and shows its progress.
// The task's steps are only noted, at no cost to it; a timer on the event
// loop's thread shows the latest one at a human rate, never once per step.
// A task over within `delay` of its first step shows nothing. After that a
// ProgressDialog appears over `parent`, and the window goes on painting
// while the dialog keeps user input from the rest of the program. Its Cancel
// asks the task to stop through the interruption service (requestStop), as
// Ctrl-C does on the command line; the task stops at its next check and
// throws, and that stop is forgotten once run() returns.
class QtProgress final : public Progress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `clock` tells the time the delay and the time left are measured by;
  // `refresh` is how often the dialog shows the latest step.
  explicit QtProgress(QWidget* parent, const QString& title,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(500),
                      Clock clock = &std::chrono::steady_clock::now,
                      std::chrono::milliseconds refresh = std::chrono::milliseconds(50));
  ~QtProgress() override;

  // Whether the dialog offers Cancel (it does unless told).
  void setCancellable(bool cancellable) { cancellable_ = cancellable; }

  // Runs `task` on a thread of its own and returns when it is over; its
  // exception is thrown here. Call on the event loop's thread. The task
  // reports its steps to this object. User input meanwhile goes to the
  // dialog alone, and is dropped elsewhere.
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
  bool cancellable_ = true;
  std::mutex mutex_;
  State state_;                     // under mutex_
  std::uint64_t shownVersion_ = 0;  // event loop's thread only
  std::unique_ptr<ProgressDialog> dialog_;
};

}  // namespace kavo
