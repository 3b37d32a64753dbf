#pragma once

#include <cstdint>      // std::int64_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "platform/file_system.h"
#include "platform/regional.h"

namespace quorvane {

// Told of every change to a FileList, so that a view can follow it.
class FileListObserver {
 public:
  virtual ~FileListObserver() = default;
  virtual void ListAboutToChange() {}
  virtual void ListChanged() {}
  virtual void SelectionChanged(std::int64_t /*position*/) {}
};

// The ordered names of the files in one folder, with a single selection.
//
// Every entry of the folder that is not a folder is listed, whatever it is: dot-files, symlinks
// to files, dangling symlinks, fifos, sockets, devices. The order is by name without regard to
// letter case: by the lower-cased names, then by the names' bytes, so equal names apart from case
// still sort the same way every time. The list follows the folder only when re-read.
class FileList {
 public:
  FileList(const platform::Regional& regional, const platform::FileSystem& files);

  // Points the list at `folder`; it is read at the next ReRead().
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  const std::string& Folder() const { return folder_; }

  // Reads the folder afresh and clears the selection. When it cannot be read the list is left
  // empty and the failure's description returned; otherwise the result is empty.
  std::string ReRead();

  std::int64_t Count() const { return static_cast<std::int64_t>(names_.size()); }
  const std::string& Name(std::int64_t position) const;

  // Makes the entry at `position` current; any position outside the list clears the selection.
  void Select(std::int64_t position);
  // The current entry's position, or -1 when none is selected.
  std::int64_t Selected() const { return selected_; }
  // The current entry's name, or an empty text when none is selected.
  const std::string& CurrentName() const;

  // One observer at most; nullptr removes it. It must outlive the list or be removed first.
  void SetObserver(FileListObserver* observer) { observer_ = observer; }

 private:
  const platform::Regional& regional_;
  const platform::FileSystem& files_;
  std::string folder_;
  std::vector<std::string> names_;
  std::int64_t selected_ = -1;
  FileListObserver* observer_ = nullptr;
};

// What the window shows of the current folder.
struct FolderViewState {
  std::string PathText;
  std::string CountText;  // the count in plain decimal
  bool GenerationEnabled = false;
  std::string ListingError;  // why the folder could not be read; empty when it was
};

// The path separator that ends `CurPath`.
inline constexpr char kPathSeparator = '/';

// Makes `FolderPath` the current folder: sets `CurPath` to it, ending in the separator, points
// `Files` at it and re-reads it, and returns the folder view state. A folder that cannot be read
// gives an empty list, generation disabled and the reason in ListingError.
FolderViewState RefreshFolderView(std::string_view FolderPath, std::string& CurPath,
                                  FileList& Files);

}  // namespace quorvane
