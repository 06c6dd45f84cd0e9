// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kavo {

// While it lives, the C library on the thread that made it takes text to be
// UTF-8, whatever locale the process runs in; then the thread's locale is
// put back. Libraries that convert text into "the current locale" (libarchive
// turns the UTF-16 names of a 7z, and a zip's names marked UTF-8, into it)
// then give UTF-8 alike in the window, whose toolkit sets a UTF-8 locale, and
// on a command line run under LANG=C, where a name with an accent could not
// be converted and was lost.
class Utf8ThreadLocale {
 public:
  Utf8ThreadLocale();
  ~Utf8ThreadLocale();
  Utf8ThreadLocale(const Utf8ThreadLocale&) = delete;
  Utf8ThreadLocale& operator=(const Utf8ThreadLocale&) = delete;

 private:
  void* previous_ = nullptr;  // the thread's locale before, when it was changed
};

}  // namespace kavo
