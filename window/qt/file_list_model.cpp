#include "window/qt/file_list_model.h"

#include <algorithm>  // std::min
#include <limits>     // std::numeric_limits

#include "window/qt/display_name.h"

namespace quorvane {

FileListModel::FileListModel(FileList& files, QObject* parent)
    : QAbstractListModel(parent), files_(files) {
  files_.SetObserver(this);
}

FileListModel::~FileListModel() { files_.SetObserver(nullptr); }

int FileListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) {
    return 0;
  }
  return static_cast<int>(std::min<std::int64_t>(files_.Count(), std::numeric_limits<int>::max()));
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) {
    return {};
  }
  return DisplayName(files_.Name(index.row()));
}

void FileListModel::ListAboutToChange() { beginResetModel(); }

void FileListModel::ListChanged() { endResetModel(); }

void FileListModel::SelectionChanged(std::int64_t position) {
  Q_EMIT SelectionMoved(static_cast<qint64>(position));
}

}  // namespace quorvane
