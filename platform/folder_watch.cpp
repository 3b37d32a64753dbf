#include "platform/folder_watch.h"

#include <stop_token>  // std::stop_callback

namespace quorvane::platform {

Result<WatchReport> FolderWatch::Wait(std::optional<std::chrono::milliseconds> timeout,
                                      std::stop_token stop) {
  const std::stop_callback wake(stop, [this] { Stop(); });
  return Wait(timeout);
}

}  // namespace quorvane::platform
