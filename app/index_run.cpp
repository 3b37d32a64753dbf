#include "app/index_run.h"

#include <atomic>              // std::atomic
#include <condition_variable>  // std::condition_variable
#include <memory>              // std::shared_ptr
#include <mutex>               // std::mutex
#include <new>                 // std::bad_alloc
#include <thread>              // std::thread
#include <vector>              // std::vector

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "platform/default_handler.h"
#include "platform/failure.h"
#include "platform/folder_arguments.h"

namespace quorvane::tool {
namespace {

// Folders a recursive run indexes at once.
constexpr int kFoldersAtOnce = 4;

// Counts what the page writer does, for the progress line.
class Counting final : public FileListObserver {
 public:
  Counting(const FileList& list, Console& console) : list_(list), console_(console) {}
  void ListChanged() override { console_.AddFiles(list_.Count()); }
  void SelectionChanged(std::int64_t /*position*/) override { console_.FileWritten(); }

 private:
  const FileList& list_;
  Console& console_;
};

// `folder` made absolute as the system takes it, ending in the separator.
std::string CurPathOf(const std::string& folder) {
  std::string path = platform::AbsoluteFolder(folder);
  if (path.back() != kPathSeparator) {
    path += kPathSeparator;
  }
  return path;
}

class Runner {
 public:
  Runner(const ToolOptions& options, const platform::Services& services, Console& console)
      : options_(options), services_(services), console_(console) {}

  void Index(const std::string& folder) {
    std::string CurPath;
    try {
      CurPath = CurPathOf(folder);
    } catch (const platform::Failure& failure) {
      Fail(failure.what());
      return;
    }
    if (!options_.recursive) {
      FileList list(services_.regional, services_.files);
      list.SetFolder(CurPath);
      Settle(
          MakePage(list, [&] { return MakeIndexPage(options_.images, CurPath, list, services_); }));
      return;
    }
    try {
      Walk(services_.files.OpenFolder(CurPath));
    } catch (const platform::Failure& failure) {
      Fail(failure.what());
    }
  }

  bool Failed() const { return failed_; }

 private:
  // A folder still to do: `name` in `parent`, or `open` itself.
  struct Pending {
    std::shared_ptr<const platform::Folder> parent;
    std::string name;
    std::shared_ptr<const platform::Folder> open;
  };

  template <typename Make>
  GenerationOutcome MakePage(FileList& list, Make&& make) {
    Counting counting(list, console_);
    list.SetObserver(&counting);
    GenerationOutcome outcome = make();
    list.SetObserver(nullptr);
    return outcome;
  }

  void Settle(const GenerationOutcome& outcome) {
    console_.FolderDone();
    if (!outcome.completed) {
      Fail(outcome.failure->what());
      return;
    }
    console_.PagePath(outcome.OutPath);
    if (options_.open) {
      opener_.Open(outcome.OutPath);
    }
  }

  void Fail(const std::string& words) {
    failed_ = true;
    console_.Report(words);
  }

  // Indexes `root` and every folder below it on its volume, several folders at a time. Each is
  // opened from its parent by name, so a symlink put in a folder's place is never followed.
  void Walk(std::unique_ptr<platform::Folder> root) {
    pending_.push_back({nullptr, {}, std::move(root)});
    std::vector<std::thread> workers;
    for (int i = 0; i < kFoldersAtOnce; ++i) {
      workers.emplace_back([this] { Work(); });
    }
    for (std::thread& worker : workers) {
      worker.join();
    }
  }

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !pending_.empty() || busy_ == 0; });
      if (pending_.empty()) {
        return;
      }
      Pending next = std::move(pending_.back());
      pending_.pop_back();
      ++busy_;
      lock.unlock();
      try {
        Visit(next.open ? std::move(next.open) : next.parent->OpenSubFolder(next.name));
      } catch (const platform::Failure& failure) {
        Fail(failure.what());
      } catch (const std::bad_alloc&) {
        Fail(platform::Describe(platform::Step::kOutOfMemory, ""));
      }
      next.parent.reset();
      lock.lock();
      --busy_;
      changed_.notify_all();
    }
  }

  // Queues the folder's sub-folders, then writes its page.
  void Visit(std::shared_ptr<const platform::Folder> folder) {
    try {
      std::vector<std::string> names = folder->SubFolderNames();
      const std::lock_guard lock(mutex_);
      for (std::string& name : names) {
        pending_.push_back({folder, std::move(name), nullptr});
      }
      changed_.notify_all();
    } catch (const platform::Failure& failure) {
      Fail(failure.what());
    }
    FileList list(services_.regional, services_.files);
    Settle(
        MakePage(list, [&] { return MakeIndexPageIn(*folder, options_.images, list, services_); }));
  }

  const ToolOptions& options_;
  const platform::Services& services_;
  Console& console_;
  const platform::SystemDefaultHandler opener_;
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Pending> pending_;  // a stack, so that the walk goes deep first and few stay open
  int busy_ = 0;
};

}  // namespace

int IndexFolders(const ToolOptions& options, const platform::Services& services, Console& console) {
  Runner runner(options, services, console);
  if (options.folders.empty()) {
    runner.Index(".");
  }
  for (const std::string& folder : options.folders) {
    runner.Index(folder);
  }
  return runner.Failed() ? 1 : 0;
}

}  // namespace quorvane::tool
