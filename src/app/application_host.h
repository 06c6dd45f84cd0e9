// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

// What the window asks of the host before it starts (application_posix.cpp,
// application_win32.cpp).
namespace kavo::application_host {

// Makes standard output and error reach the console the program was started
// from, where they lead nowhere (a Windows program with a window has no
// console of its own), so that --help and a usage error are seen.
void useStartingConsole();

// Why no window can be shown in this session, in one line for standard
// error; empty when one can.
std::string whyNoWindow();

// Where the lists start when the folder the program was started in has gone:
// the root of the file system (on Windows, of the drive Windows is on).
std::string fallbackStartFolder();

}  // namespace kavo::application_host
