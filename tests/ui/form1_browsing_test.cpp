// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Browsing the source and the destination, and the filter.
#include <QTextDocument>
#include <QtTest>

#include "controls/list_looks.h"
#include "ui/gui_test_base.h"

namespace kavo {

using namespace testing;

class Form1BrowsingTest : public QObject {
  Q_OBJECT

 private slots:
  void theFilterAppliesTheTextAsItWasWhenTicked() {
    Session s;
    QCheckBox* check1 = s.check1();
    check1->setFocus();
    QTest::keyClick(check1, Qt::Key_Space);
    QCOMPARE(s.file1()->entries(), kRomFiles);
    QTest::mouseClick(check1, Qt::LeftButton);
    QCOMPARE(s.file1()->entries(), kAllFiles);

    QTest::mouseClick(check1, Qt::LeftButton);
    s.txtFilter()->setText("*.txt");
    QCOMPARE(s.file1()->entries(), kRomFiles);  // editing alone changes nothing
    QTest::mouseClick(check1, Qt::LeftButton);
    QTest::mouseClick(check1, Qt::LeftButton);
    QCOMPARE(s.file1()->entries(), Names{"notes.txt"});

    // Opening another directory keeps the pattern in force.
    s.open(s.dirList("Dir1"), at(s.roms, "more"));
    QCOMPARE(s.file1()->directory(), at(s.roms, "more"));
    QCOMPARE(s.file1()->entries(), Names{});
    s.open(s.dirList("Dir1"), s.roms);

    s.txtFilter()->clear();
    QTest::mouseClick(check1, Qt::LeftButton);
    QTest::mouseClick(check1, Qt::LeftButton);
    QCOMPARE(s.file1()->pattern(), std::string());
    QCOMPARE(s.file1()->entries(), kAllFiles);
  }

  void directoryListsHighlightWithArrowsAndOpenWithEnter() {
    Session s;
    DirListBox* dir1 = s.dirList("Dir1");
    dir1->setFocus();
    QTest::keyClick(dir1, Qt::Key_Down);
    QCOMPARE(dir1->currentItem()->text(), QString("Extra"));
    QCOMPARE(dir1->path(), s.roms);  // only highlighted
    QCOMPARE(s.file1()->directory(), s.roms);
    QTest::keyClick(dir1, Qt::Key_Return);
    QCOMPARE(dir1->path(), at(s.roms, "Extra"));
    QCOMPARE(s.file1()->directory(), at(s.roms, "Extra"));
    QCOMPARE(dir1->currentItem()->text(), QString("Extra"));

    // The destination list moves alone.
    DirListBox* dir2 = s.dirList("Dir2");
    s.open(dir2, s.dir.path());
    QCOMPARE(dir2->path(), s.dir.path());
    QCOMPARE(s.file1()->directory(), at(s.roms, "Extra"));

    // Double-clicking an ancestor opens it.
    const QRect rect = dir1->visualItemRect(dir1->item(0));
    QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(dir1->path(), rootOf(s.roms));
    QCOMPARE(s.file1()->directory(), rootOf(s.roms));
  }

