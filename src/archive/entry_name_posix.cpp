// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "archive/entry_name.h"

namespace kavo {

// libarchive hands names over as they are stored or in UTF-8 here.
std::optional<std::string> hostEntryName(archive_entry*) { return std::nullopt; }

}  // namespace kavo
