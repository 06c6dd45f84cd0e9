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
#include "platform/services/interruption.h"
#include "platform/services/run_time_error.h"
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

  // An error box has a warning icon and the next step beneath its text; a
  // completion box has OK and, when offered, Eject: Eject answers true, OK,
  // Enter and Escape false. Texts beneath are shown as they are.
  void errorsAndCompletionsShowTheirSecondLine() {
    const char* detail = "Move <b>ROMS0/notes.txt</b> or delete it";
    struct Row {
      bool error, offerEject;
      int press;  // a key, or -1 for Eject, -2 for OK
      bool ejected;
    };
    const Row rows[] = {{true, false, -2, false},
                        {false, false, -2, false},
                        {false, true, -1, true},
                        {false, true, -2, false},
                        {false, true, Qt::Key_Escape, false},
                        {false, true, Qt::Key_Return, false}};
    for (const Row& row : rows) {
      QString text, informative, title;
      QMessageBox::Icon icon = QMessageBox::NoIcon;
      Qt::TextFormat format = Qt::AutoText;
      int buttons = 0;
      whenModalShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        text = box->text();
        informative = box->informativeText();
        title = box->windowTitle();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        format = box->findChild<QLabel*>("qt_msgbox_informativelabel")->textFormat();
        if (row.press == -1)
          box->findChild<QPushButton*>("eject")->click();
        else if (row.press == -2)
          box->button(QMessageBox::Ok)->click();
        else
          QTest::keyClick(box, static_cast<Qt::Key>(row.press));
      });
      QtDialogs dialogs;
      bool ejected = false;
      if (row.error)
        dialogs.errorMessage("Run-time error '75':", detail);
      else
        ejected =
            dialogs.completion("Completed Successfully!  Press OK to exit", detail, row.offerEject);
      QCOMPARE(ejected, row.ejected);
      QCOMPARE(text, QString(row.error ? "Run-time error '75':"
                                       : "Completed Successfully!  Press OK to exit"));
      QCOMPARE(informative, QString(detail));
      QCOMPARE(format, Qt::PlainText);
      QCOMPARE(title, QString("SimpleKAVO"));
      QCOMPARE(icon, row.error ? QMessageBox::Warning : QMessageBox::NoIcon);
      QCOMPARE(buttons, row.offerEject ? 2 : 1);
    }
  }

  // The time left, once it can be told: two seconds in and a hundredth
  // done, at the rate so far, in words that round as a person would.
  void theTimeLeftIsToldOnceItCanBe() {
    using namespace std::chrono_literals;
    struct Row {
      std::chrono::milliseconds elapsed;
      std::size_t done, total;
      const char* shown;  // "" when nothing is said
    };
    const Row rows[] = {
        {1900ms, 50, 100, ""},
        {10s, 0, 100, ""},
        {10s, 9, 1000, ""},
        {10s, 100, 100, ""},
        {10s, 10, 0, ""},
        {4s, 50, 100, "A few seconds left"},
        {10s, 50, 100, "About 10 seconds left"},
        {10s, 30, 100, "About 25 seconds left"},
        {30s, 50, 100, "About 30 seconds left"},
        {60s, 50, 100, "About 1 minute left"},
        {100s, 50, 100, "About 2 minutes left"},
        {600s, 20, 100, "About 40 minutes left"},
        {3000s, 50, 100, "About 50 minutes left"},
        {6000s, 50, 100, "About 2 hours left"},
    };
    for (const Row& row : rows) {
      const auto left = timeLeft(row.elapsed, row.done, row.total);
      QCOMPARE(left ? timeLeftText(*left) : QString(), QString(row.shown));
    }
  }

  // The dialog shows the time left by the clock it is given, and a busy bar
  // for a step of unknown length.
  void theDialogShowsTheTimeLeftAndABusyBar() {
    using namespace std::chrono_literals;
    std::atomic<std::chrono::steady_clock::time_point> now{};
    QWidget window;
    QtProgress progress(
        &window, "Save FILES.TXT", 0ms, [&] { return now.load(); }, 0ms);
    QString left;
    int bar = 0;
    std::atomic<int> phase = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      auto* dialog = window.findChild<ProgressDialog*>();
      if (!dialog) return;
      if (phase == 1 && dialog->text() == "Copied 50 of 100") {
        left = dialog->timeLeftShown();
        phase = 2;
      } else if (phase == 3 && dialog->text() == "Removing what this export made") {
        bar = dialog->barValue();
        phase = 4;
      }
    });
    tick.start(0);
    const auto waitFor = [&](int until) {
      for (auto end = std::chrono::steady_clock::now() + 60s;
           phase < until && std::chrono::steady_clock::now() < end;)
        std::this_thread::yield();
    };
    progress.run([&] {
      progress.step("Copied 0 of 100", "a.sms", 0, 100);
      now = now.load() + 40s;
      progress.step("Copied 50 of 100", "b.sms", 50, 100);
      phase = 1;
      waitFor(2);
      progress.step("Removing what this export made", "/media/usb", 0, 0);
      phase = 3;
      waitFor(4);
    });
    QCOMPARE(left, QString("About 40 seconds left"));
    QCOMPARE(bar, -1);
  }

  // Cancel, closing the dialog and Escape each ask the task to stop, once,
  // as Ctrl-C does: its next check throws "Cancelled", the dialog stays up
  // until the task is over, and the next task runs unhindered. Clicks on
  // the window behind are dropped meanwhile, never delivered later.
  void cancelAsksTheTaskToStopAndTheWindowBehindTakesNoInput() {
    using namespace std::chrono_literals;
    const std::function<void(ProgressDialog*)> ways[] = {
        [](ProgressDialog* d) {
          QTest::mouseClick(d->findChild<QPushButton*>("cancel"), Qt::LeftButton);
        },
        [](ProgressDialog* d) { d->close(); },
        [](ProgressDialog* d) { QTest::keyClick(d, Qt::Key_Escape); },
    };
    for (const auto& cancel : ways) {
      QWidget window;
      auto* button = new QPushButton("Save", &window);
      int clicks = 0;
      QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
      window.show();
      QtProgress progress(&window, "Save FILES.TXT", 0ms);
      bool stayedUp = false, cancelOnce = false;
      QTimer tick;
      QObject::connect(&tick, &QTimer::timeout, [&] {
        auto* dialog = window.findChild<ProgressDialog*>();
        if (!dialog || !dialog->isVisible() || stayedUp) return;
        QTest::mouseClick(button, Qt::LeftButton);
        cancel(dialog);
        stayedUp = dialog->isVisible();
        cancelOnce = !dialog->findChild<QPushButton*>("cancel")->isEnabled();
      });
      tick.start(0);
      QString reason;
      try {
        progress.run([&] {
          progress.step("Copied 0 of 10", "a.sms", 0, 10);
          for (auto end = std::chrono::steady_clock::now() + 60s;
               std::chrono::steady_clock::now() < end;)
            throwIfInterrupted();
        });
      } catch (const RunTimeError& error) {
        reason = QString::fromStdString(error.reason());
        QCOMPARE(error.number(), ErrorNumber::UserInterrupt);
      }
      QCOMPARE(reason, QString("Cancelled"));
      QVERIFY(stayedUp);
      QVERIFY(cancelOnce);
      QCoreApplication::processEvents();
      QCOMPARE(clicks, 0);
      throwIfInterrupted();  // the stop is forgotten
      QTest::mouseClick(button, Qt::LeftButton);
      QCOMPARE(clicks, 1);
    }
  }

  // A task that cannot be stopped (ejecting a drive) shows no Cancel, and
  // closing its dialog asks nothing of it.
  void aTaskThatCannotBeStoppedHasNoCancel() {
    using namespace std::chrono_literals;
    QWidget window;
    QtProgress progress(&window, "Save FILES.TXT", 0ms);
    progress.setCancellable(false);
    std::atomic<bool> tried = false;
    bool cancelShown = true;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      auto* dialog = window.findChild<ProgressDialog*>();
      if (!dialog || !dialog->isVisible() || tried) return;
      cancelShown = dialog->findChild<QPushButton*>("cancel")->isVisible();
      dialog->close();
      QTest::keyClick(dialog, Qt::Key_Escape);
      tried = true;
    });
    tick.start(0);
    progress.run([&] {
      progress.step("Ejecting the drive", "/media/usb", 0, 0);
      for (auto end = std::chrono::steady_clock::now() + 60s;
           !tried && std::chrono::steady_clock::now() < end;)
        std::this_thread::yield();
      throwIfInterrupted();
    });
    QVERIFY(tried);
    QVERIFY(!cancelShown);
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
