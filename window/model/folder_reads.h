#pragma once

#include <cstdint>     // std::uint64_t
#include <functional>  // std::function
#include <memory>      // std::shared_ptr
#include <stop_token>  // std::stop_source
#include <string>      // std::string

#include "index/folder_listing.h"
#include "platform/services.h"
#include "window/model/folder_view.h"
#include "window/model/window_work.h"

namespace quorvane {

// A folder's files as read beside the window, to be shown on its thread. Without files when the
// read ran out of memory, which `state.listed` then says.
struct FolderReading {
  FolderViewState state;
  std::shared_ptr<FileList> files{};
};

// The folder the window shows, read beside it one at a time: a later read takes the place of
// one under way, whose result is never shown.
class FolderReads {
 public:
  using Shown = std::function<void(FolderReading&)>;

  // `services` and `work` must outlive this.
  FolderReads(const platform::Services& services, WindowWork& work)
      : services_(services), work_(work) {}

  // Reads the folder at `path` as RefreshFolderView does, then gives `shown` what it read, on
  // the window's thread.
  void Read(const std::string& path, Shown shown);
  // The read under way, if any, is stopped and not shown.
  void Cancel();
  bool Reading() const { return reading_; }

 private:
  const platform::Services& services_;
  WindowWork& work_;
  std::uint64_t reads_ = 0;  // the reads started; only the last is shown
  std::stop_source stop_;
  bool reading_ = false;
};

}  // namespace quorvane
