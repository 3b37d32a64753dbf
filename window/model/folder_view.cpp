#include "window/model/folder_view.h"

#include <utility>  // std::move

namespace quorvane {

FolderViewState RefreshFolderView(std::string_view FolderPath, FileList& Files,
                                  std::stop_token stop) {
  FolderViewState state;
  state.CurPath.assign(FolderPath);
  if (state.CurPath.empty() || state.CurPath.back() != kPathSeparator) {
    state.CurPath += kPathSeparator;
  }
  Files.SetFolder(state.CurPath);
  state.listed = Files.ReRead(std::move(stop));
  state.count = Files.Count();
  state.generation_enabled = state.count > 0;
  return state;
}

std::string CountText(std::int64_t count) { return std::to_string(count); }

std::string SpokenCount(std::int64_t count) {
  return CountText(count) + (count == 1 ? " file" : " files");
}

}  // namespace quorvane
