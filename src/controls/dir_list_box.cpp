// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "controls/dir_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <vector>

#include "controls/list_looks.h"
#include "listing/directory_listing.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 8;

// Indents each entry by its depth below the root ("/", "C:\\").
class IndentingDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.adjust(indent(index), 0, 0, 0);
    QStyledItemDelegate::paint(painter, shifted, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
  }

 private:
  static int indent(const QModelIndex& index) {
    return index.data(kLevelRole).toInt() * kIndentPerLevel;
  }
};

QString shown(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

DirListBox::DirListBox(FileSystem& files, Guard guard, const std::string& startDirectory,
                       QWidget* parent)
    : QListWidget(parent), files_(files), guard_(std::move(guard)) {
  setItemDelegate(new IndentingDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  showWholeNames(this);
  const paths::Components parts = paths::components(startDirectory, startDirectory);
  const std::string start = paths::fromComponents(parts, parts.names.size());
  std::vector<std::string> subdirectories;
  try {
    subdirectories = listSubdirectories(files_, start);
  } catch (const RunTimeError&) {
    // An unreadable start directory still shows where the program is.
  }
  showDirectory(start, subdirectories);
}

void DirListBox::setPath(const std::string& path) {
  const paths::Components parts = paths::components(path, path_);
  const std::string target = paths::fromComponents(parts, parts.names.size());
  const std::vector<std::string> subdirectories = listSubdirectories(files_, target);
  const bool changed = target != path_;
  showDirectory(target, subdirectories);
  if (changed) emit change();
}

void DirListBox::showDirectory(const std::string& path,
                               const std::vector<std::string>& subdirectories) {
  path_ = path;
  device_.reset();
  try {
    if (const FileStatus status = files_.status(path, Look::Target);
        status.type == FileType::Directory)
      device_ = status.device;
  } catch (const RunTimeError&) {
    // listed all the same; an export there says what is wrong
  }
  clear();
  const QIcon open = folderIcon(true);
  const QIcon closed = folderIcon(false);
  auto add = [&](const QIcon& icon, const std::string& name, const std::string& full, int level) {
    auto* item = new QListWidgetItem(icon, shown(name), this);
    item->setData(kPathRole, QByteArray::fromStdString(full));
    item->setData(kLevelRole, level);
  };
  paths::Components parts = paths::components(path, path);
  const std::size_t depth = parts.names.size();
  add(open, parts.root, parts.root, 0);
  for (size_t i = 0; i < depth; ++i)
    add(open, parts.names[i], paths::fromComponents(parts, i + 1), static_cast<int>(i + 1));
  const int level = static_cast<int>(depth) + 1;
  for (const std::string& name : subdirectories) {
    parts.names.push_back(name);
    add(closed, name, paths::fromComponents(parts, depth + 1), level);
    parts.names.pop_back();
  }
  setCurrentRow(static_cast<int>(depth));
}

void DirListBox::openHighlighted() {
  const QListWidgetItem* item = currentItem();
  if (!item) return;
  const std::string target = item->data(kPathRole).toByteArray().toStdString();
  guard_([this, target] { setPath(target); });
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    openHighlighted();
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  if (itemAt(event->position().toPoint())) openHighlighted();
}

}  // namespace kavo
