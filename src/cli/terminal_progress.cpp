// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/terminal_progress.h"

#include "cli/terminal_text.h"

namespace kavo {

TerminalProgress::TerminalProgress(std::ostream& terminal, std::size_t width)
    : terminal_(terminal), width_(width) {}

TerminalProgress::~TerminalProgress() { finish(); }

void TerminalProgress::step(const std::string& text, const std::string& detail, std::size_t,
                            std::size_t) {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Clock::now();
  // A step of another phase ("Writing to the drive" after "Copied ...") is
  // always shown: the flush may take long.
  const std::string phase = text.substr(0, text.find(' '));
  if (shown_ && phase == phase_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
  phase_ = phase;
  std::string line = text + "  " + terminalSafe(detail);
  if (width_ > 1 && line.size() > width_ - 1) {
    // Cut before a UTF-8 continuation byte, never inside a character.
    std::size_t cut = width_ - 1;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line.resize(cut);
  }
  // Carriage return, the line, then erase whatever an earlier line left.
  terminal_ << '\r' << line << "\x1b[K" << std::flush;
  lastShown_ = now;
  shown_ = true;
}

void TerminalProgress::finish() {
  std::lock_guard lock(mutex_);
  if (!shown_) return;
  terminal_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

}  // namespace kavo
