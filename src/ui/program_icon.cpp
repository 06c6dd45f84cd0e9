#include "ui/program_icon.h"

namespace kavo {

QIcon programIcon() { return QIcon(QStringLiteral(":/simplekavo.png")); }

}  // namespace kavo
