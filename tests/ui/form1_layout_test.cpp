// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as it opens: its controls, their places, the keyboard.
#include <QtTest>

#include "ui/gui_test_base.h"

namespace kavo {

using namespace testing;

class Form1LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void startsInTheDesignedState() {
    Session s;
    QCOMPARE(s.form->windowTitle(), QString("Simple KAVO 1.0"));
    QCOMPARE(s.form->size(), QSize(288, 370));
    QVERIFY(!s.form->windowIcon().isNull());

    struct Placed {
      const char* name;
      QRect rect;
    };
    const Placed table[] = {
        {"Drive1", {2, 26, 145, 21}},    {"Dir1", {1, 47, 145, 122}},
        {"File1", {148, 26, 136, 136}},  {"Drive2", {2, 191, 279, 21}},
        {"Dir2", {1, 212, 278, 122}},    {"Check1", {160, 1, 51, 20}},
        {"txtFilter", {212, 1, 72, 21}}, {"Label1", {5, 6, 76, 17}},
        {"Label2", {3, 171, 120, 19}},   {"Command1", {187, 340, 94, 24}},
        {"cmdQuit", {4, 342, 43, 23}},
    };
    const QRect client(QPoint(0, 0), s.form->size());
    for (const Placed& a : table) {
      QWidget* control = s.get<QWidget>(a.name);
      QCOMPARE(control->geometry(), a.rect);
      QVERIFY2(client.contains(a.rect), a.name);
      for (const Placed& b : table)
        if (&a != &b) QVERIFY2(!a.rect.intersects(b.rect), a.name);
    }
    QCOMPARE(s.form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 11);

    QCOMPARE(s.check1()->text(), QString("Filter"));
    QVERIFY(!s.check1()->isChecked());
    QCOMPARE(s.txtFilter()->text(), QString("*.sms; *.gg"));
    QCOMPARE(s.get<QLabel>("Label1")->text(), QString("Source ROMS"));
    QCOMPARE(s.get<QLabel>("Label2")->text(), QString("Destination Output"));
    QCOMPARE(s.button("Command1")->text(), QString("Save FILES.TXT"));
    QCOMPARE(s.button("cmdQuit")->text(), QString("Quit"));

    QCOMPARE(s.dirList("Dir1")->path(), s.roms);
    QCOMPARE(s.dirList("Dir2")->path(), s.roms);
    QCOMPARE(s.file1()->directory(), s.roms);
    QCOMPARE(s.file1()->pattern(), std::string("*.*"));
    QCOMPARE(s.file1()->entries(), kAllFiles);
    QCOMPARE(s.file1()->count(), static_cast<int>(kAllFiles.size()));
    QCOMPARE(s.drive("Drive1")->drive(), s.drive("Drive2")->drive());
    QVERIFY(!s.drive("Drive1")->drive().empty());
    // The directory list shows its open directory's chain, then its
    // subdirectories, and highlights the open directory.
    DirListBox* dir1 = s.dirList("Dir1");
    QCOMPARE(dir1->currentItem()->text(), QString("roms"));
    QCOMPARE(dir1->item(dir1->count() - 2)->text(), QString("Extra"));
    QCOMPARE(dir1->item(dir1->count() - 1)->text(), QString("more"));
  }

  void tabCyclesTheControlsBothWaysAndSkipsTheLabels() {
    Session s;
    const QStringList order = {"Drive1", "Dir1",      "File1",    "Drive2", "Dir2",
                               "Check1", "txtFilter", "Command1", "cmdQuit"};
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("Drive1"));
    QStringList forward, backward;
    for (int i = 0; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      forward << QApplication::focusWidget()->objectName();
    }
    for (int i = 0; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      backward << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(forward, order.mid(1) + QStringList{"Drive1"});
    QStringList reversed(order.rbegin(), order.rend());
    QCOMPARE(backward, reversed);
  }

  void enterAndSpaceClickOnlyTheFocusedButtonAndEscapeClicksNone() {
    Session s;
    // Escape, and Enter outside the buttons, run nothing.
    for (const char* name : {"Drive1", "txtFilter", "Check1", "File1"}) {
      s.get<QWidget>(name)->setFocus();
      QTest::keyClick(s.get<QWidget>(name), Qt::Key_Return);
      QTest::keyClick(s.get<QWidget>(name), Qt::Key_Escape);
    }
    QCOMPARE(s.dialogs.prompts.size(), size_t(0));
    QCOMPARE(s.programEnd.ends, 0);

    s.dialogs.answers = {"", ""};  // cancel both prompts
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
      s.button("Command1")->setFocus();
      QTest::keyClick(s.button("Command1"), key);
    }
    QCOMPARE(s.dialogs.prompts.size(), size_t(2));
    QCOMPARE(s.programEnd.ends, 0);

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
      s.button("cmdQuit")->setFocus();
      QTest::keyClick(s.button("cmdQuit"), key);
    }
    QCOMPARE(s.programEnd.ends, 2);  // Quit asks nothing
    QCOMPARE(s.dialogs.messages.size(), size_t(0));
  }
};

}  // namespace kavo

QTEST_MAIN(kavo::Form1LayoutTest)
#include "form1_layout_test.moc"
