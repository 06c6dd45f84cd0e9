#include "platform/qt/qt_progress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
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

void ProgressDialog::showStep(const QString& text, const QString& detail,
                              std::size_t done, std::size_t total) {
  text_->setText(text);
  // A long name is shortened in the middle, so both its start and its
  // extension stay readable.
  detail_->setText(detail_->fontMetrics().elidedText(detail, Qt::ElideMiddle,
                                                     detail_->width()));
  detail_->setToolTip(detail);
  // The bar counts in per mille, so counts beyond int still fit.
  bar_->setRange(0, 1000);
  bar_->setValue(total == 0 ? 1000 : static_cast<int>(done * 1000.0 / total));
  if (!isVisible()) QDialog::show();
}

QString ProgressDialog::text() const { return text_->text(); }
QString ProgressDialog::detail() const { return detail_->toolTip(); }

void ProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

QtProgress::QtProgress(QWidget* parent, const QString& title,
                       std::chrono::milliseconds delay, Clock clock)
    : parent_(parent), title_(title), delay_(delay), clock_(std::move(clock)) {}

QtProgress::~QtProgress() = default;

// How much of the delay is still to run.
std::chrono::steady_clock::duration QtProgress::left() const {
  return *started_ + delay_ - clock_();
}

void QtProgress::startClock() {
  // The task starts with its first step, not when this object was made.
  if (!started_) started_ = clock_();
}

void QtProgress::appear() {
  if (!dialog_) dialog_ = std::make_unique<ProgressDialog>(title_, parent_);
  dialog_->showStep(text_, detail_, done_, total_);
  QApplication::processEvents();
}

void QtProgress::step(const std::string& text, const std::string& detail,
                      std::size_t done, std::size_t total) {
  startClock();
  text_ = QString::fromStdString(text);
  detail_ = QString::fromUtf8(detail.data(), static_cast<qsizetype>(detail.size()));
  done_ = done;
  total_ = total;
  if (dialog_ || left() <= std::chrono::steady_clock::duration::zero()) appear();
}

void QtProgress::wait(const std::function<void()>& work) {
  startClock();
  std::packaged_task<void()> task(work);
  std::future<void> result = task.get_future();
  QEventLoop loop;
  bool over = false;  // touched on this thread only
  std::thread worker([&] {
    task();
    // Runs on this thread, from whichever event processing comes first.
    QMetaObject::invokeMethod(
        &loop, [&] { over = true; loop.quit(); }, Qt::QueuedConnection);
  });
  if (!dialog_) {
    const auto rest = left();
    if (rest > std::chrono::steady_clock::duration::zero()) result.wait_for(rest);
  }
  if (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    appear();
    // Input to the program's other windows is blocked by the dialog; the
    // dialog itself ignores Escape and close requests.
    if (!over) loop.exec();
  }
  worker.join();
  result.get();
}

void QtProgress::finish() { dialog_.reset(); }

}  // namespace kavo
