#pragma once

#include <cstddef>      // std::size_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/volumes.h"

namespace quorvane {

// A folder on one of the navigator's volumes.
struct Place {
  std::size_t volume = 0;  // its position among the navigator's volumes
  std::string folder;      // absolute, without a trailing separator but for a root
  friend bool operator==(const Place&, const Place&) = default;
};

// What the window is started with.
struct StartFolders {
  std::string working;  // the working folder: absolute, without symlinks
  // The folder asked for, absolute and without symlinks (empty for none), or why it has no path.
  platform::Result<std::string> asked;
};

// What a window is started with: the first of `folders` given (none, or one), resolved without
// symlinks so that a folder tree, which leaves symlinks out, can reach it; and the working
// folder, whose volume is the start without one, or `root` where it cannot be named.
StartFolders StartFoldersOf(const std::vector<std::string>& folders, const std::string& root);

struct StartPlace {
  Place place;
  platform::Result<> asked;  // why the folder asked for could not be the start, where it could not
};

// Where the window goes among the volumes and their folders: where it starts, the folder each
// volume was last shown at, and where it goes once a folder could not be shown. Folders are
// tried by opening them; nothing is kept between runs.
class FolderNavigator {
 public:
  // `files` must outlive the navigator. The root is always a volume to browse: where none of
  // `volumes` is mounted at "/" (and they are no Windows drives), one is added at the end. A
  // folder on a share is on no drive: AddShareHolding() gives it a volume first.
  FolderNavigator(const platform::FileSystem& files, std::vector<platform::Volume> volumes);

  const std::vector<platform::Volume>& Volumes() const { return volumes_; }
  const std::string& Root(std::size_t volume) const { return volumes_[volume].mount_point; }

  // The folder asked for, on the volume that holds it, when it is a folder that can be read;
  // otherwise (with the reason in `asked`) or without one, the root of the volume that holds the
  // working folder.
  StartPlace Start(const StartFolders& start) const;

  // Where a change to `volume` goes: the folder last shown on it, or where that cannot be read
  // any more, the nearest folder above it on the volume that can; the root at first, and when
  // nothing on the volume can be read, so that showing it says why.
  Place VolumeChosen(std::size_t volume) const;

  // `place` was shown: the volume's folder from now on, and the place to go back to.
  void Shown(const Place& place);

  // Where to go once `failed` could not be shown: back to the last place shown, or where that
  // cannot be read any more (a refresh of a folder removed), the nearest folder above it that
  // can, on whichever volume holds it. Before anything was shown, the nearest above `failed`.
  Place AfterFailure(const Place& failed) const;

 private:
  bool CanRead(const std::string& folder) const;
  // `folder` or the nearest folder above it that can be read, as long as `root` holds it.
  std::optional<std::string> NearestReadable(std::string folder, std::string_view root) const;

  const platform::FileSystem& files_;
  std::vector<platform::Volume> volumes_;
  std::vector<std::string> remembered_;  // the folder last shown on each volume; empty for none
  std::optional<Place> shown_;
};

}  // namespace quorvane
