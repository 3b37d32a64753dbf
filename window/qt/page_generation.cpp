#include "window/qt/page_generation.h"

#include <atomic>   // std::atomic
#include <cstdint>  // std::int64_t
#include <mutex>    // std::mutex, std::lock_guard
#include <utility>  // std::move

#include "index/folder_listing.h"
#include "platform/services.h"
#include "window/qt/background_work.h"

namespace quorvane {
namespace {

// How often the list shown catches up with the run: as often as the eye can follow.
constexpr int kFollowMilliseconds = 40;

}  // namespace

// The run's own list, and what of it the window may see: the list once re-read, and the entry
// being written. The list itself is the run's; only the copy it hands over crosses threads.
struct PageGeneration::Job final : private FileListObserver {
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

PageGeneration::PageGeneration(const platform::Services& services, FileList& shown,
                               BackgroundWork& background, Ended ended)
    : services_(services), shown_(shown), background_(background), ended_(std::move(ended)) {
  follow_.setInterval(kFollowMilliseconds);
  QObject::connect(&follow_, &QTimer::timeout, &follow_, [this] { Follow(); });
}

PageGeneration::~PageGeneration() = default;

void PageGeneration::Start(bool ShowImages, const std::string& CurPath) {
  before_ = std::make_unique<FileList>(shown_);
  job_ = std::make_shared<Job>(shown_);
  stop_ = background_.Run(
      [job = job_, ShowImages, CurPath,
       &services = services_](std::stop_token stop) -> platform::Result<GenerationOutcome> {
        return MakeIndexPage(ShowImages, CurPath, job->list, services, std::move(stop));
      },
      [this](platform::Result<GenerationOutcome> outcome) {
        // Out of memory, the run failed where it was.
        Finish(outcome ? std::move(*outcome) : GenerationOutcome{outcome.Error(), {}});
      });
  follow_.start();
}

void PageGeneration::Stop() {
  if (Running()) {
    stop_.request_stop();
  }
}

void PageGeneration::Follow() {
  // The position first: one taken from a list not yet handed over would be put on the old one.
  const std::int64_t position = job_->Position();
  if (const std::unique_ptr<FileList> read = job_->TakeRead()) {
    shown_.Adopt(*read);
  }
  if (position >= 0 && position != shown_.Selected()) {
    shown_.Select(position);
  }
}

void PageGeneration::Finish(GenerationOutcome outcome) {
  follow_.stop();
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

}  // namespace quorvane
