#pragma once

#include <functional>  // std::function
#include <memory>      // std::shared_ptr, std::unique_ptr
#include <optional>    // std::optional
#include <stop_token>  // std::stop_source
#include <string>      // std::string

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "platform/default_handler.h"
#include "platform/services.h"
#include "window/model/window_work.h"

namespace quorvane {

// One "Make HTML" at a time, beside the window: the page is written on a thread of its own while
// the list the window shows follows it, re-read as the run re-reads it and its selection on the
// entry being written, each time the window asks.
class GenerationRun {
 public:
  using Ended = std::function<void(GenerationOutcome)>;

  // `shown` is the list the window shows; `ended` is told of each run's end on the window's
  // thread. `services`, `shown` and `work` must outlive this.
  GenerationRun(const platform::Services& services, FileList& shown, WindowWork& work, Ended ended);
  ~GenerationRun();

  bool Running() const { return job_ != nullptr; }

  // Starts writing the page of `CurPath` from the list shown; false, and nothing started, while
  // a run goes on.
  bool Start(bool ShowImages, const std::string& CurPath);
  // Asks the run to stop. Once it has, the list shown is put back as it was before the start,
  // selection and all, and `ended` is told of the run's end (kStopped, unless it was too late).
  void Stop();
  // Brings the list shown up to the run: the list it read, and the entry it is at. The window
  // calls it as often as the eye can follow while a run goes on.
  void Follow();

 private:
  struct Job;

  void Finish(GenerationOutcome outcome);

  const platform::Services& services_;
  FileList& shown_;
  WindowWork& work_;
  const Ended ended_;
  std::shared_ptr<Job> job_;
  std::unique_ptr<FileList> before_;  // the list shown when the run started
  std::stop_source stop_;
};

// What a window does once a run has ended, apart from drawing: `CurFile` set to the entry handled
// last, where the run came to one; the page opened with `opener` when the run completed and
// `view` is set, and nothing said of how that went. Gives the failure to show, when the run failed
// (none when it completed or was stopped). Not called for a window already closed.
std::optional<platform::Failure> AfterRun(GenerationOutcome outcome, bool view,
                                          const platform::DefaultHandler& opener,
                                          std::string& CurFile);

// How often the window asks a run to be followed, in milliseconds.
inline constexpr int kFollowMilliseconds = 40;

}  // namespace quorvane
