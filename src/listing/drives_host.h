// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

// The host's rules for the drive list (drives_posix.cpp, drives_win32.cpp): which volumes hold
// anyone's files, which drives are always there, and where a drive's files
// lie. drives.cpp picks and orders the drives by them.
namespace kavo::drives_host {

// Whether a volume of this file-system type holds the kernel's or the
// system's own state rather than anyone's files.
bool isSystemFileSystem(const std::string& type);

// The mount points offered whatever the host reports: the root.
const std::vector<std::string>& alwaysOffered();

// Whether `path` lies on the drive mounted at `mountPoint`: is it, or lies
// below it.
bool holds(const std::string& mountPoint, const std::string& path);

// How a drive list names the drive mounted at `mountPoint`: the mount point
// itself ("/media/ana/USB"), or on Windows a drive's letter ("e:").
std::string shownName(const std::string& mountPoint);

}  // namespace kavo::drives_host
