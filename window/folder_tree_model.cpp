#include "window/folder_tree_model.h"

#include <algorithm>  // std::sort, std::find_if
#include <utility>    // std::move
#include <vector>     // std::vector

#include "index/name_list.h"
#include "platform/failure.h"
#include "platform/volumes.h"
#include "window/display_name.h"

namespace quorvane {

struct FolderTreeModel::Node {
  std::string name;
  std::string path;
  Node* parent = nullptr;
  int row = 0;
  bool listed = false;
  std::vector<std::unique_ptr<Node>> children;
};

namespace {

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  path += name;
  return path;
}

}  // namespace

FolderTreeModel::FolderTreeModel(const platform::Regional& regional,
                                 const platform::FileSystem& files, QIcon folder_icon,
                                 QObject* parent)
    : QAbstractItemModel(parent),
      regional_(regional),
      files_(files),
      folder_icon_(std::move(folder_icon)) {}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::SetRoot(std::string root) {
  beginResetModel();
  root_ = std::make_unique<Node>();
  root_->path = std::move(root);
  root_->name = root_->path;
  endResetModel();
}

QModelIndex FolderTreeModel::RootIndex() const { return IndexOf(root_.get()); }

std::string FolderTreeModel::Path(const QModelIndex& index) const {
  const Node* node = NodeOf(index);
  return node != nullptr ? node->path : std::string();
}

QModelIndex FolderTreeModel::Find(std::string_view path) {
  if (!root_) {
    return {};
  }
  Node* node = root_.get();
  if (!platform::Holds(node->path, path)) {
    return IndexOf(node);
  }
  std::string_view rest = path.substr(node->path.size());
  while (!rest.empty()) {
    const std::size_t slash = std::min(rest.find('/'), rest.size());
    const std::string_view name = rest.substr(0, slash);
    rest.remove_prefix(std::min(slash + 1, rest.size()));
    if (name.empty()) {
      continue;
    }
    if (!node->listed) {
      fetchMore(IndexOf(node));
    }
    const auto child = std::find_if(node->children.begin(), node->children.end(),
                                    [&](const auto& candidate) { return candidate->name == name; });
    if (child == node->children.end()) {
      break;
    }
    node = child->get();
  }
  return IndexOf(node);
}

void FolderTreeModel::Relist(const QModelIndex& index) {
  Node* node = NodeOf(index);
  if (node == nullptr) {
    return;
  }
  if (!node->children.empty()) {
    beginRemoveRows(index, 0, static_cast<int>(node->children.size()) - 1);
    node->children.clear();
    endRemoveRows();
  }
  node->listed = false;
  fetchMore(index);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) {
    return {};
  }
  if (!parent.isValid()) {
    return row == 0 && root_ ? createIndex(0, 0, root_.get()) : QModelIndex();
  }
  const Node* node = NodeOf(parent);
  if (node == nullptr || row >= static_cast<int>(node->children.size())) {
    return {};
  }
  return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  const Node* node = NodeOf(child);
  return node != nullptr ? IndexOf(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) {
    return root_ ? 1 : 0;
  }
  const Node* node = NodeOf(parent);
  return node != nullptr && parent.column() == 0 ? static_cast<int>(node->children.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex& /*parent*/) const { return 1; }

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) {
    return root_ != nullptr;
  }
  // Until a folder is listed it may have sub-folders; listing every folder shown only to draw
  // its expander would cost a read of each.
  const Node* node = NodeOf(parent);
  return node != nullptr && (!node->listed || !node->children.empty());
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  const Node* node = NodeOf(parent);
  return node != nullptr && !node->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  Node* node = NodeOf(parent);
  if (node == nullptr || node->listed) {
    return;
  }
  node->listed = true;
  std::vector<std::string> names;
  try {
    names = files_.OpenFolder(node->path)->SubFolderNames();
  } catch (const platform::Failure&) {
    // A folder that cannot be read shows no sub-folders; choosing it reports why.
  }
  if (names.empty()) {
    // The view asks hasChildren() again and stops drawing the folder as one that opens.
    Q_EMIT dataChanged(parent, parent);
    return;
  }
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return CompareNames(regional_, a, b) < 0;
  });

  beginInsertRows(parent, 0, static_cast<int>(names.size()) - 1);
  node->children.reserve(names.size());
  for (auto& name : names) {
    auto child = std::make_unique<Node>();
    child->path = JoinPath(node->path, name);
    child->name = std::move(name);
    child->parent = node;
    child->row = static_cast<int>(node->children.size());
    node->children.push_back(std::move(child));
  }
  endInsertRows();
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  const Node* node = NodeOf(index);
  if (node == nullptr) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return DisplayName(node->name);
    case Qt::DecorationRole:
      return folder_icon_;
    default:
      return {};
  }
}

FolderTreeModel::Node* FolderTreeModel::NodeOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) {
    return nullptr;
  }
  return static_cast<Node*>(index.internalPointer());
}

QModelIndex FolderTreeModel::IndexOf(const Node* node) const {
  if (node == nullptr) {
    return {};
  }
  return createIndex(node->row, 0, const_cast<Node*>(node));
}

}  // namespace quorvane
