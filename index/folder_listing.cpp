#include "index/folder_listing.h"

#include <algorithm>  // std::sort
#include <numeric>    // std::iota

#include "platform/failure.h"

namespace quorvane {
namespace {

// Sorts `names` by their lower-cased forms, then by their bytes. Each name is lower-cased once
// and the names themselves are moved, not copied, into their places.
void SortByName(std::vector<std::string>& names, const platform::Regional& regional) {
  std::vector<std::string> keys;
  keys.reserve(names.size());
  for (const auto& name : names) {
    keys.push_back(regional.Lower(name));
  }
  std::vector<std::size_t> order(names.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (const int by_key = keys[a].compare(keys[b]); by_key != 0) {
      return by_key < 0;
    }
    return names[a] < names[b];
  });
  std::vector<std::string> sorted;
  sorted.reserve(names.size());
  for (const std::size_t i : order) {
    sorted.push_back(std::move(names[i]));
  }
  names = std::move(sorted);
}

}  // namespace

FileList::FileList(const platform::Regional& regional, const platform::FileSystem& files)
    : regional_(regional), files_(files) {}

std::string FileList::ReRead() {
  std::vector<std::string> names;
  std::string error;
  try {
    names = files_.FileNames(folder_);
    SortByName(names, regional_);
  } catch (const platform::Failure& failure) {
    names.clear();
    error = failure.what();
  }
  if (observer_ != nullptr) {
    observer_->ListAboutToChange();
  }
  names_ = std::move(names);
  selected_ = -1;
  if (observer_ != nullptr) {
    observer_->ListChanged();
  }
  return error;
}

const std::string& FileList::Name(std::int64_t position) const {
  return names_.at(static_cast<std::size_t>(position));
}

void FileList::Select(std::int64_t position) {
  selected_ = position >= 0 && position < Count() ? position : -1;
  if (observer_ != nullptr) {
    observer_->SelectionChanged(selected_);
  }
}

const std::string& FileList::CurrentName() const {
  static const std::string kNone;
  return selected_ < 0 ? kNone : names_[static_cast<std::size_t>(selected_)];
}

FolderViewState RefreshFolderView(std::string_view FolderPath, std::string& CurPath,
                                  FileList& Files) {
  CurPath.assign(FolderPath);
  if (CurPath.empty() || CurPath.back() != kPathSeparator) {
    CurPath += kPathSeparator;
  }
  Files.SetFolder(CurPath);
  FolderViewState state;
  state.ListingError = Files.ReRead();
  state.CountText = std::to_string(Files.Count());
  state.PathText = CurPath;
  state.GenerationEnabled = Files.Count() > 0;
  return state;
}

}  // namespace quorvane