  // In both directory lists the open directory and its ancestors show an
  // open folder and its subdirectories a closed one. A single click only
  // highlights a subdirectory: it keeps its closed folder, the open one
  // stays open, and the export still proposes the open directory.
  void theOpenFolderLooksOpenAndAHighlightedOneDoesNot() {
    Session s;
    const QImage open = folderIcon(true).pixmap(16).toImage();
    const QImage closed = folderIcon(false).pixmap(16).toImage();
    QVERIFY(open != closed);
    for (const char* name : {"Dir1", "Dir2"}) {
      DirListBox* list = s.dirList(name);
      const int extra = list->count() - 2;
      QCOMPARE(list->item(extra)->text(), QString("Extra"));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(extra)).center());
      QCOMPARE(list->currentRow(), extra);
      QCOMPARE(list->path(), s.roms);
      QStringList looks, expected;
      for (int row = 0; row < list->count(); ++row) {
        const QImage icon = list->item(row)->icon().pixmap(16).toImage();
        looks << (icon == open ? "open" : icon == closed ? "closed" : "other");
        expected << (row < extra ? "open" : "closed");
      }
      QCOMPARE(looks, expected);
    }
    s.dialogs.answers = {""};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.prompts.at(0).proposed, at(s.roms, "FILES.TXT"));
  }

  // The lists are narrow: resting the pointer on an item shows its whole
  // name, markup shown as it is, in the file list, both directory lists
  // and the drive lists, and the chosen drive shows its whole text too.
  void everyListItemShowsItsWholeNameAsItsTooltip() {
    Session s;
#ifdef _WIN32
    const std::string markup = "[b]";  // Windows refuses "<" and ">" in names
#else
    const std::string markup = "<b>";
#endif
    const std::string name = "Alex Kidd " + markup + " in Miracle World & more (Europe) (Rev 1)";
    writeFile(at(s.roms, name + ".sms"), "rom");
    makeDirectories(at(s.roms, name));
    s.file1()->setDirectory(s.roms);
    s.dirList("Dir1")->setPath(s.roms);
    s.dirList("Dir2")->setPath(s.roms);
    const std::string root = rootOf(s.roms);
    const std::vector<Drive> drives = {{root, root},
                                       {s.dir.path() + " [" + name + "]", s.dir.path()}};
    s.drive("Drive1")->setDrives(drives);
    s.drive("Drive1")->setDriveSource([&] { return drives; });
    s.drive("Drive1")->showPopup();
    const QString whole = QString::fromStdString(name);
    QCOMPARE(tooltipOver(s.file1(), whole + ".sms"), whole + ".sms");
    QCOMPARE(tooltipOver(s.file1(), "Zelda.gg"), QString("Zelda.gg"));
    QCOMPARE(tooltipOver(s.dirList("Dir1"), whole), whole);
    QCOMPARE(tooltipOver(s.dirList("Dir2"), whole), whole);
    const QString drive = QString::fromStdString(drives[1].text);
    QCOMPARE(tooltipOver(s.drive("Drive1")->view(), drive), drive);
    s.drive("Drive1")->hidePopup();
    QTextDocument chosen;
    chosen.setHtml(s.drive("Drive1")->toolTip());
    QCOMPARE(chosen.toPlainText(), drive);
  }

  void drivesMoveTheirDirectoryListAndTheSourceFileList() {
    Session s;
    makeDirectories(at(s.dir.path(), "card/games"));
    writeFile(at(s.dir.path(), "card/Alpha.sms"), "a");
    // A mount point may itself look like a labelled one.
    makeDirectories(s.dir / "odd [name]");
    const std::string root = rootOf(s.roms);
    const std::vector<Drive> drives = {{root, root},
                                       {s.dir / "card [GAMES]", s.dir / "card"},
                                       {s.dir.path(), s.dir.path()},
                                       {s.dir / "odd [name] [LBL]", s.dir / "odd [name]"}};
    DriveListBox* drive1 = s.drive("Drive1");
    DriveListBox* drive2 = s.drive("Drive2");
    drive1->setDrives(drives);
    drive2->setDrives(drives);
    QCOMPARE(drive1->drive(), s.dir.path());  // the drive of the start directory

    // Up picks the card: one step moves Dir1 to its mount point and File1 with it.
    drive1->setFocus();
    QTest::keyClick(drive1, Qt::Key_Up);
    QCOMPARE(drive1->drive(), s.dir / "card [GAMES]");
    QCOMPARE(s.dirList("Dir1")->path(), s.dir / "card");
    QCOMPARE(s.file1()->entries(), Names{"Alpha.sms"});
    QCOMPARE(s.dirList("Dir2")->path(), s.roms);

    drive2->setFocus();
    QTest::keyClick(drive2, Qt::Key_Up);
    QCOMPARE(s.dirList("Dir2")->path(), s.dir / "card");
    QCOMPARE(s.file1()->directory(), s.dir / "card");

    QTest::keyClick(drive2, Qt::Key_Down);
    QTest::keyClick(drive2, Qt::Key_Down);
    QCOMPARE(drive2->drive(), s.dir / "odd [name] [LBL]");
    QCOMPARE(s.dirList("Dir2")->path(), s.dir / "odd [name]");
    QCOMPARE(s.dialogs.messages.size(), size_t(0));

    // A stick plugged in since: the list reads the drives again when it is
    // opened, and keeps the one chosen.
    std::vector<Drive> plugged = drives;
    plugged.insert(plugged.begin() + 1, {s.dir / "stick [NEW]", at(s.dir.path(), "card/games")});
    drive2->setDriveSource([&] { return plugged; });
    drive2->showPopup();
    drive2->hidePopup();
    QCOMPARE(drive2->count(), 5);
    QCOMPARE(drive2->itemText(1), QString::fromStdString(s.dir / "stick [NEW]"));
    QCOMPARE(drive2->drive(), s.dir / "odd [name] [LBL]");
    QCOMPARE(s.dirList("Dir2")->path(), s.dir / "odd [name]");
  }

  void anUnreadableDriveOrDirectoryIsReportedAndTheWindowStays() {
    Session s;
    const std::vector<Drive> drives = {{rootOf(s.roms), rootOf(s.roms)},
                                       {s.dir.path(), s.dir.path()},
                                       {s.dir / "reader [SD]", s.dir / "reader"}};
    for (const char* name : {"Drive1", "Drive2"}) {
      DriveListBox* drive = s.drive(name);
      drive->setDrives(drives);
      drive->setFocus();
      QTest::keyClick(drive, Qt::Key_Down);    // the card reader holds no medium
      QCOMPARE(drive->drive(), s.dir.path());  // back where its list still is
    }
    QCOMPARE(s.dialogs.messages.size(), size_t(2));
    QVERIFY(s.dialogs.messages[0].text.starts_with("Run-time error '76':"));
    QVERIFY(s.dialogs.messages[0].text.find(s.dir / "reader") != std::string::npos);

    // A directory that went away after it was listed.
    QVERIFY(std::filesystem::remove(hostPath(at(s.roms, "Extra"))));
    s.open(s.dirList("Dir1"), at(s.roms, "Extra"));
    QCOMPARE(s.dialogs.messages.size(), size_t(3));

    QCOMPARE(s.dirList("Dir1")->path(), s.roms);
    QCOMPARE(s.dirList("Dir2")->path(), s.roms);
    QCOMPARE(s.file1()->entries(), kAllFiles);
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());
  }
};

}  // namespace kavo

QTEST_MAIN(kavo::Form1BrowsingTest)
#include "form1_browsing_test.moc"
