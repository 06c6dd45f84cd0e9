// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_progress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <future>
#include <thread>

namespace kavo {

ProgressDialog::ProgressDialog(const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      text_(new QLabel(this)),
      detail_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
  setObjectName("progress");
  setWindowTitle(title);
  setModal(true);
  detail_->setTextFormat(Qt::PlainText);
  detail_->setMinimumWidth(280);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(detail_);
  layout->addWidget(bar_);
  setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

void ProgressDialog::showStep(const QString& text, const QString& detail, std::size_t done,
                              std::size_t total) {
  text_->setText(text);
  // A long name is shortened in the middle, so both its start and its
  // extension stay readable.
  detail_->setText(detail_->fontMetrics().elidedText(detail, Qt::ElideMiddle, detail_->width()));
  detail_->setToolTip(detail);
  // The bar counts in per mille, so counts beyond int still fit.
  bar_->setRange(0, 1000);
  bar_->setValue(total == 0 ? 1000 : static_cast<int>(done * 1000.0 / total));
  ++stepsShown_;
  if (!isVisible()) QDialog::show();
}

QString ProgressDialog::text() const { return text_->text(); }
QString ProgressDialog::detail() const { return detail_->toolTip(); }

void ProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

QtProgress::QtProgress(QWidget* parent, const QString& title, std::chrono::milliseconds delay,
                       Clock clock, std::chrono::milliseconds refresh)
    : parent_(parent), title_(title), delay_(delay), clock_(std::move(clock)), refresh_(refresh) {}

QtProgress::~QtProgress() = default;

void QtProgress::step(const std::string& text, const std::string& detail, std::size_t done,
                      std::size_t total) {
  std::lock_guard lock(mutex_);
  // The task starts with its first step, not when this object was made.
  if (!state_.started) state_.started = clock_();
  state_.text = text;
  state_.detail = detail;
  state_.done = done;
  state_.total = total;
  ++state_.version;
}

void QtProgress::finish() {
  std::lock_guard lock(mutex_);
  state_.finished = true;
}

// Shows the latest step, once the delay has run out.
void QtProgress::refresh() {
  State now;
  {
    std::lock_guard lock(mutex_);
    if (state_.finished || !state_.started || state_.version == shownVersion_) return;
    if (clock_() - *state_.started < delay_) return;
    now = state_;
  }
  shownVersion_ = now.version;
  if (!dialog_) dialog_ = std::make_unique<ProgressDialog>(title_, parent_);
  dialog_->showStep(QString::fromStdString(now.text),
                    QString::fromUtf8(now.detail.data(), static_cast<qsizetype>(now.detail.size())),
                    now.done, now.total);
}

void QtProgress::run(const std::function<void()>& task) {
  std::packaged_task<void()> work(task);
  std::future<void> result = work.get_future();
  QEventLoop loop;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [this] { refresh(); });
  timer.start(refresh_);
  std::thread worker([&] {
    work();
    // Runs on the event loop's thread, from its next round.
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  // Painting and timers go on; the user's clicks and keys wait, as they
  // would for a window that is busy, and the dialog, once up, keeps them
  // from the window.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  timer.stop();
  dialog_.reset();
  result.get();
}

}  // namespace kavo
