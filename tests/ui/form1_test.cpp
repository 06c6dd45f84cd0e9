#include "ui/form1.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>

#include "cli/export_command.h"
#include "export/rom_set_export.h"
#include "platform/controls/dir_list_box.h"
#include "platform/controls/drive_list_box.h"
#include "platform/controls/file_list_box.h"
#include "platform/qt/qt_program_end.h"
#include "platform/qt/qt_progress.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"
#include "support/modal_dialog.h"
#include "support/mounted_volume.h"
#include "support/scripted_dialogs.h"
#include "support/temp_directory.h"

namespace kavo {

using testing::makeDirectories;
using testing::readFile;
using testing::RecordingProgramEnd;
using testing::ScriptedDialogs;
using testing::TempDirectory;
using testing::writeFile;
using Names = std::vector<std::string>;

namespace {

// Runs `watch` before each copy, on the thread that makes it.
class WatchedCopies final : public ForwardingFileSystem {
 public:
  WatchedCopies(FileSystem& target, std::function<void()> watch)
      : ForwardingFileSystem(target), watch_(std::move(watch)) {}
  void copyInto(const std::string& from, const OpenDirectory& into,
                const std::string& name) override {
    watch_();
    target_.copyInto(from, into, name);
  }

 private:
  std::function<void()> watch_;
};

// A run of the program started in a fresh folder of ROM files.
struct Session {
  TempDirectory dir;
  std::string roms = dir / "roms";
  PosixFileSystem files;
  ScriptedDialogs dialogs;
  RecordingProgramEnd programEnd;
  QtProgramEnd realEnd;
  std::function<void()> onCopy = [] {};
  WatchedCopies watchedFiles{files, [this] { onCopy(); }};
  std::unique_ptr<Form1> form;

  // Scripted: the test's dialogs and a recorded end. RealDialogs: Qt's
  // dialogs, answered from a timer. RealHost: Qt's dialogs and the real end.
  // Watched: as RealDialogs, with onCopy run before every copy and the
  // progress dialog shown from the first step.
  enum Kind { Scripted, RealDialogs, RealHost, Watched };

  const Kind kind;

  explicit Session(Kind kind = Scripted) : kind(kind) {
    makeDirectories(roms + "/more");
    makeDirectories(roms + "/Extra");
    makeDirectories(roms + "/.cache");
    makeDirectories(dir / "out");
    for (const char* name :
         {"Sonic.sms", "alex kidd.SMS", "Zelda.gg", "README", "notes.txt", ".hidden.sms"})
      writeFile(roms + "/" + name, std::string("rom:") + name);
    writeFile(roms + "/more/Columns.gg", "rom:Columns");
    writeFile(roms + "/more/manual.pdf", "pdf");
    ::mkfifo((roms + "/pipe.sms").c_str(), 0600);
    ::symlink("Sonic.sms", (roms + "/link.sms").c_str());
    ::symlink("missing.gg", (roms + "/dangling.gg").c_str());
    form =
        std::make_unique<Form1>(kind == Watched ? static_cast<FileSystem&>(watchedFiles) : files,
                                kind == RealHost ? static_cast<ProgramEnd&>(realEnd) : programEnd,
                                roms, kind == Scripted ? &dialogs : nullptr);
    if (kind == Watched) form->setProgressDelay(std::chrono::milliseconds(0));
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get())) qWarning("window not active");
  }
  ~Session() {
    form.reset();
    // The real program end leaves every event loop for good, dialogs' too;
    // starting and stopping the application's own loop once clears that for
    // the tests that follow.
    if (kind == RealHost) {
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      QApplication::exec();
    }
  }

  template <typename Control>
  Control* get(const char* name) const {
    auto* control = form->findChild<Control*>(name);
    if (!control) qFatal("no control %s", name);
    return control;
  }
  DriveListBox* drive(const char* name) const { return get<DriveListBox>(name); }
  DirListBox* dirList(const char* name) const { return get<DirListBox>(name); }
  FileListBox* file1() const { return get<FileListBox>("File1"); }
  QCheckBox* check1() const { return get<QCheckBox>("Check1"); }
  QLineEdit* txtFilter() const { return get<QLineEdit>("txtFilter"); }
  QPushButton* button(const char* name) const { return get<QPushButton>(name); }

