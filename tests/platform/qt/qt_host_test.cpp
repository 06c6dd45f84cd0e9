// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>

#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_program_end.h"
#include "platform/qt/qt_progress.h"
#include "support/modal_dialog.h"

namespace kavo {

using testing::whenModalShown;

class QtHostTest : public QObject {
  Q_OBJECT

 private slots:
  void inputBoxShowsPromptTitleAndProposalAndReturnsTheEdit() {
    QString title, label, proposed;
    whenModalShown([&](QWidget* modal) {
      auto* dialog = qobject_cast<QInputDialog*>(modal);
      QVERIFY(dialog);
      title = dialog->windowTitle();
      label = dialog->labelText();
      auto* edit = dialog->findChild<QLineEdit*>();
      QVERIFY(edit);
      proposed = edit->text();
      edit->selectAll();
      QTest::keyClicks(edit, "/media/usb/files.txt");
      dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QtDialogs dialogs;
    std::string answer = dialogs.inputBox("Where?  ie. C:\\", "Save FILES.TXT", "/m/FILES.TXT");
    QCOMPARE(answer, std::string("/media/usb/files.txt"));
    QCOMPARE(title, QString("Save FILES.TXT"));
    QCOMPARE(label, QString("Where?  ie. C:\\"));
    QCOMPARE(proposed, QString("/m/FILES.TXT"));
  }

  void cancellingTheInputBoxReturnsEmptyText() {
    whenModalShown([](QWidget* modal) {
      modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    QtDialogs dialogs;
    QCOMPARE(dialogs.inputBox("Where?", "Save FILES.TXT", "/m/FILES.TXT"), std::string());
  }

  // Yes and No, No the default: Enter and Escape both answer No, and only
  // a click on Yes (or Alt+Y) answers Yes.
  void questionHasYesAndNoWithNoTheDefault() {
    for (int answer : {int(Qt::Key_Return), int(Qt::Key_Escape), int(QMessageBox::Yes)}) {
      QString title, text;
      bool noIsDefault = false;
      whenModalShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        QCOMPARE(box->buttons().size(), qsizetype(2));
        noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        if (answer == int(QMessageBox::Yes))
          box->button(QMessageBox::Yes)->click();
        else
          QTest::keyClick(box, static_cast<Qt::Key>(answer));
      });
      QtDialogs dialogs;
      const bool yes = dialogs.question("Replace it?", "SimpleKAVO");
      QCOMPARE(yes, answer == int(QMessageBox::Yes));
      QCOMPARE(title, QString("SimpleKAVO"));
      QCOMPARE(text, QString("Replace it?"));
      QVERIFY(noIsDefault);
    }
  }

  void messageBoxHasOneOkButtonNoIconAndTheApplicationTitle() {
    QString title, text;
    int buttons = -1;
    QMessageBox::Icon icon = QMessageBox::Critical;
    whenModalShown([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = static_cast<int>(box->buttons().size());
      box->button(QMessageBox::Ok)->click();
    });
    QtDialogs dialogs;
    dialogs.messageBox("Completed Successfully!  Press OK to exit", {});
    QCOMPARE(title, QString("SimpleKAVO"));
    QCOMPARE(text, QString("Completed Successfully!  Press OK to exit"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, 1);
  }

  // The task runs on a thread of its own while the event loop goes on: here
  // it only ends once the event loop has shown its step in the modal
  // dialog. Its failure comes back to the caller either way, and the dialog
  // is gone when run() returns.
  void aTaskRunsOffTheEventLoopWhichShowsItsStep() {
    using namespace std::chrono_literals;
    for (bool throws : {false, true}) {
      QWidget window;
      window.show();
      QtProgress progress(&window, "Save FILES.TXT", 0ms);
      std::promise<void> dialogSeen;
      std::atomic<bool> seen = false;
      QTimer tick;
      QObject::connect(&tick, &QTimer::timeout, [&] {
        auto* dialog = window.findChild<ProgressDialog*>();
        if (!seen && dialog && dialog->isVisible() && QApplication::activeModalWidget() == dialog &&
            dialog->text() == "Writing to the drive" && dialog->detail() == "/media/usb") {
          seen = true;
          dialogSeen.set_value();
        }
      });
      tick.start(0);
      const auto caller = std::this_thread::get_id();
      std::thread::id taskThread;
      bool caught = false;
      try {
        progress.run([&] {
          taskThread = std::this_thread::get_id();
          progress.step("Writing to the drive", "/media/usb", 5, 5);
          // Only a safety net: the event loop answers at once.
          if (dialogSeen.get_future().wait_for(60s) != std::future_status::ready)
            throw std::logic_error("the dialog never came up");
          if (throws) throw std::runtime_error("flush failed");
          progress.finish();
        });
      } catch (const std::runtime_error&) {
        caught = true;
      }
      QCOMPARE(caught, throws);
      QVERIFY(seen);
      QVERIFY(taskThread != caller);
      QVERIFY(!window.findChild<ProgressDialog*>());
    }
  }

  // The delay counts from the first step: time spent before it, in the
  // export's prompt, does not bring the dialog up at once. The task moves a
  // clock of its own and lets the event loop go round between its steps.
  void theDelayCountsFromTheFirstStep() {
    using namespace std::chrono_literals;
    std::atomic<std::chrono::steady_clock::time_point> now{};
    QWidget window;
    QtProgress progress(
        &window, "Save FILES.TXT", 100ms, [&] { return now.load(); }, 0ms);
    std::atomic<int> rounds = 0;
    std::atomic<bool> upEarly = false, up = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      auto* dialog = window.findChild<ProgressDialog*>();
      if (dialog && dialog->isVisible()) {
        if (dialog->text() != "Copying 3 of 3") upEarly = true;
        up = true;
      }
      ++rounds;
    });
    tick.start(0);
    // The refresh timer fires in every round of the loop, as the tick does.
    auto letTheLoopGoRound = [&] {
      for (int until = rounds + 3; rounds < until;) std::this_thread::yield();
    };
    progress.run([&] {
      now = now.load() + 150ms;
      progress.step("Copying 1 of 3", "a.sms", 0, 3);
      letTheLoopGoRound();
      now = now.load() + 99ms;
      progress.step("Copying 2 of 3", "b.sms", 1, 3);
      letTheLoopGoRound();
      // The last step comes before the clock reaches the delay, so that the
      // step the dialog first shows can only be this one.
      progress.step("Copying 3 of 3", "c.sms", 2, 3);
      now = now.load() + 1ms;
      for (auto end = std::chrono::steady_clock::now() + 60s;
           !up && std::chrono::steady_clock::now() < end;)
        std::this_thread::yield();
    });
    QVERIFY(!upEarly);
    QVERIFY(up);
  }

  // A task that makes a hundred thousand steps in a blink is shown a few
  // times, at the timer's rate, not once a step: each would cost a repaint.
  void stepsAreShownAtTheTimersRateNotEachOne() {
    using namespace std::chrono_literals;
    QWidget window;
    QtProgress progress(&window, "Save FILES.TXT", 0ms);
    constexpr int kSteps = 100'000;
    const QString last = QString("Copying %1 of %1").arg(kSteps);
    std::atomic<bool> lastSeen = false;
    std::size_t shown = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (auto* dialog = window.findChild<ProgressDialog*>()) {
        shown = dialog->stepsShown();
        if (dialog->text() == last) lastSeen = true;
      }
    });
    tick.start(0);
    progress.run([&] {
      for (int i = 1; i <= kSteps; ++i)
        progress.step("Copying " + std::to_string(i) + " of " + std::to_string(kSteps), "Game.sms",
                      static_cast<std::size_t>(i - 1), kSteps);
      for (auto end = std::chrono::steady_clock::now() + 60s;
           !lastSeen && std::chrono::steady_clock::now() < end;)
        std::this_thread::yield();
    });
    QVERIFY(lastSeen);
    QVERIFY2(shown >= 1 && shown < 1000, qPrintable(QString::number(shown)));
  }

  void programEndClosesTheWindowsAndLeavesTheEventLoop() {
    QWidget window;
    window.show();
    QtProgramEnd programEnd;
    QTimer::singleShot(0, [&] { programEnd.end(kExitAfterRunTimeError); });
    QCOMPARE(QApplication::exec(), 1);
    QVERIFY(!window.isVisible());
  }
};

}  // namespace kavo

QTEST_MAIN(kavo::QtHostTest)
#include "qt_host_test.moc"
