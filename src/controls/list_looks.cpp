// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "controls/list_looks.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QToolTip>

namespace kavo {

namespace {

// One folder at `size` pixels, drawn on a grid of 16.
QPixmap drawFolder(bool open, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 16.0, size / 16.0);
  painter.setPen(QPen(QColor(0x7a, 0x58, 0x06), 1.0));
  // The back, with its tab.
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6, 3.5);
  back.lineTo(7.5, 5);
  back.lineTo(14.5, 5);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  painter.setBrush(open ? QColor(0xc2, 0x8e, 0x1a) : QColor(0xe3, 0xb1, 0x2f));
  painter.drawPath(back);
  painter.setBrush(open ? QColor(0xfb, 0xe2, 0x8c) : QColor(0xf6, 0xd0, 0x62));
  if (open) {
    // The front flap, tilted forward: the inside shows above it.
    painter.drawPolygon(QPolygonF({{5, 8.5}, {15.5, 8.5}, {12.5, 13.5}, {0.5, 13.5}}));
  } else {
    painter.drawRect(QRectF(1.5, 6.5, 13, 7));
  }
  return pixmap;
}

// Answers a list's tooltip requests with the whole name of the item under
// the pointer, and beneath it the item's own tooltip, where it has one.
class WholeNames : public QObject {
 public:
  explicit WholeNames(QAbstractItemView* view) : QObject(view), view_(view) {}

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = view_->indexAt(help->pos());
    if (!index.isValid()) {
      QToolTip::hideText();
      return true;
    }
    QToolTip::showText(help->globalPos(),
                       wholeNameTip(index.data(Qt::DisplayRole).toString(),
                                    index.data(Qt::ToolTipRole).toString()),
                       view_->viewport(), view_->visualRect(index));
    return true;
  }

 private:
  QAbstractItemView* view_;
};

}  // namespace

QIcon folderIcon(bool open) {
  QIcon icon;
  for (int size : {16, 24, 32, 48}) icon.addPixmap(drawFolder(open, size));
  return icon;
}

void showWholeNames(QAbstractItemView* view) {
  view->viewport()->installEventFilter(new WholeNames(view));
}

QString wholeNameTip(const QString& name, const QString& note) {
  QString text = name;
  if (!note.isEmpty() && note != name) text += "\n" + note;
  return "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>";
}

}  // namespace kavo
