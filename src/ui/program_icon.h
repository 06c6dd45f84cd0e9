// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>

namespace kavo {

// The program's icon: a blue "PS2" wordmark across a dark grey field.
QIcon programIcon();

}  // namespace kavo
