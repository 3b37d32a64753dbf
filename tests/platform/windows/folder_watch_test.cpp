// What only the Windows watch does: a watch of a tree whose buffer may overflow, opened by path.

#include "platform/folder_watch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "platform/windows/win32.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/watch_reports.h"
#include "tests/support/windows/failing_calls.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Call;
using quorvane::testing::FailingCalls;
using quorvane::testing::FailureOf;
using quorvane::testing::Ok;
using quorvane::testing::TempFolder;
using quorvane::testing::Told;

// Adds the folder at `path` to `watch`.
FolderWatch::Added Add(FolderWatch& watch, const std::string& path,
                       const SystemCalls& calls = SystemCalls::Real()) {
  return Ok(watch.Add(*Ok(SystemFileSystem(calls).OpenFolder(path))));
}

// Windows' calls, but for a buffer of changes too small for any.
struct SmallBuffer final : SystemCalls {
  BOOL ReadChanges(HANDLE folder, void* buffer, DWORD, DWORD filter,
                   OVERLAPPED* overlapped) const override {
    return SystemCalls::ReadChanges(folder, buffer, 4, filter, overlapped);
  }
};

TEST(WindowsFolderWatchTest, ABufferThatOverflowsAsksForARescan) {
  const TempFolder tree;
  const SmallBuffer calls;
  const auto watch = Ok(WatchFolders("quorvane_index.html", calls));
  EXPECT_EQ(Add(*watch, tree.Path(), calls), FolderWatch::Added::kWatched);
  tree.AddFile("one.txt");
  EXPECT_TRUE(testing::WaitUntil(*watch, [](const Told& told) { return told.rescan; }).rescan);
}

TEST(WindowsFolderWatchTest, AFolderThatCannotBeWatchedFailsNamingIt) {
  const TempFolder tree;
  const auto folder = Ok(SystemFileSystem().OpenFolder(tree.Path()));
  FailingCalls calls;
  calls.Fail({Call::kOpen, ERROR_SHARING_VIOLATION});
  const auto watch = Ok(WatchFolders("quorvane_index.html", calls));
  EXPECT_EQ(FailureOf(watch->Add(*folder)), "Cannot watch the folder " + tree.Path() + "\\: " +
                                                WindowsError(ERROR_SHARING_VIOLATION).message());
}

}  // namespace
}  // namespace quorvane::platform
