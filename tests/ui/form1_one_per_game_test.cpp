// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "One version of each game" in the file list's context menu.
#include <QContextMenuEvent>
#include <QMenu>
#include <QtTest>

#include "ui/gui_test_base.h"

namespace kavo {

using namespace testing;

class Form1OnePerGameTest : public QObject {
  Q_OBJECT

  // A set with several versions of two games and one that has only a bad
  // dump, opened in Dir1.
  static void openSet(Session& s) {
    const std::string set = s.dir / "set";
    makeDirectories(set);
    for (const char* name :
         {"Alex Kidd in Miracle World (USA, Europe).sms", "Alex Kidd in Miracle World (Japan).sms",
          "Sonic the Hedgehog (Europe).sms", "Sonic the Hedgehog (USA).sms",
          "Sonic the Hedgehog (Japan) (Rev 1).sms", "Sonic the Hedgehog (Beta).gg",
          "Bad Game (Europe) [b].sms"})
      writeFile(at(set, name), std::string("rom:") + name);
    s.open(s.dirList("Dir1"), s.dir.path());
    s.open(s.dirList("Dir1"), set);
  }

  static QStringList shown(FileListBox* list) {
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) rows << list->item(row)->text();
    return rows;
  }

  static std::vector<QAction*> orders(Session& s) {
    std::vector<QAction*> actions;
    for (QAction* action : s.get<QMenu>("RegionOrder")->actions()) actions.push_back(action);
    return actions;
  }

 private slots:
  void initTestCase() {
    // The default order is the locale's: the United States' puts USA first.
    qputenv("LC_ALL", "en_US.UTF-8");
  }

  // Ticked, the list shows, and the export takes and numbers, only the
  // version each game keeps in the order picked beneath it, each entry
  // saying why; the filter and a change of folder keep it; unticked, every
  // file is listed again, and picking an order ticks it.
  void theListShowsAndTheExportTakesOneVersionOfEachGame() {
    Session s;
    openSet(s);
    FileListBox* list = s.file1();
    const QStringList all = shown(list);
    QCOMPARE(all.size(), 7);
    QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    auto* toggle = s.get<QAction>("OnePerGame");
    QCOMPARE(toggle->text(), QString("One version of each game"));
    QVERIFY(!toggle->isChecked());
    QStringList orderTexts;
    for (QAction* order : orders(s)) orderTexts << order->text();
    QCOMPARE(orderTexts, QStringList({"USA, Europe, World, Japan", "Europe, USA, World, Japan",
                                      "Japan, USA, Europe, World", "World, USA, Europe, Japan",
                                      "Brazil, USA, Europe, World, Japan",
                                      "Korea, USA, Europe, World, Japan"}));
    QVERIFY(orders(s)[0]->isChecked());

    toggle->trigger();
    QCOMPARE(shown(list), QStringList({"Alex Kidd in Miracle World (USA, Europe).sms",
                                       "Sonic the Hedgehog (USA).sms"}));
    QCOMPARE(list->item(0)->toolTip(), QString("kept: USA, Europe"));
    // The player sees the whole name, and why it was kept beneath it.
    QCOMPARE(tooltipOver(list, shown(list).at(0)),
             QString("Alex Kidd in Miracle World (USA, Europe).sms\nkept: USA, Europe"));
    QCOMPARE(list->entries(), (Names{"Alex Kidd in Miracle World (USA, Europe).sms",
                                     "Sonic the Hedgehog (USA).sms"}));
    QCOMPARE(list->matching().size(), size_t(7));

    orders(s)[2]->trigger();  // Japan first
    const QStringList japan = {"Alex Kidd in Miracle World (Japan).sms",
                               "Sonic the Hedgehog (Japan) (Rev 1).sms"};
    QCOMPARE(shown(list), japan);
    QVERIFY(toggle->isChecked());

    // The filter reads the folder again; the choice stays, and now takes
    // only what the filter lists (the beta was the only .gg).
    s.txtFilter()->setText("*.gg");
    QTest::mouseClick(s.check1(), Qt::LeftButton);
    QCOMPARE(shown(list), QStringList({"Sonic the Hedgehog (Beta).gg"}));
    QCOMPARE(list->item(0)->toolTip(), QString("kept: no region, Beta"));
    QTest::mouseClick(s.check1(), Qt::LeftButton);
    QCOMPARE(shown(list), japan);

    // The export numbers the versions kept.
    const std::string out = s.dir / "out";
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
    s.dialogs.answers = {at(out, "FILES.TXT")};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(readFile(at(out, "FILES.TXT")),
             "Alex Kidd in Miracle World (Japan).sms,ROMS0\\0.sms\n"
             "Sonic the Hedgehog (Japan) (Rev 1).sms,ROMS0\\1.sms\n" +
                 std::string(10, ' '));
    QCOMPARE(readFile(at(out, "ROMS0/1.SMS")),
             std::string("rom:Sonic the Hedgehog (Japan) (Rev 1).sms"));

    toggle->trigger();
    QCOMPARE(shown(list), all);
    orders(s)[1]->trigger();  // Europe first, which ticks it again
    QVERIFY(toggle->isChecked());
    QCOMPARE(shown(list), QStringList({"Alex Kidd in Miracle World (USA, Europe).sms",
                                       "Sonic the Hedgehog (Europe).sms"}));
  }

  // A right click on the list opens its menu with the choice and the
  // orders beneath it.
  void aRightClickOpensTheMenu() {
    Session s;
    FileListBox* list = s.file1();
    QStringList seen;
    QTimer::singleShot(50, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      for (QAction* action : menu->actions()) seen << action->text();
      menu->close();
    });
    const QPoint at(5, 5);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &click);
    QCOMPARE(seen, QStringList({"One version of each game", "Region order"}));
  }
};

}  // namespace kavo

QTEST_MAIN(kavo::Form1OnePerGameTest)
#include "form1_one_per_game_test.moc"
