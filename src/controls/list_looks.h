// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QString>

class QAbstractItemView;

// What the lists share in how they look.
namespace kavo {

// A folder, drawn here so that an opened one looks plainly open whatever the
// desktop's icon theme: open, its front flap tilts forward and shows its
// inside; closed, it stands shut.
QIcon folderIcon(bool open);

// Shows each item's whole name as its tooltip when the pointer rests on it,
// however narrow the view cuts it, with the item's own tooltip beneath.
void showWholeNames(QAbstractItemView* view);

// The tooltip text that shows `name` as it is, and `note` on a line beneath
// it when there is one (why the entry is listed, say): neither is ever read
// as markup, and their spaces are kept.
QString wholeNameTip(const QString& name, const QString& note = {});

}  // namespace kavo
