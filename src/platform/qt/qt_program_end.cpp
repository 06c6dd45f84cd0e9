#include "platform/qt/qt_program_end.h"

#include <QApplication>

namespace kavo {

void QtProgramEnd::end(int exitStatus) {
  QApplication::closeAllWindows();
  QCoreApplication::exit(exitStatus);
}

}  // namespace kavo
