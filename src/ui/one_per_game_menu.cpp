// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/one_per_game_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QLocale>
#include <QMenu>

#include "catalog/one_per_game.h"
#include "controls/file_list_box.h"

namespace kavo {

namespace {

// The regions an order may put first besides the default's: the big three,
// the world releases, and the two countries where the console lived on.
constexpr const char* kFirstRegions[] = {"USA", "Europe", "Japan", "World", "Brazil", "Korea"};

std::vector<catalog::RegionOrder> offeredOrders(const std::string& locale) {
  std::vector<catalog::RegionOrder> orders{catalog::defaultRegionOrder(locale)};
  for (const char* first : kFirstRegions) {
    catalog::RegionOrder order = catalog::parseRegionOrder(first, locale);
    bool offered = false;
    for (const catalog::RegionOrder& earlier : orders)
      offered = offered || earlier.regions() == order.regions();
    if (!offered) orders.push_back(std::move(order));
  }
  return orders;
}

}  // namespace

OnePerGameMenu::OnePerGameMenu(FileListBox* list, const std::string& locale)
    : QObject(list), list_(list), orders_(offeredOrders(locale)) {
  toggle_ = new QAction("One version of each game", list);
  toggle_->setObjectName("OnePerGame");
  toggle_->setCheckable(true);
  auto* menu = new QMenu("Region order", list);
  menu->setObjectName("RegionOrder");
  group_ = new QActionGroup(menu);
  for (std::size_t i = 0; i < orders_.size(); ++i) {
    QAction* action = menu->addAction(QString::fromStdString(orders_[i].text()));
    action->setCheckable(true);
    action->setChecked(i == 0);
    group_->addAction(action);
    orderActions_.push_back(action);
  }
  list->setContextMenuPolicy(Qt::ActionsContextMenu);
  list->addAction(toggle_);
  list->addAction(menu->menuAction());
  connect(toggle_, &QAction::toggled, this, [this] { apply(); });
  connect(group_, &QActionGroup::triggered, this, [this] {
    if (toggle_->isChecked())
      apply();
    else
      toggle_->setChecked(true);  // applies it
  });
}

void OnePerGameMenu::apply() {
  if (!toggle_->isChecked()) {
    list_->setNarrowing({});
    return;
  }
  std::size_t picked = 0;
  while (picked + 1 < orderActions_.size() && !orderActions_[picked]->isChecked()) ++picked;
  list_->setNarrowing([order = orders_[picked]](const std::vector<std::string>& matching) {
    const catalog::Choice choice = catalog::choose(matching, order);
    std::vector<FileListBox::Kept> kept;
    for (std::size_t i : choice.kept()) kept.push_back({i, choice.files[i].reason});
    return kept;
  });
}

std::string windowLocale() {
  std::string locale = catalog::localeOfEnvironment();
  if (locale.empty()) locale = QLocale::system().name().toStdString();
  return locale;
}

}  // namespace kavo
