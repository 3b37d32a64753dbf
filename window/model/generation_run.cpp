#include "window/model/generation_run.h"

#include <atomic>   // std::atomic
#include <cstdint>  // std::int64_t
#include <mutex>    // std::mutex, std::lock_guard
#include <utility>  // std::move

namespace quorvane {

// The run's own list, and what of it the window may see: the list once re-read, and the entry
// being written. The list itself is the run's; only the copy it hands over crosses threads.
struct GenerationRun::Job final : private FileListObserver {
  explicit Job(const FileList& shown) : list(shown) { list.SetObserver(this); }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;
  ~Job() override { list.SetObserver(nullptr); }

  // The list the run has read since the last call, if it has.
  std::unique_ptr<FileList> TakeRead() {
    const std::lock_guard lock(mutex);
    return std::move(read);
  }

  // The entry being written, in the list the run read; -1 before the first.
  std::int64_t Position() const { return position.load(std::memory_order_acquire); }

  FileList list;

 private:
  void ListChanged() override {
    const std::lock_guard lock(mutex);
    read = std::make_unique<FileList>(list);
  }
  void SelectionChanged(std::int64_t selected) override {
    // Released after the list it is a position in was handed over.
    position.store(selected, std::memory_order_release);
  }

  std::mutex mutex;
  std::unique_ptr<FileList> read;
  std::atomic<std::int64_t> position{-1};
};

GenerationRun::GenerationRun(const platform::Services& services, FileList& shown, WindowWork& work,
                             Ended ended)
    : services_(services), shown_(shown), work_(work), ended_(std::move(ended)) {}

GenerationRun::~GenerationRun() = default;

bool GenerationRun::Start(bool ShowImages, const std::string& CurPath) {
  if (Running()) {
    return false;
  }
  before_ = std::make_unique<FileList>(shown_);
  job_ = std::make_shared<Job>(shown_);
  stop_ = work_.Run(
      [job = job_, ShowImages, CurPath, &services = services_](std::stop_token stop) {
        return MakeIndexPage(ShowImages, CurPath, job->list, services, std::move(stop));
      },
      [this](GenerationOutcome outcome) { Finish(std::move(outcome)); });
  return true;
}

void GenerationRun::Stop() {
  if (Running()) {
    stop_.request_stop();
  }
}

void GenerationRun::Follow() {
  if (!Running()) {
    return;
  }
  // The position first: one taken from a list not yet handed over would be put on the old one.
  const std::int64_t position = job_->Position();
  if (const std::unique_ptr<FileList> read = job_->TakeRead()) {
    shown_.Adopt(*read);
  }
  if (position >= 0 && position != shown_.Selected()) {
    shown_.Select(position);
  }
}

void GenerationRun::Finish(GenerationOutcome outcome) {
  if (!outcome.OutPath && outcome.OutPath.Error().step == platform::Step::kStopped) {
    shown_.Adopt(*before_);
    shown_.Select(before_->Selected());
  } else {
    // The list as the run left it: on its last entry, or where it failed.
    Follow();
  }
  job_.reset();
  before_.reset();
  ended_(std::move(outcome));
}

std::optional<platform::Failure> AfterRun(GenerationOutcome outcome, bool view,
                                          const platform::DefaultHandler& opener,
                                          std::string& CurFile) {
  if (!outcome.OutPath && outcome.OutPath.Error().step == platform::Step::kStopped) {
    return std::nullopt;  // stopped: the window is as it was, the page too
  }
  if (!outcome.CurFile.empty()) {
    CurFile = std::move(outcome.CurFile);
  }
  if (!outcome.OutPath) {
    return std::move(outcome.OutPath).Error();
  }
  if (view) {
    // The window says nothing where no program could open the page.
    static_cast<void>(opener.Open(*outcome.OutPath));
  }
  return std::nullopt;
}

}  // namespace quorvane
