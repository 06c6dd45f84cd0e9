// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Save FILES.TXT": the prompt, the export, its question, progress and messages.
#include <QtTest>
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sstream>

#include "cli/export_command.h"
#include "export/next_step.h"
#include "export/rom_set_export.h"
#include "platform/qt/qt_progress.h"
#include "support/mounted_volume.h"
#include "ui/gui_test_base.h"

namespace kavo {

using namespace testing;

class Form1ExportTest : public QObject {
  Q_OBJECT

  // Opens the destination in Dir2 through its parent, as the player does.
  static void openDestination(Session& s, const std::string& out) {
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
  }

  // What the completion box says of an export of every listed file.
  static std::string allDone(const Session& s) {
    return std::to_string(kAllFiles.size()) + " games, " +
           std::to_string(bytesOf(s.roms, kAllFiles)) + " bytes, read back and verified";
  }

 private slots:
  // "Save FILES.TXT" asks where the index goes, proposing FILES.TXT in the
  // destination, exports there, reports success with the application's title
  // and ends the program.
  void saveAsksWhereThenExportsReportsAndEnds() {
    Session s;
    const std::string out = s.dir / "out";
    openDestination(s, out);
    s.dialogs.answers = {at(out, "files.txt")};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);

    QCOMPARE(s.dialogs.prompts.size(), size_t(1));
    QCOMPARE(s.dialogs.prompts[0].title, std::string("Save FILES.TXT"));
    QCOMPARE(s.dialogs.prompts[0].prompt,
             std::string("Where would you like FILES.TXT to be saved?  ie. C:\\"));
    QCOMPARE(s.dialogs.prompts[0].proposed, at(out, "FILES.TXT"));
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QCOMPARE(s.dialogs.messages[0].text, std::string("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.dialogs.messages[0].title, std::string());
    QCOMPARE(s.dialogs.messages[0].detail, allDone(s) + "\nYou can now unplug the drive");
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 0);
    QCOMPARE(snapshot(out).size(), size_t(1 + 1 + 1 + kAllFiles.size()));  // and the manifest
    QVERIFY(readFile(at(out, "FILES.TXT")).starts_with("alex kidd.SMS,ROMS0\\0.SMS\n"));
  }

  // An empty answer (Cancel, or the text cleared) changes nothing, reports
  // nothing and keeps the window open; a destination at the root is proposed
  // with a doubled slash.
  void anEmptyAnswerChangesNothing() {
    Session s;
    writeFile(at(s.roms, "FILES.TXT"), "an earlier index");
    const auto before = snapshot(s.dir.path());
    s.dialogs.answers = {""};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QVERIFY(snapshot(s.dir.path()) == before);
    QCOMPARE(s.dialogs.messages.size(), size_t(0));
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());

