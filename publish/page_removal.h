#pragma once

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::tool {

// Removes the index page of `folder` when every line of it is one this program writes, and it is
// still that very file, unchanged, when it is removed; with `dry_run` only checks that it would.
// True when there was a page to remove, false when nothing has its name. Anything else of that
// name is kept: a file that is not a page of ours fails with kNotAPage, a symlink with
// kPageLinkKept, a page changed meanwhile with kPageChanged.
platform::Result<bool> RemoveOurPage(const platform::Folder& folder, bool dry_run);

// Whether the index page of `folder` is a regular file this program wrote, as RemoveOurPage()
// tells; false where that cannot be told.
bool HoldsOurPage(const platform::Folder& folder);

}  // namespace quorvane::tool
