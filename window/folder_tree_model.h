#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.h"
#include "platform/regional.h"

namespace quorvane {

// The folders of one volume as a tree whose top item is the volume's mount point. Each folder is
// listed when the view first needs its sub-folders. Paths are kept as the file system's bytes, so
// a folder whose name is not valid UTF-8 can still be opened.
class FolderTreeModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  // `regional` orders the names, as the file list is ordered; `files` lists the folders. Both
  // must outlive the model.
  FolderTreeModel(const platform::Regional& regional, const platform::FileSystem& files,
                  QIcon folder_icon, QObject* parent = nullptr);
  ~FolderTreeModel() override;

  // Shows the folders of the volume mounted at `root`, none of them listed yet.
  void SetRoot(std::string root);
  QModelIndex RootIndex() const;

  // The full path of the folder at `index`; empty for an invalid index.
  std::string Path(const QModelIndex& index) const;

  // The folder at `path`, listing the folders on the way; where part of the way is missing, the
  // last folder that exists. The root when `path` is not on this volume.
  QModelIndex Find(std::string_view path);

  // Lists the sub-folders of the folder at `index` afresh.
  void Relist(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  struct Node;

  Node* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const Node* node) const;

  const platform::Regional& regional_;
  const platform::FileSystem& files_;
  QIcon folder_icon_;
  std::unique_ptr<Node> root_;
};

}  // namespace quorvane
