#pragma once

#include <gtest/gtest.h>

#include <chrono>      // std::chrono::seconds
#include <functional>  // std::function
#include <set>         // std::set
#include <string>      // std::string

#include "platform/failure.h"
#include "platform/folder_watch.h"

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

}  // namespace quorvane::testing
