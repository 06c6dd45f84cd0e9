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
// however narrow the view cuts it.
void showWholeNames(QAbstractItemView* view);

// The tooltip text that shows `name` as it is: a name is never read as
// markup, and its spaces are kept.
QString wholeNameTip(const QString& name);

}  // namespace kavo
