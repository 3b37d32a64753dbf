#pragma once

#include <memory>  // std::unique_ptr
#include <string>  // std::string

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/services.h"
#include "publish/command_line.h"
#include "publish/console.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// Writes the page of each folder `options` names (of every folder below each too, when
// recursive), reporting each page and each failure on `console`. Returns the exit status: 0
// when every page was written, 1 when any folder failed.
int IndexFolders(const ToolOptions& options, const platform::Services& services, Console& console);

// The rules of the names a run with `options` leaves out.
NameRules RulesOf(const ToolOptions& options);

// Tells on `console`, in one line, of the patterns of `rules` that left nothing out.
void WarnOfUnmatched(const NameRules& rules, Console& console);

// The folder named `folder` on the command line, made absolute as the system takes it.
platform::Result<std::unique_ptr<platform::Folder>> OpenNamed(const platform::FileSystem& files,
                                                              const std::string& folder);

}  // namespace quorvane::tool
