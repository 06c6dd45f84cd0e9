// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <windows.h>

#include "text/normal_form.h"

namespace kavo {

namespace {

// UTF-8 to UTF-16 and back, refusing what is not valid.
std::optional<std::wstring> wide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      result.data(), size);
  return result;
}

std::string narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

}  // namespace

std::optional<std::string> composed(std::string_view text) {
  const std::optional<std::wstring> source = wide(text);
  if (!source) return std::nullopt;
  if (source->empty()) return std::string();
  const int length = static_cast<int>(source->size());
  // The composed form is never longer than the text; the system says how
  // long a buffer it wants all the same.
  int size = NormalizeString(NormalizationC, source->data(), length, nullptr, 0);
  for (int attempt = 0; size > 0 && attempt < 4; ++attempt) {
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    const int got = NormalizeString(NormalizationC, source->data(), length, result.data(), size);
    if (got > 0) {
      result.resize(static_cast<std::size_t>(got));
      return narrow(result);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    size = -got;
  }
  return std::nullopt;
}

}  // namespace kavo
