// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QToolTip>
#include <QtTest>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "platform/qt/qt_program_end.h"
#include "platform/qt/qt_progress.h"
#include "platform/services/drive_eject.h"
#include "platform/services/host_file_system.h"
#include "platform/services/paths.h"
#include "support/modal_dialog.h"
#include "support/scripted_dialogs.h"
#include "support/temp_directory.h"
#include "support/watching_file_system.h"
#include "ui/form1.h"

// What the window's tests share: a run of the program in a fresh folder of
// ROM files, reached control by control as a user would, and the answers to
// Qt's own dialogs.
namespace kavo::testing {

using Names = std::vector<std::string>;

// Stands in for the system's ejector: tells whether a folder lies on a
// removable drive as told, and answers each eject from a script. An eject
// first claims the folder as an export does, which fails while anything of
// the export still holds it, as an unmount would.
struct ScriptedEjector final : DriveEjector {
  explicit ScriptedEjector(FileSystem& files) : files(files) {}
  FileSystem& files;
  bool removable = false;
  std::deque<EjectResult> results;  // Ejected when none is left
  std::vector<std::string> looked, ejected;
  bool claimedWhileEjecting = false;  // the export still held the folder

  bool canEject(const std::string& folder) override {
    looked.push_back(folder);
    return removable;
  }
  EjectResult eject(const std::string& folder) override {
    ejected.push_back(folder);
    try {
      files.lockDirectory(folder);
    } catch (const RunTimeError&) {
      claimedWhileEjecting = true;
    }
    EjectResult result{EjectOutcome::Ejected, true, "Test Stick", {}};
    if (!results.empty()) {
      result = results.front();
      results.pop_front();
    }
    return result;
  }
};
// Whether the folder of ROMs holds a FIFO and symbolic links: Windows makes
// no FIFOs, and under Wine no links (CreateSymbolicLinkW answers without
// making one).
#ifdef _WIN32
inline constexpr bool kLinksAndFifos = false;
#else
inline constexpr bool kLinksAndFifos = true;
#endif

// `base` and a path below it written with "/", as the host spells it.
inline std::string at(const std::string& base, std::string below) {
  if (paths::kHost.backslashSeparates) std::replace(below.begin(), below.end(), '/', '\\');
  return paths::join(base, below);
}

// The root of the drive or file system a path is on: "/", "C:\\".
inline std::string rootOf(const std::string& path) { return paths::components(path, path).root; }

// A run of the program started in a fresh folder of ROM files.
struct Session {
  TempDirectory dir;
  std::string roms = dir / "roms";
  std::unique_ptr<FileSystem> hostFiles = hostFileSystem();
  FileSystem& files = *hostFiles;
  ScriptedDialogs dialogs;
  RecordingProgramEnd programEnd;
  QtProgramEnd realEnd;
  std::function<void()> onCopy = [] {};
  WatchingFileSystem watchedFiles{files,
                                  [this](FileCall call, const std::string&, const std::string&) {
                                    if (call == FileCall::Copy) onCopy();
                                  }};
  ScriptedEjector ejector{files};
  std::unique_ptr<Form1> form;

  // Scripted: the test's dialogs and a recorded end. RealDialogs: Qt's
  // dialogs, answered from a timer. RealHost: Qt's dialogs and the real end.
  // Watched: as RealDialogs, with onCopy run before every copy and the
  // progress dialog shown from the first step.
  enum Kind { Scripted, RealDialogs, RealHost, Watched };

  const Kind kind;

