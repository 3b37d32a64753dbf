#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <cstdint>      // std::uint64_t
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/services.h"

namespace quorvane {

class WindowWork;

// The folders of one volume as a tree whose top item is the volume's mount point. Each folder is
// listed when the view first needs its sub-folders, beside the window, so that a folder slow to
// list fills in when it has been read. Paths are kept as the file system's bytes, so a folder
// whose name is not valid UTF-8 can still be opened.
class FolderTreeModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  // The folders are listed through `services`, in the file list's order, beside the window
  // through `work`. Both must outlive the model.
  FolderTreeModel(const platform::Services& services, WindowWork& work, QIcon folder_icon,
                  QObject* parent = nullptr);
  ~FolderTreeModel() override;

  // Shows the folders of the volume mounted at `root`, none of them listed yet.
  void SetRoot(std::string root);
  QModelIndex RootIndex() const;

  // The full path of the folder at `index`; empty for an invalid index.
  std::string Path(const QModelIndex& index) const;

  // The folder at `path`, listing the folders on the way here and now; where part of the way is
  // missing, the last folder that exists. The root when `path` is not on this volume.
  QModelIndex Find(std::string_view path);

  // Finds `path` as Find() does, listing the folders on the way beside the window, and then
  // emits Revealed. A later call takes the place of one still under way.
  void Reveal(std::string path);
  void CancelReveal() { reveal_.reset(); }
  bool Revealing() const { return reveal_.has_value(); }

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

 Q_SIGNALS:
  // The folder Reveal() looked for, or the last one on its way that exists.
  void Revealed(const QModelIndex& index);

 private:
  struct Node;

  // The deepest folder on the way to `path` that is listed as far as it goes; `unlisted` is set
  // to the folder whose sub-folders are needed to go further, or to none.
  Node* Deepest(std::string_view path, Node*& unlisted) const;
  // The folder at `path` among those listed; none when it is not there.
  Node* Listed(std::string_view path) const;
  void StartListing(Node& node);
  void ListingDone(const std::string& path, std::uint64_t listing, std::vector<std::string> names);
  void Insert(Node& node, std::vector<std::string> names);
  void ContinueReveal();

  Node* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const Node* node) const;

  const platform::Services& services_;
  WindowWork& work_;
  QIcon folder_icon_;
  std::unique_ptr<Node> root_;
  std::uint64_t last_listing_ = 0;
  std::optional<std::string> reveal_;  // the path Reveal() is on its way to
};

}  // namespace quorvane
