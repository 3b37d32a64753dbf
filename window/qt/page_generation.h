#pragma once

#include <QTimer>

#include <functional>  // std::function
#include <memory>      // std::shared_ptr, std::unique_ptr
#include <stop_token>  // std::stop_source
#include <string>      // std::string

#include "index/index_page_writer.h"

namespace quorvane {

class BackgroundWork;
class FileList;

namespace platform {
struct Services;
}  // namespace platform

// One "Make HTML" at a time, beside the window: the page is written on a thread of its own while
// the list the window shows follows it, re-read as the run re-reads it and its selection on the
// entry being written, as often as the eye can follow.
class PageGeneration {
 public:
  using Ended = std::function<void(GenerationOutcome)>;

  // `shown` is the list the window shows; `ended` is told of each run's end on the window's
  // thread. `services`, `shown` and `background` must outlive this.
  PageGeneration(const platform::Services& services, FileList& shown, BackgroundWork& background,
                 Ended ended);
  ~PageGeneration();

  bool Running() const { return job_ != nullptr; }

  // Starts writing the page of `CurPath` from the list shown.
  void Start(bool ShowImages, const std::string& CurPath);
  // Asks the run to stop. Once it has, the list shown is put back as it was before the start,
  // selection and all, and `ended` is told of the run's end (kStopped, unless it was too late).
  void Stop();

 private:
  struct Job;

  // Shows what the run has done so far: the list it read, and the entry it is at.
  void Follow();
  void Finish(GenerationOutcome outcome);

  const platform::Services& services_;
  FileList& shown_;
  BackgroundWork& background_;
  const Ended ended_;
  std::shared_ptr<Job> job_;
  std::unique_ptr<FileList> before_;  // the list shown when the run started
  std::stop_source stop_;
  QTimer follow_;
};

}  // namespace quorvane
