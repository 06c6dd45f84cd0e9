// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/form1.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "export/export_failure.h"
#include "export/export_plan.h"
#include "export/export_writer.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "listing/directory_listing.h"
#include "platform/qt/handler_edge.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_progress.h"
#include "text/counts.h"
#include "ui/one_per_game_menu.h"
#include "ui/program_icon.h"

namespace kavo {

namespace {

constexpr int kTwipsPerPixel = 15;

// The export's prompt and its completion message.
constexpr char kPromptTitle[] = "Save FILES.TXT";
constexpr char kPromptText[] = "Where would you like FILES.TXT to be saved?  ie. C:\\";
constexpr char kCompletedMessage[] = "Completed Successfully!  Press OK to exit";

// "D already holds a layout of N games in ROMS0 to ROMSk. Replace it with
// the M games listed?"
std::string replaceQuestion(const std::string& destination, const DestinationDescription& earlier,
                            std::size_t listed) {
  return destination + " already holds " + earlier.text() + ". Replace it with the " +
         counted(listed, "game", "games") + " listed?";
}

// "D is your ROM folder, or lies inside it. ..."
std::string intoSourceQuestion(const std::string& destination) {
  return destination +
         " is your ROM folder, or lies inside it: the export would put FILES.TXT, KAVOSUMS.TXT "
         "and ROMS0 among your games, and the next export would list them as games. Export there "
         "all the same?";
}

// A place and size in twips, as the window was designed, shown at 96 dpi.
QRect twips(int left, int top, int width, int height) {
  return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
               height / kTwipsPerPixel);
}

template <typename Control>
Control* place(Control* control, const char* name, const QRect& rect) {
  control->setObjectName(name);
  control->setGeometry(rect);
  return control;
}

QPushButton* button(QWidget* parent, const char* caption) {
  auto* pushButton = new QPushButton(caption, parent);
  // Enter clicks a button while it has the focus; neither is the window's
  // default button, and Escape clicks neither.
  pushButton->setAutoDefault(true);
  pushButton->setDefault(false);
  return pushButton;
}

}  // namespace

Form1::Form1(FileSystem& files, ProgramEnd& programEnd, const std::string& startDirectory,
             Dialogs* dialogs, QWidget* parent)
    : QWidget(parent),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      files_(files),
      dialogs_(dialogs ? *dialogs : *ownDialogs_),
      programEnd_(programEnd) {
  setObjectName("Form1");
  setWindowTitle("Simple KAVO 1.0");
  setWindowIcon(programIcon());
  // The controls do not follow a resize, so the window has one size.
  setFixedSize(twips(0, 0, 4320, 5550).size());
  // The places were designed for a small dialog font; at 8 points the
  // captions fit their controls.
  QFont small = font();
  small.setPointSizeF(8);
  setFont(small);
  createControls(startDirectory);

  connect(Drive1, &DriveListBox::change, this, &Form1::Drive1_Change);
  connect(Dir1, &DirListBox::change, this, &Form1::Dir1_Change);
  connect(Drive2, &DriveListBox::change, this, &Form1::Drive2_Change);
  connect(Check1, &QCheckBox::clicked, this, &Form1::Check1_Click);
  connect(cmdQuit, &QPushButton::clicked, this, &Form1::cmdQuit_Click);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

  Drive1->setFocus();
}

Form1::~Form1() = default;

void Form1::createControls(const std::string& start) {
  // A directory list opened by the user reports a failure as browsing does.
  auto guard = [this](const std::function<void()>& body) { browse(body); };

  Drive1 = place(new DriveListBox(start, this), "Drive1", twips(30, 390, 2175, 315));
  Dir1 = place(new DirListBox(files_, guard, start, this), "Dir1", twips(15, 705, 2175, 1830));
  File1 = place(new FileListBox(files_, start, this), "File1", twips(2220, 390, 2040, 2040));
  new OnePerGameMenu(File1, windowLocale());  // its context menu; goes with it
  Drive2 = place(new DriveListBox(start, this), "Drive2", twips(30, 2865, 4185, 315));
  Dir2 = place(new DirListBox(files_, guard, start, this), "Dir2", twips(15, 3180, 4170, 1830));
  Check1 = place(new QCheckBox("Filter", this), "Check1", twips(2400, 15, 765, 300));
  txtFilter = place(new QLineEdit("*.sms; *.gg", this), "txtFilter", twips(3180, 15, 1080, 315));
  Label1 = place(new QLabel("Source ROMS", this), "Label1", twips(75, 90, 1140, 255));
  Label2 = place(new QLabel("Destination Output", this), "Label2", twips(45, 2565, 1800, 285));
  Command1 = place(button(this, "Save FILES.TXT"), "Command1", twips(2805, 5100, 1410, 360));
  cmdQuit = place(button(this, "Quit"), "cmdQuit", twips(60, 5130, 645, 345));

  QWidget* tabOrder[] = {Drive1, Dir1, File1, Drive2, Dir2, Check1, txtFilter, Command1, cmdQuit};
  for (size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);
}