  explicit Session(Kind kind = Scripted) : kind(kind) {
    makeDirectories(at(roms, "more"));
    makeDirectories(at(roms, "Extra"));
    makeDirectories(at(roms, ".cache"));
    makeDirectories(dir / "out");
    for (const char* name :
         {"Sonic.sms", "alex kidd.SMS", "Zelda.gg", "README", "notes.txt", ".hidden.sms"})
      writeFile(at(roms, name), std::string("rom:") + name);
    writeFile(at(roms, "more/Columns.gg"), "rom:Columns");
    writeFile(at(roms, "more/manual.pdf"), "pdf");
#ifndef _WIN32
    ::mkfifo(at(roms, "pipe.sms").c_str(), 0600);
    std::filesystem::create_symlink("Sonic.sms", at(roms, "link.sms"));
    std::filesystem::create_symlink("missing.gg", at(roms, "dangling.gg"));
#endif
    form =
        std::make_unique<Form1>(kind == Watched ? static_cast<FileSystem&>(watchedFiles) : files,
                                kind == RealHost ? static_cast<ProgramEnd&>(realEnd) : programEnd,
                                roms, kind == Scripted ? &dialogs : nullptr);
    form->setDriveEjector(ejector);
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

// Holds the export's copies until the test lets them through, a given
// number at a time.
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
  int passedSoFar() {
    std::lock_guard lock(mutex);
    return passed;
  }
};

// The progress dialog, while it is up.
inline ProgressDialog* progressDialog() {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<ProgressDialog*>(top); dialog && dialog->isVisible())
      return dialog;
  return nullptr;
}

// The tooltip, as plain text, that resting the pointer on the item of `view`
// shown as `text` brings up.
inline QString tooltipOver(QAbstractItemView* view, const QString& text) {
  const QList<QModelIndex> found =
      view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly);
  if (found.isEmpty()) return QString("no item %1").arg(text);
  view->scrollTo(found[0]);
  const QPoint at = view->visualRect(found[0]).center();
  QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
  QApplication::sendEvent(view->viewport(), &help);
  QTextDocument shown;
  shown.setHtml(QToolTip::text());
  return shown.toPlainText();
}

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

// A message box as the player saw it.
struct ShownBox {
  QString text, detail;  // the message, and the line beneath it
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool ejectOffered = false;
};

inline ShownBox shownBox(QMessageBox* box) {
  return {box->text(), box->informativeText(), box->icon(),
          box->findChild<QPushButton*>("eject") != nullptr};
}

// Answers the export's prompt with OK, keeping the proposed path, then
// reads the message box that follows and closes it with OK.
inline void acceptPromptThenReadMessage(QString& proposed, QString& message,
                                        ShownBox* shown = nullptr) {
  whenModalShown([&, shown](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    QVERIFY(prompt);
    proposed = prompt->textValue();
    prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    whenModalShown([&message, shown](QWidget* next) {
      auto* box = qobject_cast<QMessageBox*>(next);
      QVERIFY(box);
      message = box->text();
      if (shown) *shown = shownBox(box);
      box->button(QMessageBox::Ok)->click();
    });
  });
}

// Types `answer` into the export's prompt and presses OK, then reads the
// message box that follows and closes it with OK.
inline void typeAnswerThenReadMessage(const QString& answer, QString& message,
                                      ShownBox* shown = nullptr) {
  whenModalShown([answer, &message, shown](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    QVERIFY(prompt);
    auto* edit = prompt->findChild<QLineEdit*>();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, answer);
    prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    whenModalShown([&message, shown](QWidget* next) {
      auto* box = qobject_cast<QMessageBox*>(next);
      QVERIFY(box);
      message = box->text();
      if (shown) *shown = shownBox(box);
      box->button(QMessageBox::Ok)->click();
    });
  });
}

inline const Names kAllFiles =
    kLinksAndFifos
        ? Names{"alex kidd.SMS", "link.sms", "notes.txt", "README", "Sonic.sms", "Zelda.gg"}
        : Names{"alex kidd.SMS", "notes.txt", "README", "Sonic.sms", "Zelda.gg"};
inline const Names kRomFiles = kLinksAndFifos
                                   ? Names{"alex kidd.SMS", "link.sms", "Sonic.sms", "Zelda.gg"}
                                   : Names{"alex kidd.SMS", "Sonic.sms", "Zelda.gg"};

// How many bytes the named files of a folder hold, a link's target's.
inline std::uintmax_t bytesOf(const std::string& folder, const Names& names) {
  std::uintmax_t bytes = 0;
  for (const std::string& name : names) bytes += std::filesystem::file_size(at(folder, name));
  return bytes;
}

}  // namespace kavo::testing
