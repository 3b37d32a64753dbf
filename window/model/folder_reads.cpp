#include "window/model/folder_reads.h"

#include <utility>  // std::move

namespace quorvane {

void FolderReads::Read(const std::string& path, Shown shown) {
  Cancel();
  const std::uint64_t read = reads_;
  reading_ = true;
  stop_ = work_.Run(
      [&services = services_, path](std::stop_token stop) {
        FolderReading reading{{}, std::make_shared<FileList>(services)};
        reading.state = RefreshFolderView(path, *reading.files, std::move(stop));
        return reading;
      },
      [this, read, shown = std::move(shown)](FolderReading reading) {
        if (read == reads_) {
          reading_ = false;
          shown(reading);
        }
      });
}

void FolderReads::Cancel() {
  stop_.request_stop();
  ++reads_;
  reading_ = false;
}

}  // namespace quorvane
