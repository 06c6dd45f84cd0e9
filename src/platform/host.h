#pragma once

#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/program_end.h"

namespace kavo {

// The host services a handler works with, handed in so that tests can put
// real directories, scripted dialogs and a recording program end behind them.
struct Host {
  FileSystem& files;
  Dialogs& dialogs;
  ProgramEnd& programEnd;
};

}  // namespace kavo
