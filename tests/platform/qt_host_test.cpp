#include "platform/qt_dialogs.h"
#include "platform/qt_program_end.h"
#include "platform/qt_progress.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <stdexcept>
#include <thread>

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
  // keep being handled while it runs; one that ends sooner shows nothing.
  // Either way the step's failure reaches the task.
  void aLongWaitShowsTheDialogAndHandlesEventsMeanwhile() {
    using namespace std::chrono_literals;
    for (auto [lasts, throws] : {std::pair{300ms, false}, std::pair{300ms, true},
                                 std::pair{0ms, false}, std::pair{0ms, true}}) {
      QWidget window;
      window.show();
      QtProgress progress(&window, "Save FILES.TXT", 100ms);
      int ticks = 0;
      bool dialogSeen = false;
      QTimer tick;
      QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        auto* dialog = window.findChild<ProgressDialog*>();
        dialogSeen = dialogSeen || (dialog && dialog->isVisible() &&
                                    dialog->text() == "Writing to the drive");
      });
      tick.start(10);
      progress.step("Writing to the drive", "/media/usb", 5, 5);
      bool caught = false;
      try {
        progress.wait([lasts = lasts, throws = throws] {
          std::this_thread::sleep_for(lasts);
          if (throws) throw std::runtime_error("flush failed");
        });
      } catch (const std::runtime_error&) {
        caught = true;
      }
      QCOMPARE(caught, throws);
      QCOMPARE(dialogSeen, lasts > 0ms);
      QCOMPARE(ticks > 5, lasts > 0ms);  // about 20 in the 200 ms shown
      progress.finish();
      QVERIFY(!window.findChild<ProgressDialog*>());
    }

    // The delay counts from the first step: time spent before it, in the
    // export's prompt, does not bring the dialog up at once.
    QWidget window;
    QtProgress progress(&window, "Save FILES.TXT", 100ms);
    std::this_thread::sleep_for(150ms);
    progress.step("Copying 1 of 1", "a.sms", 0, 1);
    QVERIFY(!window.findChild<ProgressDialog*>());
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
