// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QListWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/services/file_system.h"

namespace kavo {

// The directory list: the open directory as the chain of its ancestors from
// "/", each one step further indented with an open folder, then its
// subdirectories with closed folders. Arrow keys and a single click only
// highlight an entry, which keeps its closed folder; Enter or a double click
// opens it. change() is raised on every change of the path, by the user or by
// setPath(), before that returns. Each entry's whole name is its tooltip.
class DirListBox : public QListWidget {
  Q_OBJECT

 public:
  // Runs what the user asks of the list (opening an entry) and deals with
  // the RunTimeError it may throw; the window supplies it.
  using Guard = std::function<void(const std::function<void()>&)>;

  // Starts at `startDirectory`; lists through `files`.
  DirListBox(FileSystem& files, Guard guard, const std::string& startDirectory,
             QWidget* parent = nullptr);

  // The open directory's full path, as bytes.
  const std::string& path() const { return path_; }

  // The volume (its device number) the open directory lay on when it was
  // opened; nothing when that could not be told. A drive unplugged since
  // leaves its mount point on another volume.
  std::optional<std::uint64_t> device() const { return device_; }

  // Opens `path`, absolute or relative to the open directory. A path that
  // cannot be opened or read throws RunTimeError and leaves the list as it
  // was.
  void setPath(const std::string& path);

 signals:
  void change();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void openHighlighted();
  void showDirectory(const std::string& path, const std::vector<std::string>& subdirectories);

  FileSystem& files_;
  Guard guard_;
  std::string path_;
  std::optional<std::uint64_t> device_;
};

}  // namespace kavo
