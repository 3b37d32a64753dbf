#include "publish/watch_run.h"

#include <algorithm>  // std::max, std::min
#include <atomic>     // std::atomic
#include <chrono>     // std::chrono
#include <cmath>      // std::ceil
#include <memory>     // std::unique_ptr
#include <optional>   // std::optional
#include <string>     // std::string, std::to_string

#include "index/index_page_writer.h"
#include "platform/failure.h"
#include "platform/stop_signals.h"
#include "publish/settle_schedule.h"
#include "publish/watched_trees.h"

namespace quorvane::tool {
namespace {

using std::chrono::milliseconds;

// `time` in seconds as the options take it: 60, 1.5, 0.25.
std::string SecondsText(milliseconds time) {
  std::string text = std::to_string(time.count() / 1000);
  if (const long long fraction = time.count() % 1000; fraction != 0) {
    std::string digits = std::to_string(1000 + fraction).substr(1);
    digits.erase(digits.find_last_not_of('0') + 1);
    text += "." + digits;
  }
  return text;
}

class WatchRun final : public platform::SignalStoppable {
 public:
  WatchRun(const ToolOptions& options, const platform::Services& services, Console& console,
           platform::FolderWatch& watch)
      : options_(options),
        services_(services),
        console_(console),
        watch_(watch),
        trees_(options, services, console, watch, stopping_),
        schedule_(services.clock, options.settle) {}

  int Run();

  void StopNow() noexcept override {
    stopping_ = true;
    watch_.Stop();
  }

 private:
  platform::Result<> Follow();
  void Take(const platform::WatchReport& report);
  void ReadWhole(const std::string& why);
  void CountWatches();
  std::optional<milliseconds> NextWait() const;
  bool RescanDue() const;

  const ToolOptions& options_;
  const platform::Services& services_;
  Console& console_;
  platform::FolderWatch& watch_;
  std::atomic<bool> stopping_{false};
  WatchedTrees trees_;
  SettleSchedule schedule_;
  bool told_out_of_watches_ = false;
  std::optional<double> next_rescan_;  // while out of watches, on the clock's monotonic seconds
};

int WatchRun::Run() {
  bool opened = false;
  for (const std::string& folder :
       options_.folders.empty() ? std::vector<std::string>{"."} : options_.folders) {
    opened = trees_.AddTop(folder) || opened;
  }
  if (!opened) {
    return 1;
  }
  trees_.ReadWhole(false);
  console_.EndProgress();
  CountWatches();
  const platform::Result<> followed = platform::CatchOutOfMemory([this] { return Follow(); });
  if (!followed) {
    console_.Report(followed.Error());
    return 1;
  }
  return trees_.Empty() ? 1 : 0;
}

platform::Result<> WatchRun::Follow() {
  while (!stopping_ && !trees_.Empty()) {
    QUORVANE_TRY_ASSIGN(const platform::WatchReport report, watch_.Wait(NextWait()));
    if (report.stopped) {
      break;
    }
    Take(report);
    if (report.rescan) {
      ReadWhole(": more changed at once than the system could tell");
    } else if (RescanDue()) {
      ReadWhole(", as every " + SecondsText(options_.rescan) +
                " seconds while the system can watch no more folders");
    } else if (std::vector<std::string> due = schedule_.TakeDue(); !due.empty()) {
      trees_.Refresh(std::move(due));
      CountWatches();
    }
  }
  return {};
}

void WatchRun::Take(const platform::WatchReport& report) {
  for (const std::string& path : report.gone) {
    trees_.Gone(path);
  }
  for (const std::string& path : report.changed) {
    schedule_.Changed(path);
  }
}

void WatchRun::ReadWhole(const std::string& why) {
  console_.Note("Reading every folder again" + why);
  // What was waiting to settle is read with the rest.
  schedule_.Clear();
  trees_.ReadWhole(true);
  next_rescan_.reset();
  CountWatches();
}

// Says once that the system can watch no more folders, and reads the trees whole from then on
// while it cannot.
void WatchRun::CountWatches() {
  if (!trees_.OutOfWatches()) {
    next_rescan_.reset();
    return;
  }
  if (!told_out_of_watches_) {
    told_out_of_watches_ = true;
    console_.Note("The system can watch no more folders; every folder is read again every " +
                  SecondsText(options_.rescan) + " seconds instead. To watch them all, " +
                  platform::kMoreWatches);
  }
  if (!next_rescan_) {
    next_rescan_ =
        services_.clock.MonotonicSeconds() + std::chrono::duration<double>(options_.rescan).count();
  }
}

// Until the next folder settles or the next reading of the whole tree, whichever comes first;
// none while neither is to come.
std::optional<milliseconds> WatchRun::NextWait() const {
  std::optional<milliseconds> wait = schedule_.UntilNext();
  if (next_rescan_) {
    const double left = std::max(0.0, *next_rescan_ - services_.clock.MonotonicSeconds());
    const milliseconds rescan(static_cast<milliseconds::rep>(std::ceil(left * 1000)));
    wait = wait ? std::min(*wait, rescan) : rescan;
  }
  return wait;
}

bool WatchRun::RescanDue() const {
  return next_rescan_ && services_.clock.MonotonicSeconds() >= *next_rescan_;
}

}  // namespace

int KeepCurrent(const ToolOptions& options, const platform::Services& services, Console& console,
                platform::FolderWatch& watch) {
  console.ShowProgress(services.executor);
  WatchRun run(options, services, console, watch);
  const platform::StopOnSignals signals(run);
  return run.Run();
}

int KeepCurrent(const ToolOptions& options, const platform::Services& services, Console& console) {
  platform::Result<std::unique_ptr<platform::FolderWatch>> watch =
      platform::WatchFolders(IndexFileName);
  if (!watch) {
    console.Report(watch.Error());
    return 1;
  }
  return KeepCurrent(options, services, console, **watch);
}

}  // namespace quorvane::tool
