// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/utf8_locale.h"

namespace kavo {

// On Windows libarchive keeps the names it reads in UTF-16 and gives them in
// UTF-8 when asked (archive_entry_pathname_utf8), whatever the code page, so
// there is nothing to change.
Utf8ThreadLocale::Utf8ThreadLocale() {}
Utf8ThreadLocale::~Utf8ThreadLocale() {}

}  // namespace kavo
