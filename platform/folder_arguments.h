#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"

namespace quorvane::platform {

// The working folder's absolute path, as the system names it. Where it cannot (the folder was
// removed, say), $PWD is taken only when it leads to this very folder: a path that now leads to
// another would send the page there. Otherwise fails (kReadFolder) naming `asked`, with the
// system's reason.
Result<std::string> WorkingFolder(std::string_view asked = ".");

// The folder that `given`, a folder named on a command line, is to the system, as an absolute
// path without a trailing separator ("/" for the root). A ".." goes up from where the name before
// it leads, as the kernel takes it, so "link/.." is the folder above the link's target; symlinks
// with no ".." after them stay as given. Fails (kReadFolder) naming the path when there is no
// such path: a relative one in a working folder that cannot be named, or a ".." after something
// missing or not a folder.
Result<std::string> AbsoluteFolder(std::string_view given);

// The same without any symlink, for a view that shows only real folders; where `given` leads
// nowhere, AbsoluteFolder's path, so that opening it says why.
Result<std::string> ResolvedFolder(std::string_view given);

}  // namespace quorvane::platform
