#include "ui/program_icon.h"

// The picture is compiled into this static library; registering it here
// makes sure the linker keeps it.
static void registerResources() { Q_INIT_RESOURCE(resources); }

namespace kavo {

QIcon programIcon() {
  static const bool registered = (registerResources(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/simplekavo.png"));
}

}  // namespace kavo
