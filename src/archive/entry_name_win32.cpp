// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <archive_entry.h>

#include "archive/entry_name.h"
#include "text/utf8.h"

namespace kavo {

std::optional<std::string> hostEntryName(archive_entry* entry) {
  if (const wchar_t* name = archive_entry_pathname_w(entry)) return utf8::fromWide(name);
  return std::nullopt;
}

}  // namespace kavo
