#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_program_end.h"
#include "platform/qt/qt_progress.h"

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

  // A blocking step that outlasts the delay brings the dialog up and events
  // keep being handled while it runs: here the step only ends once the event
  // loop has seen the dialog. One that ends within the delay shows nothing.
  // Either way the step's failure reaches the task.
  void aLongWaitShowsTheDialogAndHandlesEventsMeanwhile() {
    using namespace std::chrono_literals;
    for (auto [outlasts, throws] : {std::pair{true, false}, std::pair{true, true},
                                    std::pair{false, false}, std::pair{false, true}}) {
      QWidget window;
      window.show();
      QtProgress progress(&window, "Save FILES.TXT", outlasts ? 0ms : 24h);
      std::promise<void> dialogSeen;
      std::atomic<bool> running = false;
      bool seen = false;
      QTimer tick;
      QObject::connect(&tick, &QTimer::timeout, [&] {
        auto* dialog = window.findChild<ProgressDialog*>();
        if (!seen && running && dialog && dialog->isVisible() &&
            dialog->text() == "Writing to the drive") {
          seen = true;
          dialogSeen.set_value();
        }
      });
      tick.start(0);
      progress.step("Writing to the drive", "/media/usb", 5, 5);
      bool caught = false;
      try {
        progress.wait([&, outlasts = outlasts, throws = throws] {
          running = true;
          // Only a safety net: the event loop answers at once.
          if (outlasts && dialogSeen.get_future().wait_for(60s) != std::future_status::ready)
            throw std::logic_error("the dialog never came up");
          if (throws) throw std::runtime_error("flush failed");
        });
      } catch (const std::runtime_error&) {
        caught = true;
      }
      QCOMPARE(caught, throws);
      QCOMPARE(seen, outlasts);
      progress.finish();
      QVERIFY(!window.findChild<ProgressDialog*>());
    }
  }

  // The delay counts from the first step: time spent before it, in the
  // export's prompt, does not bring the dialog up at once.
  void theDelayCountsFromTheFirstStep() {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{};
    QWidget window;
    QtProgress progress(&window, "Save FILES.TXT", 100ms, [&] { return now; });
    now += 150ms;
    progress.step("Copying 1 of 3", "a.sms", 0, 3);
    QVERIFY(!window.findChild<ProgressDialog*>());
    now += 99ms;
    progress.step("Copying 2 of 3", "b.sms", 1, 3);
    QVERIFY(!window.findChild<ProgressDialog*>());
    now += 1ms;
    progress.step("Copying 3 of 3", "c.sms", 2, 3);
    auto* dialog = window.findChild<ProgressDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->text(), QString("Copying 3 of 3"));
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
