// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/program_icon.h"

namespace kavo {

QIcon programIcon() { return QIcon(QStringLiteral(":/simplekavo.png")); }

}  // namespace kavo