// Browsing never ends the program: a drive or directory that cannot be read
// is reported and the window stays as it was.
void Form1::browse(const std::function<void()>& body) {
  runHandler(dialogs_, programEnd_, body, AfterError::KeepRunning);
}

// Sets the directory list's path to the chosen drive. When the drive cannot
// be read, the drive list goes back to the drive its directory list still
// shows, so the two never disagree.
void Form1::openChosenDrive(DriveListBox* drives, DirListBox* directories) {
  browse([drives, directories] {
    try {
      directories->setPath(drives->mountPoint());
    } catch (...) {
      drives->showDriveOf(directories->path());
      throw;
    }
  });
}

void Form1::Drive1_Change() { openChosenDrive(Drive1, Dir1); }

void Form1::Dir1_Change() {
  browse([this] { File1->setDirectory(Dir1->path()); });
}

void Form1::Drive2_Change() { openChosenDrive(Drive2, Dir2); }

void Form1::Check1_Click() {
  browse([this] {
    File1->setPattern(Check1->checkState() == Qt::Checked ? txtFilter->text().toStdString()
                                                          : std::string("*.*"));
  });
}

void Form1::cmdQuit_Click() { programEnd_.end(0); }

// Plans the export off this thread, asking the player where a refusal or
// an earlier layout leaves a choice; nothing when the answer is No.
std::optional<ExportPlan> Form1::planAsking(ExportRequest& request, DirectoryClaims& claims) {
  std::optional<ExportPlan> plan;
  QtProgress planning(this, kPromptTitle, progressDelay_);
  const auto replan = [&] {
    plan.reset();
    claims = {};  // released first: the plan claims the folders again
    planning.run([&] { plan = planExport(request, files_, claims); });
  };
  try {
    replan();
  } catch (const ExportFailure& refusal) {
    if (!refusal.insideSource()) throw;
    if (!dialogs_.question(intoSourceQuestion(request.destination), kApplicationTitle))
      return std::nullopt;
    request.intoSource = true;
    replan();
  }
  const DestinationDescription earlier = plan->destination();
  if (earlier.holdsLayout) {
    if (!dialogs_.question(replaceQuestion(request.destination, earlier, request.names.size()),
                           kApplicationTitle))
      return std::nullopt;
  } else if (!plan->leftovers.files.empty() || plan->leftovers.restoresIndex) {
    // Files an interrupted export left beside the index, with no layout to
    // ask about: refused, naming them, as a plain export refuses them.
    request.replace = false;
    replan();
  }
  return plan;
}

// Asks where the index goes, exports the listed files there, reports
// success and ends the program. Cancelling the prompt, or clearing its text,
// leaves everything as it was and the window open. When the destination
// holds an earlier export's layout, asks whether to replace it; No, too,
// leaves everything as it was and the window open. An export that is
// refused, or fails and is taken back, has left the destination as it was:
// its error is shown and the window stays as the player left it, both lists
// and the filter, to pick another folder or free some space and try again.
void Form1::Command1_Click() {
  browse([this] {
    const std::string destination = Dir2->path();
    const std::string answer =
        dialogs_.inputBox(kPromptText, kPromptTitle, proposedIndexPath(destination));
    if (answer.empty()) return;
    // Copying thousands of files to a slow drive takes minutes. The export
    // runs off this thread, so the window goes on painting and shows how
    // far it has come at no cost to the copying; its failure comes back
    // here and is reported like any other. It is planned as a replace,
    // which takes an earlier layout in the destination instead of refusing
    // it: whatever it refuses is reported first, and only then, when there
    // is an earlier layout, is the player asked. The destination stays
    // claimed meanwhile, so the plan still holds once the answer comes.
    ExportRequest request{destination, Dir1->path(), File1->entries(), answer};
    request.replace = true;
    request.wanted = romFilterOf(FilePattern(File1->pattern()));  // each archive's file it listed
    DirectoryClaims claims;
    const std::optional<ExportPlan> plan = planAsking(request, claims);
    if (!plan) return;
    QtProgress progress(this, kPromptTitle, progressDelay_);
    progress.run([&] { ExportWriter(*plan, files_, progress).run(); });
    dialogs_.messageBox(kCompletedMessage);
    programEnd_.end(0);
  });
}

}  // namespace kavo