    s.open(s.dirList("Dir2"), rootOf(s.roms));
    s.dialogs.answers = {""};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.prompts.at(1).proposed, paths::join(rootOf(s.roms), "FILES.TXT"));
    QCOMPARE(s.programEnd.ends, 0);
  }

  // A failed export reports its run-time error, never success, and ends the
  // program with a failure status.
  // A refused export reports its run-time error, never success, and leaves
  // the window as the player left it, both lists and the filter, to try
  // again: here after removing what was in the way.
  void aRefusedExportReportsItsErrorAndTheWindowStays() {
    Session s;
    const std::string out = s.dir / "out";
    makeDirectories(at(out, "ROMS0"));
    writeFile(at(out, "ROMS0/notes.txt"), "not a copy");
    openDestination(s, out);
    QTest::mouseClick(s.check1(), Qt::LeftButton);
    s.dialogs.answers = {at(out, "FILES.TXT")};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QVERIFY2(s.dialogs.messages[0].text.starts_with("Run-time error '75':"),
             s.dialogs.messages[0].text.c_str());
    QVERIFY(s.dialogs.messages[0].text.find(at(out, "ROMS0")) != std::string::npos);
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());
    QCOMPARE(s.dirList("Dir2")->path(), out);
    QCOMPARE(s.file1()->entries(), kRomFiles);

    std::filesystem::remove_all(at(out, "ROMS0"));
    s.dialogs.answers = {at(out, "FILES.TXT")};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.messages.back().text,
             std::string("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 0);
  }

  // A destination holding an earlier export's layout: the window asks
  // before anything is written. No leaves everything as it was and the
  // window open; Yes replaces the layout with what a fresh export makes and
  // ends with the completion message.
  void anEarlierLayoutIsReplacedOnlyWhenTheUserSaysYes() {
    Session s;
    const std::string out = s.dir / "out", fresh = s.dir / "fresh";
    makeDirectories(fresh);
    exportRomSet({out, s.roms, {"Sonic.sms", "Zelda.gg"}, at(out, "FILES.TXT")}, s.files);
    exportRomSet({fresh, s.roms, kAllFiles, at(fresh, "FILES.TXT")}, s.files);
    openDestination(s, out);
    const auto before = snapshot(s.dir.path());

    s.dialogs.answers = {at(out, "FILES.TXT")};
    s.dialogs.replies = {false};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.questions.size(), size_t(1));
    QCOMPARE(s.dialogs.questions[0].title, std::string("SimpleKAVO"));
    QCOMPARE(s.dialogs.questions[0].text,
             out + " already holds a layout of 2 games in ROMS0 to ROMS0. Replace it with the " +
                 std::to_string(kAllFiles.size()) + " games listed?");
    QVERIFY(snapshot(s.dir.path()) == before);
    QCOMPARE(s.dialogs.messages.size(), size_t(0));
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());

    s.dialogs.answers = {at(out, "FILES.TXT")};
    s.dialogs.replies = {true};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QCOMPARE(s.dialogs.messages[0].text, std::string("Completed Successfully!  Press OK to exit"));
    const Names kept = {"Sonic.sms", "Zelda.gg"};
    QCOMPARE(s.dialogs.messages[0].detail,
             std::to_string(kAllFiles.size()) + " games: 2 reused, " +
                 std::to_string(kAllFiles.size() - 2) + " copied (" +
                 std::to_string(bytesOf(s.roms, kAllFiles) - bytesOf(s.roms, kept)) +
                 " bytes), 0 removed, read back and verified\nYou can now unplug the drive");
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 0);
    QVERIFY(snapshot(out) == snapshot(fresh));
  }

  // The same through Qt's own dialogs: the question is a modal box between
  // the prompt and the completion message, and pressing Enter on it is No.
  void theReplaceQuestionIsAModalBoxAndEnterIsNo() {
    Session s(Session::RealDialogs);
    const std::string out = s.dir / "out";
    exportRomSet({out, s.roms, {"Zelda.gg"}, at(out, "FILES.TXT")}, s.files);
    openDestination(s, out);
    const auto before = snapshot(out);
    QString completion;
    for (bool yes : {false, true}) {
      QString question, title;
      whenModalShown([&](QWidget* modal) {
        auto* prompt = qobject_cast<QInputDialog*>(modal);
        QVERIFY(prompt);
        prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        whenModalShown([&](QWidget* next) {
          auto* box = qobject_cast<QMessageBox*>(next);
          QVERIFY(box);
          question = box->text();
          title = box->windowTitle();
          if (!yes) {
            QTest::keyClick(box, Qt::Key_Return);
            return;
          }
          box->button(QMessageBox::Yes)->click();
          whenModalShown([&](QWidget* last) {
            auto* message = qobject_cast<QMessageBox*>(last);
            QVERIFY(message);
            completion = message->text();
            message->button(QMessageBox::Ok)->click();
          });
        });
      });
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
      QVERIFY2(question.endsWith(QString::fromStdString(
                   "holds a layout of 1 game in ROMS0 to ROMS0. Replace it with the " +
                   std::to_string(kAllFiles.size()) + " games listed?")),
               qPrintable(question));
      QCOMPARE(title, QString("SimpleKAVO"));
      if (!yes) {
        QVERIFY(snapshot(out) == before);
        QCOMPARE(s.programEnd.ends, 0);
      }
    }
    QCOMPARE(completion, QString("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.programEnd.ends, 1);
    // Zelda.gg is last in the list.
    QCOMPARE(readFile(at(out, "ROMS0/" + std::to_string(kAllFiles.size() - 1) + ".GG")),
             std::string("rom:Zelda.gg"));
  }

  // The second folder's name is not UTF-8 (a card written elsewhere): the
  // proposal, accepted as it stands, keeps the folder's own bytes.
  void anExportThroughTheWindowWritesTheLayout() {
    for (const char* folder : {"out", "Carte m\xe9moire"}) {
      // Windows names are UTF-16: a name that is not UTF-8 cannot be made.
      if (!kLinksAndFifos && std::string_view(folder) != "out") continue;
      Session s(Session::RealDialogs);
      const std::string out = s.dir / folder;
      makeDirectories(out);
      openDestination(s, out);
      QTest::mouseClick(s.check1(), Qt::LeftButton);

      QString proposed, completion;
      acceptPromptThenReadMessage(proposed, completion);
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);

      QCOMPARE(proposed, QFile::decodeName(QByteArray::fromStdString(at(out, "FILES.TXT"))));
      QCOMPARE(completion, QString("Completed Successfully!  Press OK to exit"));
      QCOMPARE(s.programEnd.ends, 1);
      QCOMPARE(s.programEnd.lastStatus, 0);
      // Where the host makes links, link.sms is listed and copied as the
      // ROM it names; the index is padded to a multiple of 16 bytes.
      const std::string link = kLinksAndFifos ? "link.sms,ROMS0\\1.sms\n" : "";
      const int after = kLinksAndFifos ? 1 : 0;
      const std::string records = "alex kidd.SMS,ROMS0\\0.SMS\n" + link + "Sonic.sms,ROMS0\\" +
                                  std::to_string(1 + after) + ".sms\nZelda.gg,ROMS0\\" +
                                  std::to_string(2 + after) + ".gg\n";
      QCOMPARE(records.size(), size_t(kLinksAndFifos ? 89 : 68));
      QCOMPARE(readFile(at(out, "FILES.TXT")), records + std::string(kLinksAndFifos ? 7 : 12, ' '));
      QCOMPARE(readFile(at(out, "ROMS0/0.SMS")), std::string("rom:alex kidd.SMS"));
      if (kLinksAndFifos) QCOMPARE(readFile(at(out, "ROMS0/1.SMS")), std::string("rom:Sonic.sms"));
      QCOMPARE(readFile(at(out, "ROMS0/" + std::to_string(1 + after) + ".SMS")),
               std::string("rom:Sonic.sms"));
      QCOMPARE(readFile(at(out, "ROMS0/" + std::to_string(2 + after) + ".GG")),
               std::string("rom:Zelda.gg"));
    }
  }

  // 200 copies, let through one at a time from the window's thread while
  // the export runs on its own: the progress dialog is up and modal, says
  // how far the export has come with one bar over copying and reading back
  // and the name of a game (the writer's tests say which), the window goes
  // on painting, and the bytes are those the command line writes for the
  // same folder, with no dialog anywhere.
  void aLongExportShowsItsProgressAndWritesWhatTheCommandLineWrites() {
    Session s(Session::Watched);
    const std::string many = s.dir / "many", out = s.dir / "out", byCli = s.dir / "cli";
    makeDirectories(many);
    makeDirectories(byCli);
    for (int i = 0; i < 200; ++i)
      writeFile(at(many, "Game ") + std::to_string(i) + (i % 3 ? ".sms" : ".GG"),
                "rom " + std::to_string(i));
    s.open(s.dirList("Dir1"), s.dir.path());
    s.open(s.dirList("Dir1"), many);
    openDestination(s, out);

    Gate gate;
    s.onCopy = [&] { gate.pass(); };  // on the export's threads

    struct Sighting {
      QString text, detail;
      bool modal;
      int bar;
    };
    std::vector<Sighting> seen;
    int paints = 0;
    PaintCounter counter(paints);
    s.form->installEventFilter(&counter);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (ProgressDialog* dialog = progressDialog())
        if (seen.empty() || seen.back().text != dialog->text())
          seen.push_back({dialog->text(), dialog->detail(),
                          QApplication::activeModalWidget() == dialog, dialog->barValue()});
      s.form->update();
      gate.release(1);
    });
    tick.start(2);
    QString proposed, completion;
    acceptPromptThenReadMessage(proposed, completion);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    tick.stop();
    gate.release(1000);  // should the export have stopped early
    QCOMPARE(completion, QString("Completed Successfully!  Press OK to exit"));
    // Shown at the timer's rate: some of the copies, in order.
    QVERIFY2(seen.size() >= 2, qPrintable(QString::number(seen.size())));
    // The copies in order, the flush halfway, then reading them back in
    // order, on one bar that never goes back.
    int phase = 0, last = 0, bar = 0;
    bool withinAJob = false;  // a count no job of 30 copies ends at
    for (const Sighting& sighting : seen) {
      QVERIFY(sighting.modal);
      QVERIFY2(sighting.bar >= bar, qPrintable(sighting.text));
      bar = sighting.bar;
      if (sighting.text == "Writing to the drive") {
        QCOMPARE(sighting.detail, QString::fromStdString(out));
        QVERIFY(phase <= 1);
        QCOMPARE(sighting.bar, 500);
        phase = 1;
        continue;
      }
      QRegularExpressionMatch m =
          QRegularExpression("^(Copied|Read back) (\\d+) of 200$").match(sighting.text);
      QVERIFY2(m.hasMatch(), qPrintable(sighting.text));
      const int now = m.captured(1) == "Copied" ? 0 : 2;
      QVERIFY(now >= phase);
      QVERIFY(now == 0 ? sighting.bar <= 500 : sighting.bar > 500);
      if (now > phase) last = 0;
      phase = now;
      QVERIFY(m.captured(2).toInt() >= last);
      last = m.captured(2).toInt();
      withinAJob = withinAJob || last % 30 != 0;
      QVERIFY(sighting.detail.startsWith("Game "));
    }
    QVERIFY(withinAJob);  // the count follows each copy, not each job
    QVERIFY(paints >= 3);
    QVERIFY(!QApplication::activeModalWidget());

    std::string args[] = {"simplekavo-export", many, byCli};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    std::ostringstream cliOut, cliErr;
    QCOMPARE(runExportCommand(3, argv, cliOut, cliErr), int(kExported));
    const auto tree = snapshot(out);
    QCOMPARE(tree.size(), size_t(200 + 7 + 2));  // copies, ROMS0..ROMS6, index, manifest
    QVERIFY(tree == snapshot(byCli));
  }

  // Cancel takes the export back as Ctrl-C does on the command line: the
  // run-time error says so, with a warning icon, the destination is as it
  // was and the window stays; the next export runs to its end. (Closing the
  // dialog and Escape cancel as this button does: the progress dialog's own
  // test.)
  void cancellingTakesTheExportBackAndTheWindowStays() {
    Session s(Session::Watched);
    const std::string many = s.dir / "many", out = s.dir / "out";
    makeDirectories(many);
    for (int i = 0; i < 100; ++i) writeFile(many + "/Game " + std::to_string(i) + ".sms", "rom");
    writeFile(out + "/mine.txt", "the player's");
    s.open(s.dirList("Dir1"), s.dir.path());
    s.open(s.dirList("Dir1"), many);
    openDestination(s, out);
    const auto before = snapshot(out);
    Gate gate;
    s.onCopy = [&] { gate.pass(); };
    bool cancelled = false, stayedUp = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      ProgressDialog* dialog = progressDialog();
      if (!dialog || gate.passedSoFar() < 40) {
        gate.release(1);
      } else if (!cancelled) {
        QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);
        cancelled = true;
        stayedUp = dialog->isVisible();
        gate.release(1000);
      }
    });
    tick.start(2);
    QString proposed, error;
    ShownBox box;
    acceptPromptThenReadMessage(proposed, error, &box);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    tick.stop();
    gate.release(1000);
    QVERIFY(cancelled);
    QVERIFY(stayedUp);
    QCOMPARE(error, QString("Run-time error '18':\n\nUser interrupt occurred\n\nCancelled\n\n"
                            "The destination was left as it was."));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.detail, QString());
    QVERIFY(snapshot(out) == before);
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());

    s.onCopy = [] {};
    QString completion;
    acceptPromptThenReadMessage(proposed, completion);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(completion, QString("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.programEnd.ends, 1);
  }

  // No doubles at all: the index at the proposed path is a link to a device,
  // which is never written through; the refusal changes nothing, and the
  // window stays.
  void aRefusedExportIsReportedAndTheWindowStays() {
#ifdef _WIN32
    QSKIP("Wine makes no symbolic links and has no /dev/full");
#else
    Session s(Session::RealHost);
    QVERIFY(::symlink("/dev/full", (at(s.roms, "FILES.TXT")).c_str()) == 0);
    const auto before = snapshot(s.dir.path());
    QString proposed, error;
    acceptPromptThenReadMessage(proposed, error);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(error, QString::fromStdString("Run-time error '75':\n\nPath/File access error\n\n" +
                                           at(s.roms, "FILES.TXT: Is a symbolic link")));
    QVERIFY(s.form->isVisible());
    QVERIFY(snapshot(s.dir.path()) == before);
#endif
  }

  // No doubles either: a destination on a real disk that is full.
  void aFullDiskIsReportedBeforeAnythingIsWritten() {
    Session s(Session::RealHost);
    const std::string out = s.dir / "out";
    auto volume = MountedVolume::tmpfs(out, 64 * 1024);
    if (!volume.mounted()) QSKIP(volume.why().c_str());
    writeFile(at(out, "filler"), std::string(64 * 1024, 'f'));
    openDestination(s, out);
    const auto before = snapshot(s.dir.path());
    QString proposed, error;
    ShownBox box;
    acceptPromptThenReadMessage(proposed, error, &box);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QVERIFY2(error.startsWith(QString::fromStdString("Run-time error '61':\n\nDisk full\n\n" + out +
                                                     ": Needs ")),
             qPrintable(error));
    QVERIFY2(error.endsWith(" free"), qPrintable(error));
    // How much more must be free: at least the block the filler takes.
    QCOMPARE(box.icon, QMessageBox::Warning);
    QRegularExpressionMatch more =
        QRegularExpression(
            "^Free at least ([\\d,]+) bytes .* on that drive, or export fewer "
            "games\\.$")
            .match(box.detail);
    QVERIFY2(more.hasMatch(), qPrintable(box.detail));
    QVERIFY(QString(more.captured(1)).remove(',').toLongLong() >= 4096);
    QVERIFY(s.form->isVisible());
    QVERIFY(snapshot(s.dir.path()) == before);
  }

  // The completion message stays as it is, with what was done beneath it.
  // Where the destination's drive cannot be ejected from here, that line
  // says it may be unplugged; where it can, the box offers Eject, and says
  // so only once the drive is ejected, after the export has let go of its
  // folders. A busy drive stays mounted, says so and is offered again; a
  // drive the system does not let go says why.
  void theCompletionSaysWhatWasDoneAndOffersEjectWhereItCan() {
    const std::string done = allDone(Session());
    const std::string unplug = done + "\nYou can now unplug the drive";
    const EjectResult busy{EjectOutcome::Busy, false, "Test Stick", "target is busy"};
    const EjectResult refused{EjectOutcome::NotAllowed, false, "Test Stick", "Not authorized"};
    const EjectResult ejected{EjectOutcome::Ejected, true, "Test Stick", {}};
    struct Row {
      const char* what;
      bool removable;
      std::deque<bool> ejectPressed;
      std::deque<EjectResult> results;
      std::vector<std::pair<std::string, bool>> shown;  // each box's detail, Eject offered
    };
    const Row rows[] = {
        {"not removable", false, {}, {}, {{unplug, false}}},
        {"removable, OK", true, {false}, {}, {{done, true}}},
        {"ejected", true, {true}, {ejected}, {{done, true}, {unplug, false}}},
        {"busy, then ejected",
         true,
         {true, true},
         {busy, ejected},
         {{done, true}, {done + "\n" + busy.message(), true}, {unplug, false}}},
        {"not allowed",
         true,
         {true},
         {refused},
         {{done, true}, {done + "\n" + refused.message(), false}}},
    };
    for (const Row& row : rows) {
      Session s;
      const std::string out = s.dir / "out";
      openDestination(s, out);
      s.ejector.removable = row.removable;
      s.ejector.results = row.results;
      s.dialogs.ejects = row.ejectPressed;
      s.dialogs.answers = {at(out, "FILES.TXT")};
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
      std::vector<std::pair<std::string, bool>> shown;
      for (const auto& message : s.dialogs.messages) {
        QCOMPARE(message.kind, ScriptedDialogs::Message::Kind::Completion);
        QCOMPARE(message.text, std::string("Completed Successfully!  Press OK to exit"));
        shown.emplace_back(message.detail, message.offerEject);
      }
      QVERIFY2(shown == row.shown, row.what);
      QCOMPARE(s.ejector.looked, Names{out});
      QCOMPARE(s.ejector.ejected, Names(row.results.size(), out));
      QVERIFY2(!s.ejector.claimedWhileEjecting, row.what);
      QCOMPARE(s.programEnd.ends, 1);
    }
  }

  // Names the console cannot show as they are: after the plan's other
  // question, the window names the first ten and counts the rest, and asks;
  // No leaves everything as it was.
  void namesTheConsoleCannotShowAreNamedAndAskedAbout() {
    Session s;
    const std::string out = s.dir / "out", accents = s.dir / "accents";
    makeDirectories(accents);
    Names names;
    for (int i = 1; i <= 12; ++i) {
      names.push_back("Mad\u014d " + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".sms");
      writeFile(accents + "/" + names.back(), "rom");
    }
    writeFile(accents + "/Sonic.sms", "rom");  // shown as it is
    exportRomSet({out, s.roms, {"Zelda.gg"}, out + "/FILES.TXT"}, s.files);
    s.open(s.dirList("Dir1"), s.dir.path());
    s.open(s.dirList("Dir1"), accents);
    openDestination(s, out);
    const auto before = snapshot(out);
    std::string expected =
        "The console cannot show every character of 12 names; the index will name them so:\n";
    for (int i = 0; i < 10; ++i)
      expected += "\n" + names[i] + "  \u2192  Mad? " + names[i].substr(names[i].size() - 6);
    expected += "\nand 2 more names (12 in all)\n\nExport them all the same?";
    for (bool yes : {false, true}) {
      s.dialogs.answers = {out + "/FILES.TXT"};
      s.dialogs.replies = {true, yes};
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
      QCOMPARE(s.dialogs.questions.size(), size_t(yes ? 4 : 2));
      QVERIFY(s.dialogs.questions.back().text.find("Replace it with") == std::string::npos);
      QVERIFY(s.dialogs.questions.end()[-2].text.find("Replace it with") != std::string::npos);
      QCOMPARE(s.dialogs.questions.back().text, expected);
      if (!yes) {
        QVERIFY(snapshot(out) == before);
        QCOMPARE(s.dialogs.messages.size(), size_t(0));
        QCOMPARE(s.programEnd.ends, 0);
      }
    }
    QCOMPARE(s.programEnd.ends, 1);
    QVERIFY(readFile(out + "/FILES.TXT").starts_with("Mad? 01.sms,ROMS0\\0.sms\n"));
  }

  // Each run-time error box keeps its number and description, has a
  // warning icon, says beneath what to do next, and changes nothing. A
  // stick unplugged after its folder was opened in Dir2 leaves an empty
  // folder on the computer's own disk: that export is refused too.
  void errorBoxesSayWhatToDoNext() {
    enum Volume { None, LockedCard, Unplugged };
    struct Row {
      const char* what;
      std::function<void(const std::string& out)> arrange;
      std::string answer;  // "OUT" stands for the destination, paths with "/"
      std::string number, says;
      std::string nextStep;  // likewise, and "EXAMPLE" for the example path
      Volume volume = None;
    };
    const auto nothing = [](const std::string&) {};
    const Row rows[] = {
        {"a file of the player's in a group folder",
         [](const std::string& out) {
           makeDirectories(at(out, "ROMS0"));
           writeFile(at(out, "ROMS0/notes.txt"), "mine");
         },
         "OUT/FILES.TXT", "75", "notes.txt", "Move or delete it, then export again."},
        {"an answer that names a folder",
         [](const std::string& out) { makeDirectories(at(out, "sub")); }, "OUT/sub", "75",
         "Is a directory",
         "Give the full path of the file itself, such as EXAMPLE; in this folder, "
         "OUT/sub/FILES.TXT."},
        // A natural answer where drives have letters: the root of drive C:.
        paths::kHost.driveLetters
            ? Row{"the prompt's example", nothing, "C:\\", "52", "Names a folder, not a file",
                  "Give the full path of the file itself, such as EXAMPLE; in this folder, "
                  "C:\\FILES.TXT."}
            : Row{"the prompt's example", nothing, "C:\\", "52", "Not a full path",
                  "Export again and keep the path proposed, or type a full path of your own."},
        {"a card with its lock switch on", nothing, "OUT/FILES.TXT", "70", "",
         "Slide the card's lock switch off, or mount it writable.", LockedCard},
        {"a stick unplugged after it was picked", nothing, "OUT/FILES.TXT", "68",
         "Its drive is gone", "", Unplugged},
    };
    const auto rooted = [](std::string text, const std::string& out) {
      if (paths::kHost.backslashSeparates) std::replace(text.begin(), text.end(), '/', '\\');
      for (const auto& [token, value] :
           {std::pair<std::string, std::string>{"OUT", out}, {"EXAMPLE", kIndexPathExample}})
        if (const auto at = text.find(token); at != std::string::npos)
          text.replace(at, token.size(), value);
      return text;
    };
    for (const Row& row : rows) {
      Session s;
      const std::string out = s.dir / "out";
      std::optional<MountedVolume> volume;
      if (row.volume != None) {
        makeDirectories(out);
        volume.emplace(MountedVolume::tmpfs(out, 1 << 20, row.volume == LockedCard));
        if (!volume->mounted()) {
          qWarning("%s: %s", row.what, volume->why().c_str());
          continue;
        }
      }
      row.arrange(out);
      openDestination(s, out);
      if (row.volume == Unplugged) volume.reset();
      const auto before = snapshot(s.dir.path());
      s.dialogs.answers = {rooted(row.answer, out)};
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
      QCOMPARE(s.dialogs.messages.size(), size_t(1));
      const auto& box = s.dialogs.messages[0];
      QCOMPARE(box.kind, ScriptedDialogs::Message::Kind::Error);
      QVERIFY2(box.text.starts_with("Run-time error '" + row.number + "':\n\n"), box.text.c_str());
      QVERIFY2(box.text.find(row.says) != std::string::npos, box.text.c_str());
      QCOMPARE(QString::fromStdString(box.detail),
               QString::fromStdString(rooted(row.nextStep, out)));
      QVERIFY(snapshot(s.dir.path()) == before);
      QCOMPARE(s.programEnd.ends, 0);
    }
  }

  // The prompt's own example is not a place for the index: the run-time
  // error is shown, nothing is made, and the window stays. On Linux "C:\"
  // is a relative name; on Windows it is a drive, a folder.
  void answeringThePromptsExampleCreatesNothing() {
    Session s(Session::RealDialogs);
    const auto before = snapshot(s.dir.path());
    QString error;
    typeAnswerThenReadMessage("C:\\", error);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(error, QString("Run-time error '52':\n\nBad file name or number\n\nC:\\: ") +
                        (paths::kHost.driveLetters
                             ? "Names a folder, not a file"
                             : "Not a full path to a file, such as /media/usb/FILES.TXT"));
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());
    QVERIFY(snapshot(s.dir.path()) == before);
  }
};

}  // namespace kavo

QTEST_MAIN(kavo::Form1ExportTest)
#include "form1_export_test.moc"
