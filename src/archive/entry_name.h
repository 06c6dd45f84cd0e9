// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

struct archive_entry;

namespace kavo {

// An entry's name in UTF-8 as only this host's libarchive keeps it whole:
// on Windows its narrow forms pass through the ANSI code page and a zip's
// unmarked name is decoded from the OEM code page, so the name is taken in
// UTF-16 there. Nothing where the narrow forms are whole (Linux).
std::optional<std::string> hostEntryName(archive_entry* entry);

}  // namespace kavo
