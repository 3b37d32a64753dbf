#pragma once

#include <string>  // std::string
#include <vector>  // std::vector

namespace quorvane::platform {

// The names of the sub-folders of `folder`, as the file system's bytes and in the order the
// system gives them. Symlinks are left out, and so are folders where another volume is mounted,
// so that a walk down from a mount point stays on its volume. Throws Failure when `folder`
// cannot be read.
std::vector<std::string> SubFolderNames(const std::string& folder);

}  // namespace quorvane::platform