  // Highlights the entry of a directory list that opens `path` and presses
  // Enter on it, as a user does from the keyboard.
  void open(DirListBox* list, const std::string& path) const {
    list->setFocus();
    QListWidgetItem* target = nullptr;
    for (int row = 0; row < list->count(); ++row)
      if (list->item(row)->data(Qt::UserRole).toByteArray().toStdString() == path)
        target = list->item(row);
    if (!target) qFatal("no entry for %s", path.c_str());
    list->setCurrentItem(target);
    QTest::keyClick(list, Qt::Key_Return);
  }
};

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(int& count) : count_(count) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count_;
    return false;
  }

 private:
  int& count_;
};

// Answers the export's prompt with OK, keeping the proposed path, then
// reads the message box that follows and closes it with OK.
void acceptPromptThenReadMessage(QString& proposed, QString& message) {
  testing::whenModalShown([&](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    QVERIFY(prompt);
    proposed = prompt->textValue();
    prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    testing::whenModalShown([&](QWidget* next) {
      auto* box = qobject_cast<QMessageBox*>(next);
      QVERIFY(box);
      message = box->text();
      box->button(QMessageBox::Ok)->click();
    });
  });
}

// Types `answer` into the export's prompt and presses OK, then reads the
// message box that follows and closes it with OK.
void typeAnswerThenReadMessage(const QString& answer, QString& message) {
  testing::whenModalShown([answer, &message](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    QVERIFY(prompt);
    auto* edit = prompt->findChild<QLineEdit*>();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, answer);
    prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    testing::whenModalShown([&message](QWidget* next) {
      auto* box = qobject_cast<QMessageBox*>(next);
      QVERIFY(box);
      message = box->text();
      box->button(QMessageBox::Ok)->click();
    });
  });
}

const Names kAllFiles = {"alex kidd.SMS", "link.sms",  "notes.txt",
                         "README",        "Sonic.sms", "Zelda.gg"};
const Names kRomFiles = {"alex kidd.SMS", "link.sms", "Sonic.sms", "Zelda.gg"};

}  // namespace

class Form1Test : public QObject {
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
    QCOMPARE(s.file1()->count(), 6);
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

  // "Save FILES.TXT" asks where the index goes, proposing FILES.TXT in the
  // destination, exports there, reports success with the application's title
  // and ends the program.
  void saveAsksWhereThenExportsReportsAndEnds() {
    Session s;
    const std::string out = s.dir / "out";
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
    s.dialogs.answers = {out + "/files.txt"};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);

    QCOMPARE(s.dialogs.prompts.size(), size_t(1));
    QCOMPARE(s.dialogs.prompts[0].title, std::string("Save FILES.TXT"));
    QCOMPARE(s.dialogs.prompts[0].prompt,
             std::string("Where would you like FILES.TXT to be saved?  ie. C:\\"));
    QCOMPARE(s.dialogs.prompts[0].proposed, out + "/FILES.TXT");
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QCOMPARE(s.dialogs.messages[0].text, std::string("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.dialogs.messages[0].title, std::string());
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 0);
    QCOMPARE(testing::snapshot(out).size(), size_t(1 + 1 + kAllFiles.size()));
    QVERIFY(readFile(out + "/FILES.TXT").starts_with("alex kidd.SMS,ROMS0\\0.SMS\n"));
  }

  // An empty answer (Cancel, or the text cleared) changes nothing, reports
  // nothing and keeps the window open; a destination at the root is proposed
  // with a doubled slash.
  void anEmptyAnswerChangesNothing() {
    Session s;
    writeFile(s.roms + "/FILES.TXT", "an earlier index");
    const auto before = testing::snapshot(s.dir.path());
    s.dialogs.answers = {""};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QVERIFY(testing::snapshot(s.dir.path()) == before);
    QCOMPARE(s.dialogs.messages.size(), size_t(0));
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());

