#pragma once

#include <gtest/gtest.h>

#include <chrono>      // std::chrono::seconds
#include <fstream>     // std::ifstream, std::ofstream
#include <functional>  // std::function
#include <memory>      // std::unique_ptr
#include <set>         // std::set
#include <string>      // std::string
#include <utility>     // std::exchange

#include "platform/failure.h"
#include "platform/folder_watch.h"
#include "platform/path_separator.h"
#include "platform/system_file_system.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::testing {

// What a watch told over several waits.
struct Told {
  std::set<std::string> changed;
  std::set<std::string> gone;
  bool rescan = false;
};

// Waits on `watch` until what it told makes `done` true. A wait that tells nothing for 10 s, or
// fails, fails the test: the change waited for never came.
inline Told WaitUntil(platform::FolderWatch& watch, const std::function<bool(const Told&)>& done) {
  Told told;
  while (!done(told)) {
    const platform::Result<platform::WatchReport> report = watch.Wait(std::chrono::seconds(10));
    if (!report || report->Empty() || report->stopped) {
      ADD_FAILURE() << (report ? report->stopped ? "stopped" : "nothing told in 10 s"
                               : platform::Describe(report.Error()));
      break;
    }
    told.changed.insert(report->changed.begin(), report->changed.end());
    told.gone.insert(report->gone.begin(), report->gone.end());
    told.rescan = told.rescan || report->rescan;
  }
  return told;
}

// Waits until `watch` tells that the folder at `path` changed. A change made there after others
// is told after theirs, so that everything those told has been told by then.
inline Told WaitFor(platform::FolderWatch& watch, const std::string& path) {
  return WaitUntil(watch, [&](const Told& told) { return told.changed.contains(path); });
}

// Where Linux keeps how many changes a watch made from then on may hold unread.
inline constexpr char kQueueLimit[] = "/proc/sys/fs/inotify/max_queued_events";

// Sets that limit to `limit` until it goes, where it can (as root, with /proc/sys writable). The
// limit is the whole machine's: the tests that set it run while no other test does.
class QueueLimit {
 public:
  explicit QueueLimit(int limit) {
    std::ifstream(kQueueLimit) >> old_;
    set_ = old_ > 0 && Write(limit);
  }
  QueueLimit(const QueueLimit&) = delete;
  QueueLimit& operator=(const QueueLimit&) = delete;
  ~QueueLimit() { Restore(); }

  bool Set() const { return set_; }
  void Restore() {
    if (std::exchange(set_, false)) {
      Write(old_);
    }
  }

 private:
  static bool Write(int limit) { return (std::ofstream(kQueueLimit) << limit).flush().good(); }

  int old_ = 0;
  bool set_ = false;
};

// A tree of folders a watch was given, each as a walk opens it: top, top/a (old.txt),
// top/a/deep (x.txt), top/b (kept.txt) and top/s, where changes are made for the watch to tell
// after those before.
struct WatchedTree {
  WatchedTree() {
    for (const char* folder : {"a", "a/deep", "b", "s"}) {
      scratch.AddFolder(folder);
    }
    scratch.AddFile("a/old.txt");
    scratch.AddFile("a/deep/x.txt");
    scratch.AddFile("b/kept.txt");
    for (const char* name : {"", "a", "a/deep", "b", "s"}) {
      Watch(name);
    }
  }

  void Watch(const char* name) {
    const auto folder = Ok(platform::SystemFileSystem().OpenFolder(scratch / name));
    EXPECT_EQ(Ok(watch->Add(*folder)), platform::FolderWatch::Added::kWatched) << name;
  }

  // The path a watch tells the folder `name` by.
  std::string Path(const char* name) const {
    return std::string(scratch / name).append(*name != '\0', platform::kPathSeparator);
  }

  // Changes top/s and waits until that is told, so that what changes made before it tell has
  // been told.
  Told ToldSoFar() {
    scratch.AddFile("s/after");
    return WaitFor(*watch, Path("s"));
  }

  TempFolder scratch;
  std::unique_ptr<platform::FolderWatch> watch = Ok(platform::WatchFolders("quorvane_index.html"));
};

}  // namespace quorvane::testing
