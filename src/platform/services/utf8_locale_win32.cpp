// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// On Windows, libarchive converts names through the C run time's code page,
// and in the "C" locale it cannot: a 7z's or a marked zip's name outside
// ASCII comes back empty, and a marked zip's wide name is read through a
// null pointer. So the thread takes the OEM code page for the while (per
// thread, as _configthreadlocale allows), the names are read as wide text,
// which libarchive keeps whole (UTF-16 from a 7z, UTF-8 from a marked zip),
// and a zip's unmarked names are decoded from the OEM code page, as
// Windows' own tools write and read them. (The class's name speaks of the
// end: names reach the program as UTF-8.)

#include <windows.h>
// (after windows.h)
#include <locale.h>

#include <mutex>
#include <string>

#include "platform/services/utf8_locale.h"

namespace kavo {

namespace {

struct Saved {
  int mode;
  std::string locale;
};

// The run time's locale calls, one thread at a time. Even with a locale per
// thread, setlocale reads and counts the process's locale data, and two
// threads changing their locales at once (archives looked into side by
// side) crash it under Wine now and then.
std::mutex& localeCalls() {
  static std::mutex calls;
  return calls;
}

}  // namespace

Utf8ThreadLocale::Utf8ThreadLocale() {
  const std::lock_guard lock(localeCalls());
  const int mode = ::_configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
  const char* current = ::setlocale(LC_CTYPE, nullptr);
  auto* saved = new Saved{mode, current ? current : "C"};
  const std::string oem = "." + std::to_string(::GetOEMCP());
  if (!::setlocale(LC_CTYPE, oem.c_str())) ::setlocale(LC_CTYPE, "");
  previous_ = saved;
}

Utf8ThreadLocale::~Utf8ThreadLocale() {
  const std::lock_guard lock(localeCalls());
  auto* saved = static_cast<Saved*>(previous_);
  ::setlocale(LC_CTYPE, saved->locale.c_str());
  ::_configthreadlocale(saved->mode);
  delete saved;
}

}  // namespace kavo