    s.open(s.dirList("Dir2"), "/");
    s.dialogs.answers = {""};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.prompts.at(1).proposed, std::string("//FILES.TXT"));
    QCOMPARE(s.programEnd.ends, 0);
  }

  // A failed export reports its run-time error, never success, and ends the
  // program with a failure status.
  void aFailedExportReportsItsErrorAndNoSuccess() {
    Session s;
    const std::string out = s.dir / "out";
    makeDirectories(out + "/ROMS0");
    writeFile(out + "/ROMS0/notes.txt", "not a copy");
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
    s.dialogs.answers = {out + "/FILES.TXT"};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QVERIFY2(s.dialogs.messages[0].text.starts_with("Run-time error '75':"),
             s.dialogs.messages[0].text.c_str());
    QVERIFY(s.dialogs.messages[0].text.find(out + "/ROMS0") != std::string::npos);
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 1);
  }

  // A destination holding an earlier export's layout: the window asks
  // before anything is written. No leaves everything as it was and the
  // window open; Yes replaces the layout with what a fresh export makes and
  // ends with the completion message.
  void anEarlierLayoutIsReplacedOnlyWhenTheUserSaysYes() {
    Session s;
    const std::string out = s.dir / "out", fresh = s.dir / "fresh";
    makeDirectories(fresh);
    exportRomSet({out, s.roms, {"Sonic.sms", "Zelda.gg"}, out + "/FILES.TXT"}, s.files);
    exportRomSet({fresh, s.roms, kAllFiles, fresh + "/FILES.TXT"}, s.files);
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
    const auto before = testing::snapshot(s.dir.path());

    s.dialogs.answers = {out + "/FILES.TXT"};
    s.dialogs.replies = {false};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.questions.size(), size_t(1));
    QCOMPARE(s.dialogs.questions[0].title, std::string("SimpleKAVO"));
    QCOMPARE(s.dialogs.questions[0].text,
             out +
                 " already holds a layout of 2 games in ROMS0 to ROMS0. Replace it with "
                 "the 6 games listed?");
    QVERIFY(testing::snapshot(s.dir.path()) == before);
    QCOMPARE(s.dialogs.messages.size(), size_t(0));
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());

    s.dialogs.answers = {out + "/FILES.TXT"};
    s.dialogs.replies = {true};
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QCOMPARE(s.dialogs.messages[0].text, std::string("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 0);
    QVERIFY(testing::snapshot(out) == testing::snapshot(fresh));
  }

  // The same through Qt's own dialogs: the question is a modal box between
  // the prompt and the completion message, and pressing Enter on it is No.
  void theReplaceQuestionIsAModalBoxAndEnterIsNo() {
    Session s(Session::RealDialogs);
    const std::string out = s.dir / "out";
    exportRomSet({out, s.roms, {"Zelda.gg"}, out + "/FILES.TXT"}, s.files);
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
    const auto before = testing::snapshot(out);
    QString completion;
    for (bool yes : {false, true}) {
      QString question, title;
      testing::whenModalShown([&](QWidget* modal) {
        auto* prompt = qobject_cast<QInputDialog*>(modal);
        QVERIFY(prompt);
        prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        testing::whenModalShown([&](QWidget* next) {
          auto* box = qobject_cast<QMessageBox*>(next);
          QVERIFY(box);
          question = box->text();
          title = box->windowTitle();
          if (!yes) {
            QTest::keyClick(box, Qt::Key_Return);
            return;
          }
          box->button(QMessageBox::Yes)->click();
          testing::whenModalShown([&](QWidget* last) {
            auto* message = qobject_cast<QMessageBox*>(last);
            QVERIFY(message);
            completion = message->text();
            message->button(QMessageBox::Ok)->click();
          });
        });
      });
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
      QVERIFY2(question.endsWith("holds a layout of 1 game in ROMS0 to ROMS0. Replace it with "
                                 "the 6 games listed?"),
               qPrintable(question));
      QCOMPARE(title, QString("SimpleKAVO"));
      if (!yes) {
        QVERIFY(testing::snapshot(out) == before);
        QCOMPARE(s.programEnd.ends, 0);
      }
    }
    QCOMPARE(completion, QString("Completed Successfully!  Press OK to exit"));
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(readFile(out + "/ROMS0/5.GG"), std::string("rom:Zelda.gg"));
  }

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
    s.open(s.dirList("Dir1"), s.roms + "/more");
    QCOMPARE(s.file1()->directory(), s.roms + "/more");
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
    QCOMPARE(dir1->path(), s.roms + "/Extra");
    QCOMPARE(s.file1()->directory(), s.roms + "/Extra");
    QCOMPARE(dir1->currentItem()->text(), QString("Extra"));

    // The destination list moves alone.
    DirListBox* dir2 = s.dirList("Dir2");
    s.open(dir2, s.dir.path());
    QCOMPARE(dir2->path(), s.dir.path());
    QCOMPARE(s.file1()->directory(), s.roms + "/Extra");

    // Double-clicking an ancestor opens it.
    const QRect rect = dir1->visualItemRect(dir1->item(0));
    QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(dir1->path(), std::string("/"));
    QCOMPARE(s.file1()->directory(), std::string("/"));
  }

  void drivesMoveTheirDirectoryListAndTheSourceFileList() {
    Session s;
    makeDirectories(s.dir / "card/games");
    writeFile(s.dir / "card/Alpha.sms", "a");
    // A mount point may itself look like a labelled one.
    makeDirectories(s.dir / "odd [name]");
    const std::vector<Drive> drives = {{"/", "/"},
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
  }

  void anUnreadableDriveOrDirectoryIsReportedAndTheWindowStays() {
    Session s;
    const std::vector<Drive> drives = {
        {"/", "/"}, {s.dir.path(), s.dir.path()}, {s.dir / "reader [SD]", s.dir / "reader"}};
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
    QVERIFY(::rmdir((s.roms + "/Extra").c_str()) == 0);
    s.open(s.dirList("Dir1"), s.roms + "/Extra");
    QCOMPARE(s.dialogs.messages.size(), size_t(3));

    QCOMPARE(s.dirList("Dir1")->path(), s.roms);
    QCOMPARE(s.dirList("Dir2")->path(), s.roms);
    QCOMPARE(s.file1()->entries(), kAllFiles);
    QCOMPARE(s.programEnd.ends, 0);
    QVERIFY(s.form->isVisible());
  }

  // The second folder's name is not UTF-8 (a card written elsewhere): the
  // proposal, accepted as it stands, keeps the folder's own bytes.
  void anExportThroughTheWindowWritesTheLayout() {
    for (const char* folder : {"out", "Carte m\xe9moire"}) {
      Session s(Session::RealDialogs);
      const std::string out = s.dir / folder;
      makeDirectories(out);
      s.open(s.dirList("Dir2"), s.dir.path());
      s.open(s.dirList("Dir2"), out);
      QTest::mouseClick(s.check1(), Qt::LeftButton);

      QString proposed, completion;
      acceptPromptThenReadMessage(proposed, completion);
      QTest::mouseClick(s.button("Command1"), Qt::LeftButton);

      QCOMPARE(proposed, QFile::decodeName(QByteArray::fromStdString(out + "/FILES.TXT")));
      QCOMPARE(completion, QString("Completed Successfully!  Press OK to exit"));
      QCOMPARE(s.programEnd.ends, 1);
      QCOMPARE(s.programEnd.lastStatus, 0);
      const std::string records =
          "alex kidd.SMS,ROMS0\\0.SMS\nlink.sms,ROMS0\\1.sms\n"
          "Sonic.sms,ROMS0\\2.sms\nZelda.gg,ROMS0\\3.gg\n";
      QCOMPARE(records.size(), size_t(89));
      QCOMPARE(readFile(out + "/FILES.TXT"), records + std::string(7, ' '));
      QCOMPARE(readFile(out + "/ROMS0/0.SMS"), std::string("rom:alex kidd.SMS"));
      QCOMPARE(readFile(out + "/ROMS0/1.SMS"), std::string("rom:Sonic.sms"));
      QCOMPARE(readFile(out + "/ROMS0/2.SMS"), std::string("rom:Sonic.sms"));
      QCOMPARE(readFile(out + "/ROMS0/3.GG"), std::string("rom:Zelda.gg"));
    }
  }

  // 200 copies, let through one at a time from the window's thread while
  // the export runs on its own: the progress dialog is up and modal, says
  // how far the export has come, the window goes on painting, and the bytes
  // are those the command line writes for the same folder, with no dialog
  // anywhere.
  void aLongExportShowsItsProgressAndWritesWhatTheCommandLineWrites() {
    Session s(Session::Watched);
    const std::string many = s.dir / "many", out = s.dir / "out", byCli = s.dir / "cli";
    makeDirectories(many);
    makeDirectories(byCli);
    for (int i = 0; i < 200; ++i)
      writeFile(many + "/Game " + std::to_string(i) + (i % 3 ? ".sms" : ".GG"),
                "rom " + std::to_string(i));
    s.open(s.dirList("Dir1"), s.dir.path());
    s.open(s.dirList("Dir1"), many);
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);

    struct Gate {
      std::mutex mutex;
      std::condition_variable opened;
      int released = 0, passed = 0;
      void pass() {
        std::unique_lock lock(mutex);
        opened.wait(lock, [&] { return passed < released; });
        ++passed;
      }
      void release(int copies) {
        std::lock_guard lock(mutex);
        released += copies;
        opened.notify_all();
      }
    } gate;
    s.onCopy = [&] { gate.pass(); };  // on the export's threads

    struct Sighting {
      QString text, detail;
      bool modal;
    };
    std::vector<Sighting> seen;
    int paints = 0;
    PaintCounter counter(paints);
    s.form->installEventFilter(&counter);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<ProgressDialog*>(top); dialog && dialog->isVisible())
          if (seen.empty() || seen.back().text != dialog->text())
            seen.push_back(
                {dialog->text(), dialog->detail(), QApplication::activeModalWidget() == dialog});
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
    int last = 0;
    for (const Sighting& sighting : seen) {
      QVERIFY(sighting.modal);
      if (sighting.text == "Writing to the drive") {  // the flush, after the copies
        QCOMPARE(sighting.detail, QString::fromStdString(out));
        last = 201;
        continue;
      }
      QVERIFY(last <= 200);
      QRegularExpressionMatch m =
          QRegularExpression("^Copying (\\d+) of 200$").match(sighting.text);
      QVERIFY2(m.hasMatch(), qPrintable(sighting.text));
      QVERIFY(m.captured(1).toInt() >= last);
      last = m.captured(1).toInt();
      QVERIFY(sighting.detail.startsWith("Game "));
    }
    QVERIFY(paints >= 3);
    QVERIFY(!QApplication::activeModalWidget());

    std::string args[] = {"simplekavo-export", many, byCli};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    std::ostringstream cliOut, cliErr;
    QCOMPARE(runExportCommand(3, argv, cliOut, cliErr), int(kExported));
    const auto tree = testing::snapshot(out);
    QCOMPARE(tree.size(), size_t(200 + 7 + 1));  // copies, ROMS0..ROMS6, index
    QVERIFY(tree == testing::snapshot(byCli));
  }

  // No doubles at all: the index at the proposed path is a link to a device,
  // which is never written through; the refusal ends the program with a
  // failure status and changes nothing.
  void aRefusedExportIsReportedAndEndsTheProgram() {
    Session s(Session::RealHost);
    QVERIFY(::symlink("/dev/full", (s.roms + "/FILES.TXT").c_str()) == 0);
    const auto before = testing::snapshot(s.dir.path());
    QString proposed, error;
    acceptPromptThenReadMessage(proposed, error);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(error, QString::fromStdString("Run-time error '75':\n\nPath/File access error\n\n" +
                                           s.roms + "/FILES.TXT: Is a symbolic link"));
    QVERIFY(!s.form->isVisible());
    QVERIFY(testing::snapshot(s.dir.path()) == before);
  }

  // No doubles either: a destination on a real disk that is full.
  void aFullDiskIsReportedBeforeAnythingIsWritten() {
    Session s(Session::RealHost);
    const std::string out = s.dir / "out";
    auto volume = testing::MountedVolume::tmpfs(out, 64 * 1024);
    if (!volume.mounted()) QSKIP(volume.why().c_str());
    writeFile(out + "/filler", std::string(64 * 1024, 'f'));
    s.open(s.dirList("Dir2"), s.dir.path());
    s.open(s.dirList("Dir2"), out);
    const auto before = testing::snapshot(s.dir.path());
    QString proposed, error;
    acceptPromptThenReadMessage(proposed, error);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QVERIFY2(error.startsWith(QString::fromStdString("Run-time error '61':\n\nDisk full\n\n" + out +
                                                     ": Needs ")),
             qPrintable(error));
    QVERIFY2(error.endsWith(" free"), qPrintable(error));
    QVERIFY(!s.form->isVisible());
    QVERIFY(testing::snapshot(s.dir.path()) == before);
  }

  // The prompt's own example is not a place for the index: the run-time
  // error is shown, the program ends with a failure status, nothing is made.
  void answeringThePromptsExampleCreatesNothing() {
    Session s(Session::RealDialogs);
    const auto before = testing::snapshot(s.dir.path());
    QString error;
    typeAnswerThenReadMessage("C:\\", error);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QCOMPARE(error, QString("Run-time error '52':\n\nBad file name or number\n\nC:\\: "
                            "Not a full path to a file, such as /media/usb/FILES.TXT"));
    QCOMPARE(s.programEnd.ends, 1);
    QCOMPARE(s.programEnd.lastStatus, 1);
    QVERIFY(testing::snapshot(s.dir.path()) == before);
  }
};

}  // namespace kavo

QTEST_MAIN(kavo::Form1Test)
#include "form1_test.moc"
