#pragma once

#include <cstdint>      // std::int64_t
#include <stop_token>   // std::stop_token
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "index/folder_listing.h"
#include "platform/failure.h"

namespace quorvane {

// What the window shows of the current folder.
struct FolderViewState {
  platform::Result<> listed;  // whether the folder could be read, or why not
  std::string CurPath{};      // the folder's path, ending in the separator: the path text
  std::int64_t count = 0;     // how many files it holds, shown in plain decimal
  bool generation_enabled = false;
};

// Makes `FolderPath` the current folder: points `Files` at it, ending in the separator, re-reads
// it and returns the folder view state. A folder that cannot be read, or whose reading is
// stopped, gives an empty list, generation disabled and the failure in `listed`.
FolderViewState RefreshFolderView(std::string_view FolderPath, FileList& Files,
                                  std::stop_token stop = {});

// The count text: the count in plain decimal, no grouping, sign or padding.
std::string CountText(std::int64_t count);

// The count as a screen reader says it, with its unit: "1 file", "3 files".
std::string SpokenCount(std::int64_t count);

}  // namespace quorvane
