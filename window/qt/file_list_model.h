#pragma once

#include <QAbstractListModel>

#include <cstdint>  // std::int64_t

#include "index/folder_listing.h"

namespace quorvane {

// The engine's file list as a Qt model, read through in place: a re-read resets the model, and a
// move of the list's selection is passed on as SelectionMoved.
class FileListModel final : public QAbstractListModel, private FileListObserver {
  Q_OBJECT

 public:
  // Follows `files` until destroyed; `files` must outlive the model.
  explicit FileListModel(FileList& files, QObject* parent = nullptr);
  ~FileListModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 Q_SIGNALS:
  // The list's selection is now at `position`, or at none when it is -1.
  void SelectionMoved(qint64 position);

 private:
  void ListAboutToChange() override;
  void ListChanged() override;
  void SelectionChanged(std::int64_t position) override;

  FileList& files_;
};

}  // namespace quorvane
