// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's start on POSIX hosts: an X11 or Wayland display.

#include <cstdlib>

#include "app/application_host.h"

namespace kavo::application_host {

void useStartingConsole() {}

std::string whyNoWindow() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return {};
  }
  return "no display (DISPLAY and WAYLAND_DISPLAY are unset); "
         "to run without a screen, start it under Xvfb: "
         "xvfb-run -a simplekavo";
}

std::string fallbackStartFolder() { return "/"; }

}  // namespace kavo::application_host
