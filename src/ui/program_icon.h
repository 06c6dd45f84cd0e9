#pragma once

#include <QIcon>

namespace kavo {

// The program's icon: a blue "PS2" wordmark across a dark grey field.
QIcon programIcon();

}  // namespace kavo
