#pragma once

#include <stop_token>  // std::stop_token
#include <string>      // std::string
#include <vector>      // std::vector

#include "platform/failure.h"
#include "platform/services.h"

namespace quorvane {

// The sub-folders of the folder at `path` that a folder tree shows, in the file list's order;
// the listing ends, failing with kStopped, once `stop` is requested.
platform::Result<std::vector<std::string>> SubFolders(const platform::Services& services,
                                                      const std::string& path,
                                                      std::stop_token stop = {});

}  // namespace quorvane
