#pragma once

#include "platform/folder_watch.h"
#include "platform/services.h"
#include "publish/command_line.h"
#include "publish/console.h"

namespace quorvane::tool {

// Writes the pages of the trees `options` names, as IndexFolders() does down a tree, then keeps
// them current until SIGINT, SIGTERM or SIGHUP (on Windows Ctrl+C, Ctrl+Break or closing the
// console): the page of each folder whose listing changed, once the folder has settled, and the
// pages of the folders that came below it. Reports each page and each failure on `console`.
// Returns the exit status: 0 once stopped, 1 where the trees cannot be watched or none is left.
int KeepCurrent(const ToolOptions& options, const platform::Services& services, Console& console);
// The same through `watch`.
int KeepCurrent(const ToolOptions& options, const platform::Services& services, Console& console,
                platform::FolderWatch& watch);

}  // namespace quorvane::tool
