// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "catalog/region_order.h"

class QAction;
class QActionGroup;

namespace kavo {

class FileListBox;

// "One version of each game" in the file list's context menu, with the
// order of regions beneath it. Ticked, the list shows, and so the export
// takes and numbers, only the version of each game that the order keeps
// (see catalog/one_per_game.h), each entry's tooltip saying why; unticked,
// every file again. Picking an order ticks it too. It goes with the list.
class OnePerGameMenu : public QObject {
 public:
  // The orders offered begin with the default one of `locale` ("en_US.UTF-8"
  // puts USA first), then those that put another region first.
  OnePerGameMenu(FileListBox* list, const std::string& locale);

  QAction* toggle() const { return toggle_; }
  // One action an order, checkable, one of them checked.
  const std::vector<QAction*>& orderActions() const { return orderActions_; }

 private:
  void apply();

  FileListBox* list_;
  QAction* toggle_;
  QActionGroup* group_;
  std::vector<QAction*> orderActions_;
  std::vector<catalog::RegionOrder> orders_;
};

// The locale the window's default order is taken from: the environment's,
// as the command line's (LC_ALL, LANG), else the system's (Windows).
std::string windowLocale();

}  // namespace kavo
