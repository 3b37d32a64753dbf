#include "window/model/folder_navigator.h"

#include <utility>  // std::move

#include "platform/folder_arguments.h"

namespace quorvane {

FolderNavigator::FolderNavigator(const platform::FileSystem& files,
                                 std::vector<platform::Volume> volumes)
    : files_(files), volumes_(std::move(volumes)) {
  platform::AddRootWhereMissing(volumes_);
  remembered_.resize(volumes_.size());
}

StartPlace FolderNavigator::Start(const StartFolders& start) const {
  StartPlace result;
  if (!start.asked) {
    result.asked = start.asked.Error();
  } else if (!start.asked->empty()) {
    const auto folder = files_.OpenFolder(*start.asked);
    const std::string asked = platform::WithoutTrailingSeparator(*start.asked);
    const std::size_t volume = platform::VolumeHolding(volumes_, asked);
    if (!folder) {
      result.asked = folder.Error();
    } else if (volume < volumes_.size()) {
      result.place = {volume, asked};
      return result;
    }
  }
  std::size_t volume = platform::VolumeHolding(volumes_, start.working);
  if (volume == volumes_.size()) {
    volume = 0;
  }
  result.place = {volume, Root(volume)};
  return result;
}

Place FolderNavigator::VolumeChosen(std::size_t volume) const {
  const std::string& remembered = remembered_[volume];
  if (remembered.empty()) {
    return {volume, Root(volume)};
  }
  return {volume, NearestReadable(remembered, Root(volume)).value_or(Root(volume))};
}

void FolderNavigator::Shown(const Place& place) {
  remembered_[place.volume] = place.folder;
  shown_ = place;
}

Place FolderNavigator::AfterFailure(const Place& failed) const {
  const Place& from = shown_ ? *shown_ : failed;
  const std::optional<std::string> folder =
      NearestReadable(from.folder, from.folder.substr(0, platform::RootLength(from.folder)));
  if (!folder) {
    return from;  // nothing at all can be read; showing it again says so
  }
  if (platform::Holds(Root(from.volume), *folder)) {
    return {from.volume, *folder};
  }
  // Above the volume's mount point: the root is a volume, so another one holds it.
  return {platform::VolumeHolding(volumes_, *folder), *folder};
}

bool FolderNavigator::CanRead(const std::string& folder) const {
  return static_cast<bool>(files_.OpenFolder(folder));
}

std::optional<std::string> FolderNavigator::NearestReadable(std::string folder,
                                                            std::string_view root) const {
  while (platform::Holds(root, folder)) {
    if (CanRead(folder)) {
      return folder;
    }
    if (folder.size() == platform::RootLength(folder)) {
      break;
    }
    folder = platform::ParentFolder(folder);
  }
  return std::nullopt;
}

StartFolders StartFoldersOf(const std::vector<std::string>& folders, const std::string& root) {
  StartFolders start;
  const platform::Result<std::string> working = platform::WorkingFolder();
  start.working = working ? *working : root;
  if (!folders.empty()) {
    start.asked = platform::ResolvedFolder(folders.front());
  }
  return start;
}

}  // namespace quorvane
