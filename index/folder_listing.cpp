#include "index/folder_listing.h"

#include <new>  // std::bad_alloc

#include "platform/failure.h"

namespace quorvane {

FileList::FileList(const platform::Regional& regional, const platform::FileSystem& files)
    : regional_(regional), files_(files) {}

void FileList::SetFolder(std::string folder) {
  folder_ = std::move(folder);
  identity_.reset();
}

std::string FileList::ReRead() {
  try {
    ReReadFrom(*files_.OpenFolder(folder_));
    return {};
  } catch (const platform::Failure& failure) {
    return Emptied(failure.what());
  } catch (const std::bad_alloc&) {
    return Emptied(platform::Describe(platform::Step::kOutOfMemory, ""));
  }
}

std::string FileList::Emptied(std::string error) {
  NameList none;
  identity_.reset();
  Replace(none);
  return error;
}

void FileList::ReReadFrom(const platform::Folder& folder) {
  NameList names;
  folder.ReadFileNames(names);
  names.Sort(regional_);
  folder_ = folder.Path();
  identity_ = folder.Identity();
  Replace(names);
}

void FileList::Replace(NameList& names) {
  if (observer_ != nullptr) {
    observer_->ListAboutToChange();
  }
  names_.Swap(names);
  selected_ = -1;
  if (observer_ != nullptr) {
    observer_->ListChanged();
  }
}

std::string_view FileList::Name(std::int64_t position) const {
  return names_[static_cast<std::size_t>(position)];
}

void FileList::Select(std::int64_t position) {
  selected_ = position >= 0 && position < Count() ? position : -1;
  if (observer_ != nullptr) {
    observer_->SelectionChanged(selected_);
  }
}

std::string_view FileList::CurrentName() const {
  return selected_ < 0 ? std::string_view() : names_[static_cast<std::size_t>(selected_)];
}

FolderViewState RefreshFolderView(std::string_view FolderPath, std::string& CurPath,
                                  FileList& Files) {
  CurPath.assign(FolderPath);
  if (CurPath.empty() || CurPath.back() != kPathSeparator) {
    CurPath += kPathSeparator;
  }
  Files.SetFolder(CurPath);
  FolderViewState state;
  state.listing_error = Files.ReRead();
  state.count_text = std::to_string(Files.Count());
  state.path_text = CurPath;
  state.generation_enabled = Files.Count() > 0;
  return state;
}

}  // namespace quorvane
