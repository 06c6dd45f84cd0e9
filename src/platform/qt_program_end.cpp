#include "platform/qt_program_end.h"

#include <QApplication>

namespace kavo {

void QtProgramEnd::end() {
  QApplication::closeAllWindows();
  QCoreApplication::exit(0);
}

}  // namespace kavo
