#pragma once

#include <sys/stat.h>  // struct stat
#include <string>      // std::string

#include "platform/failure.h"

namespace quorvane::platform {

class SystemCalls;

// Gives the new page `page_fd` what the old page `old_fd` (of status `old`) has and it lacks:
// the old page's owner and group where the system allows, then its ACL (or none, dropping what
// the folder's default ACL gave), its mode and its user attributes. What the file system does not
// support (ENOSYS, EOPNOTSUPP) is nothing to carry, as long as access to the new page is no wider
// than to the old one; anything else that cannot be carried over fails, naming `page_path`.
Result<> CarryOver(const SystemCalls& calls, int old_fd, const struct stat& old, int page_fd,
                   const std::string& page_path);

}  // namespace quorvane::platform
