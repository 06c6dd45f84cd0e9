// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <locale.h>

#include "platform/services/utf8_locale.h"

namespace kavo {

namespace {

// Made once and kept: only the character type matters, and C.UTF-8 is built
// into the C library (glibc 2.35 and later), so it needs no installed
// locale. Null where it cannot be made; names then convert as the process's
// locale allows.
locale_t utf8Locale() {
  static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

Utf8ThreadLocale::Utf8ThreadLocale() {
  if (const locale_t locale = utf8Locale()) previous_ = ::uselocale(locale);
}

Utf8ThreadLocale::~Utf8ThreadLocale() {
  if (previous_) ::uselocale(static_cast<locale_t>(previous_));
}

}  // namespace kavo
