#pragma once

#include <QDialog>
#include <chrono>
#include <functional>
#include <memory>
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
  void showStep(const QString& text, const QString& detail, std::size_t done,
                std::size_t total);
  QString text() const;
  QString detail() const;

  void reject() override {}  // Escape does nothing

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* text_;
  QLabel* detail_;
  QProgressBar* bar_;
};

// Progress for a task run from the event loop's thread. A task over within
// `delay` of its first step shows nothing. After that a ProgressDialog appears over `parent`,
// and the events queued meanwhile (painting above all) are handled between
// steps, while the dialog keeps user input from the rest of the program.
// A step run through wait() runs on a thread of its own while the events go
// on being handled; the task waits for it all the same.
class QtProgress final : public Progress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `clock` tells the time the delay is measured by.
  explicit QtProgress(QWidget* parent, const QString& title,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(500),
                      Clock clock = &std::chrono::steady_clock::now);
  ~QtProgress() override;

  void step(const std::string& text, const std::string& detail,
            std::size_t done, std::size_t total) override;
  void wait(const std::function<void()>& work) override;
  void finish() override;

 private:
  void startClock();
  std::chrono::steady_clock::duration left() const;
  void appear();

  QWidget* parent_;
  QString title_;
  std::chrono::milliseconds delay_;
  Clock clock_;
  std::optional<std::chrono::steady_clock::time_point> started_;
  std::unique_ptr<ProgressDialog> dialog_;
  QString text_, detail_;
  std::size_t done_ = 0, total_ = 0;
};

}  // namespace kavo
