#pragma once

#include "platform/services.h"
#include "publish/command_line.h"
#include "publish/console.h"

namespace quorvane::tool {

// Writes the page of each folder `options` names (of every folder below each too, when
// recursive), reporting each page and each failure on `console`. Returns the exit status: 0
// when every page was written, 1 when any folder failed.
int IndexFolders(const ToolOptions& options, const platform::Services& services, Console& console);

}  // namespace quorvane::tool
