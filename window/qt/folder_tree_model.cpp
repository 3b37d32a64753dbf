#include "window/qt/folder_tree_model.h"

#include <algorithm>  // std::sort, std::find_if
#include <utility>    // std::move
#include <vector>     // std::vector

#include "platform/failure.h"
#include "platform/volumes.h"
#include "window/model/sub_folders.h"
#include "window/model/window_work.h"
#include "window/qt/display_name.h"

namespace quorvane {
namespace {

// Whether a folder's sub-folders are known.
enum class Listing { kNot, kUnderWay, kDone };

}  // namespace

struct FolderTreeModel::Node {
  std::string name;
  std::string path;
  Node* parent = nullptr;
  int row = 0;
  Listing listing = Listing::kNot;
  std::uint64_t listing_id = 0;   // the listing under way that is this folder's own
  std::stop_source listing_stop;  // stops it, when the folder goes or is listed afresh
  std::vector<std::unique_ptr<Node>> children;

  ~Node() { listing_stop.request_stop(); }
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

// A folder that cannot be read, or is too large to list, shows no sub-folders; choosing it
// reports why.
std::vector<std::string> NamesOrNone(platform::Result<std::vector<std::string>> names) {
  return names ? std::move(*names) : std::vector<std::string>();
}

}  // namespace

FolderTreeModel::FolderTreeModel(const platform::Services& services, WindowWork& work,
                                 QIcon folder_icon, QObject* parent)
    : QAbstractItemModel(parent),
      services_(services),
      work_(work),
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
  for (;;) {
    Node* unlisted = nullptr;
    Node* node = Deepest(path, unlisted);
    if (unlisted == nullptr) {
      return IndexOf(node);
    }
    // A listing still under way beside the window finds this one done, and is dropped.
    unlisted->listing_stop.request_stop();
    Insert(*unlisted, NamesOrNone(platform::CatchOutOfMemory(
                          [&] { return SubFolders(services_, unlisted->path); })));
  }
}

void FolderTreeModel::Reveal(std::string path) {
  reveal_ = std::move(path);
  ContinueReveal();
}

void FolderTreeModel::ContinueReveal() {
  if (!reveal_) {
    return;
  }
  Node* unlisted = nullptr;
  Node* node = Deepest(*reveal_, unlisted);
  if (unlisted != nullptr) {
    if (unlisted->listing == Listing::kNot) {
      StartListing(*unlisted);
    }
    return;  // on its way again once that listing is done
  }
  reveal_.reset();
  Q_EMIT Revealed(IndexOf(node));
}

FolderTreeModel::Node* FolderTreeModel::Deepest(std::string_view path, Node*& unlisted) const {
  unlisted = nullptr;
  if (!root_) {
    return nullptr;
  }
  Node* node = root_.get();
  if (!platform::Holds(node->path, path)) {
    return node;
  }
  std::string_view rest = path.substr(node->path.size());
  while (!rest.empty()) {
    const std::size_t slash = std::min(rest.find('/'), rest.size());
    const std::string_view name = rest.substr(0, slash);
    rest.remove_prefix(std::min(slash + 1, rest.size()));
    if (name.empty()) {
      continue;
    }
    if (node->listing != Listing::kDone) {
      unlisted = node;
      break;
    }
    const auto child = std::find_if(node->children.begin(), node->children.end(),
                                    [&](const auto& candidate) { return candidate->name == name; });
    if (child == node->children.end()) {
      break;
    }
    node = child->get();
  }
  return node;
}

FolderTreeModel::Node* FolderTreeModel::Listed(std::string_view path) const {
  Node* unlisted = nullptr;
  Node* node = Deepest(path, unlisted);
  return node != nullptr && node->path == path ? node : nullptr;
}

void FolderTreeModel::StartListing(Node& node) {
  node.listing = Listing::kUnderWay;
  node.listing_id = ++last_listing_;
  node.listing_stop.request_stop();
  node.listing_stop =
      work_.Run([&services = services_, path = node.path](
                    std::stop_token stop) { return SubFolders(services, path, std::move(stop)); },
                [this, path = node.path,
                 listing = node.listing_id](platform::Result<std::vector<std::string>> names) {
                  ListingDone(path, listing, NamesOrNone(std::move(names)));
                });
}

void FolderTreeModel::ListingDone(const std::string& path, std::uint64_t listing,
                                  std::vector<std::string> names) {
  Node* node = Listed(path);
  // Gone with its tree, listed afresh since, or listed here and now by Find().
  if (node != nullptr && node->listing == Listing::kUnderWay && node->listing_id == listing) {
    Insert(*node, std::move(names));
  }
  ContinueReveal();
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
  node->listing = Listing::kNot;
  StartListing(*node);
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
  return node != nullptr && (node->listing != Listing::kDone || !node->children.empty());
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  const Node* node = NodeOf(parent);
  return node != nullptr && node->listing == Listing::kNot;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  Node* node = NodeOf(parent);
  if (node != nullptr && node->listing == Listing::kNot) {
    StartListing(*node);
  }
}

void FolderTreeModel::Insert(Node& node, std::vector<std::string> names) {
  node.listing = Listing::kDone;
  const QModelIndex parent = IndexOf(&node);
  if (names.empty()) {
    // The view asks hasChildren() again and stops drawing the folder as one that opens.
    Q_EMIT dataChanged(parent, parent);
    return;
  }
  beginInsertRows(parent, 0, static_cast<int>(names.size()) - 1);
  node.children.reserve(names.size());
  for (auto& name : names) {
    auto child = std::make_unique<Node>();
    child->path = JoinPath(node.path, name);
    child->name = std::move(name);
    child->parent = &node;
    child->row = static_cast<int>(node.children.size());
    node.children.push_back(std::move(child));
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
