// quorvane-index --watch on Linux: trees kept current as they change, the system's limits, and
// the signals that end it.

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <string>
#include <vector>

#include "tool_runs.h"

namespace quorvane::testing {
namespace {

TEST(QuorvaneIndexWatchTest, ChangedFoldersGetThePagesARunOfTheirOwnWouldWrite) {
  CheckWatchKeepsPagesCurrent(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return std::make_unique<WatchingTool>(ToolRun{folder, arguments});
      },
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool({folder, arguments});
      },
      PagesUnder, Stamp);
}

}  // namespace
}  // namespace quorvane::testing
