// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_progress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <future>
#include <thread>

#include "platform/services/interruption.h"

namespace kavo {

namespace {

using std::chrono::seconds;

// Keeps the user's clicks and keys from every widget but `allowed` (and
// what it holds) while a task runs: the window must not start a second
// export, nor close, under the first. Dropped, not held back, so that
// nothing clicked meanwhile happens once the task is over.
class InputGuard : public QObject {
 public:
  explicit InputGuard(const std::function<QWidget*()>& allowed) : allowed_(allowed) {
    qApp->installEventFilter(this);
  }
  ~InputGuard() override { qApp->removeEventFilter(this); }

  bool eventFilter(QObject* target, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(target);
    if (!widget || !isUserInput(event->type())) return false;
    QWidget* allowed = allowed_();
    if (allowed && (widget == allowed || allowed->isAncestorOf(widget))) return false;
    event->ignore();  // a close refused
    return true;
  }

 private:
  static bool isUserInput(QEvent::Type type) {
    switch (type) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::ContextMenu:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::Close:
        return true;
      default:
        return false;
    }
  }

  std::function<QWidget*()> allowed_;
};

}  // namespace

std::optional<seconds> timeLeft(std::chrono::steady_clock::duration elapsed, std::size_t done,
                                std::size_t total) {
  if (total == 0 || done == 0 || done >= total || elapsed < seconds(2) || done * 100 < total)
    return std::nullopt;
  const double spent = std::chrono::duration<double>(elapsed).count();
  return seconds(static_cast<std::int64_t>(
      std::ceil(spent * static_cast<double>(total - done) / static_cast<double>(done))));
}

QString timeLeftText(seconds left) {
  const std::int64_t s = left.count();
  if (s < 10) return "A few seconds left";
  if (s < 60) return QString("About %1 seconds left").arg((s + 4) / 5 * 5);
  const std::int64_t minutes = (s + 30) / 60;
  if (minutes < 2) return "About 1 minute left";
  if (minutes < 90) return QString("About %1 minutes left").arg(minutes);
  return QString("About %1 hours left").arg((s + 1800) / 3600);
}

ProgressDialog::ProgressDialog(const QString& title, bool cancellable, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          (cancellable ? Qt::WindowCloseButtonHint : Qt::WindowType(0))),
      text_(new QLabel(this)),
      detail_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      timeLeft_(new QLabel(this)),
      cancel_(new QPushButton("Cancel", this)),
      cancellable_(cancellable) {
  setObjectName("progress");
  setWindowTitle(title);
  setModal(true);
  detail_->setTextFormat(Qt::PlainText);
  detail_->setMinimumWidth(280);
  cancel_->setObjectName("cancel");
  cancel_->setAutoDefault(false);
  cancel_->setVisible(cancellable);
  connect(cancel_, &QPushButton::clicked, this, &ProgressDialog::cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(detail_);
  layout->addWidget(bar_);
  auto* below = new QHBoxLayout;
  below->addWidget(timeLeft_, 1);
  below->addWidget(cancel_);
  layout->addLayout(below);
  setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

void ProgressDialog::showStep(const QString& text, const QString& detail, std::size_t done,
                              std::size_t total, const QString& timeLeft) {
  text_->setText(text);
  // A long name is shortened in the middle, so both its start and its
  // extension stay readable.
  detail_->setText(detail_->fontMetrics().elidedText(detail, Qt::ElideMiddle, detail_->width()));
  detail_->setToolTip(detail);
  if (total == 0) {
    bar_->setRange(0, 0);
  } else {
    // The bar counts in per mille, so counts beyond int still fit.
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(std::min(done, total) * 1000.0 / total));
  }
  timeLeft_->setText(timeLeft);
  ++stepsShown_;
  if (!isVisible()) QDialog::show();
}

QString ProgressDialog::text() const { return text_->text(); }
QString ProgressDialog::detail() const { return detail_->toolTip(); }
QString ProgressDialog::timeLeftShown() const { return timeLeft_->text(); }
int ProgressDialog::barValue() const { return bar_->maximum() == 0 ? -1 : bar_->value(); }

void ProgressDialog::cancel() {
  if (!cancellable_ || !cancel_->isEnabled()) return;
  cancel_->setEnabled(false);
  cancel_->setText(QString::fromUtf8("Cancelling\u2026"));
  emit cancelled();
}

void ProgressDialog::reject() { cancel(); }

void ProgressDialog::closeEvent(QCloseEvent* event) {
  // The dialog goes when the task is over, never before.
  event->ignore();
  cancel();
}

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
  std::chrono::steady_clock::duration elapsed;
  {
    std::lock_guard lock(mutex_);
    if (state_.finished || !state_.started || state_.version == shownVersion_) return;
    elapsed = clock_() - *state_.started;
    if (elapsed < delay_) return;
    now = state_;
  }
  shownVersion_ = now.version;
  if (!dialog_) {
    dialog_ = std::make_unique<ProgressDialog>(title_, cancellable_, parent_);
    QObject::connect(dialog_.get(), &ProgressDialog::cancelled, [] { requestStop(); });
  }
  const std::optional<seconds> left = timeLeft(elapsed, now.done, now.total);
  dialog_->showStep(QString::fromStdString(now.text),
                    QString::fromUtf8(now.detail.data(), static_cast<qsizetype>(now.detail.size())),
                    now.done, now.total, left ? timeLeftText(*left) : QString());
}

void QtProgress::run(const std::function<void()>& task) {
  std::packaged_task<void()> work(task);
  std::future<void> result = work.get_future();
  QEventLoop loop;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [this] { refresh(); });
  timer.start(refresh_);
  {
    const InputGuard guard([this]() -> QWidget* { return dialog_.get(); });
    std::thread worker([&] {
      work();
      // Runs on the event loop's thread, from its next round.
      QMetaObject::invokeMethod(
          &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // Painting and timers go on, and the dialog, once up, takes the user's
    // clicks and keys.
    loop.exec();
    worker.join();
  }
  timer.stop();
  dialog_.reset();
  // A Cancel that came as the task ended must not stop the next one.
  resetStop();
  result.get();
}

}  // namespace kavo
