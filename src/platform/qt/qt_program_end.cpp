// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_program_end.h"

#include <QApplication>

namespace kavo {

void QtProgramEnd::end(int exitStatus) {
  QApplication::closeAllWindows();
  QCoreApplication::exit(exitStatus);
}

}  // namespace kavo
