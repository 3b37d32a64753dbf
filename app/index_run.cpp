#include "app/index_run.h"

#include <algorithm>  // std::clamp, std::min
#include <atomic>     // std::atomic
#include <cerrno>     // EISDIR
#include <memory>     // std::shared_ptr
#include <new>        // std::bad_alloc
#include <utility>    // std::exchange, std::move
#include <vector>     // std::vector

#include "app/page_writers.h"
#include "app/tool_page.h"
#include "app/tree_walk.h"
#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "index/page_text.h"
#include "platform/default_handler.h"
#include "platform/failure.h"
#include "platform/folder_arguments.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Step;

// Threads that write pages while a walk goes on, and pages that may wait for them.
constexpr int kPageWriters = 3;
constexpr std::size_t kPagesWaiting = 8;
// Descriptors kept for all else: the standard ones, each writer's page, a listing, the opener.
constexpr std::size_t kDescriptorsKept = 32 + kPageWriters * 6 + kPagesWaiting;
// How much of a file is read to tell whether it is a page of ours.
constexpr std::size_t kHeadRead = 1 << 20;
constexpr std::size_t kTailRead = 64 * 1024;

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

// How many folders a walk keeps open and how many sealed pages wait for the disk together, so
// that the run stays within the descriptors it may have open however the tree is shaped.
struct Budget {
  std::size_t open_folders;
  std::size_t sealed_pages;  // each holds three: the new page, its folder, the old page
};

Budget DescriptorBudget() {
  const std::size_t total = platform::OpenFilesAllowed();
  const std::size_t left = total > kDescriptorsKept + 4 ? total - kDescriptorsKept : 4;
  const std::size_t open_folders = std::clamp<std::size_t>(left / 4, 1, 64);
  // Two batches at most, one filling while the other is placed.
  return {open_folders, std::clamp<std::size_t>((left - open_folders) / 6, 1, 1024)};
}

// Up to `size` bytes of `page` from `offset`.
std::string ReadPart(const platform::PageReader& page, std::uint64_t offset, std::size_t size) {
  std::string part(size, '\0');
  std::size_t got = 0;
  for (std::size_t read;
       got < size && (read = page.ReadAt(offset + got, part.data() + got, size - got)) > 0;) {
    got += read;
  }
  part.resize(got);
  return part;
}

bool IsOurPage(const platform::PageReader& page) {
  const std::uint64_t size = page.Size();
  const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size, kTailRead));
  return IsIndexPageFrame(ReadPart(page, 0, kHeadRead), ReadPart(page, size - tail, tail));
}

class Runner {
 public:
  Runner(const ToolOptions& options, const platform::Services& services, Console& console)
      : options_(options), services_(services), console_(console) {
    rules_.all = options.all;
    rules_.excludes = options.excludes;
  }

  void Index(const std::string& folder) {
    try {
      std::shared_ptr<const platform::Folder> top = services_.files.OpenFolder(CurPathOf(folder));
      if (options_.clean) {
        Clean(top);
      } else if (options_.recursive) {
        PublishTree(top);
      } else {
        PublishOne(top);
      }
    } catch (const Failure& failure) {
      Fail(failure.what());
    } catch (const std::bad_alloc&) {
      Fail(platform::Describe(Step::kOutOfMemory, ""));
    }
  }

  bool Failed() const { return failed_; }

 private:
  void PublishOne(const std::shared_ptr<const platform::Folder>& folder) {
    NameRules rules = rules_;
    if (options_.output && *options_.output != "-") {
      OpenOutput();
      // The page is no entry of its own, under whatever name it has.
      if (output_folder_->Identity() == folder->Identity()) {
        rules.also_left_out = output_name_;
      }
    }
    Listing listing;
    listing.folder = folder;
    FolderLinks links;
    if (options_.subfolders) {
      // Without a walk, only the pages there are to link to.
      links.up = folder->HasFile(std::string("../") + IndexFileName);
      for (std::string& name : SubFoldersOf(*folder, rules, services_.regional)) {
        if (folder->HasFile(name + "/" + IndexFileName)) {
          links.down.push_back(std::move(name));
        }
      }
    }
    MakePage(listing, links, true, nullptr, &rules);
  }

  void PublishTree(const std::shared_ptr<const platform::Folder>& top) {
    const Budget budget = DescriptorBudget();
    PageBatch batch(
        budget.sealed_pages,
        [this](const SealedPage& page) {
          console_.PagePath(page.path);
          if (page.open) {
            opener_.Open(page.path);
          }
        },
        [this](const std::string& words) { Fail(words); });
    {
      PageWriters writers(kPageWriters, kPagesWaiting, [&](PageJob& job) {
        // On a thread of its own, where nothing may be left to throw.
        try {
          MakePage(job.listing, job.links, job.top, &batch);
        } catch (const std::bad_alloc&) {
          Fail(platform::Describe(Step::kOutOfMemory, ""));
        }
      });
      bool first = true;
      TreeWalk(rules_, services_.regional, budget.open_folders)
          .Walk(
              top,
              [&](Listing& listing) {
                PageJob job;
                if (options_.subfolders) {
                  job.links.up = !first || top->HasFile(std::string("../") + IndexFileName);
                  job.links.down = listing.subfolders;
                }
                job.top = std::exchange(first, false);
                job.listing = std::move(listing);
                writers.Add(std::move(job));
              },
              [this](const std::string& words) { Fail(words); });
    }
    batch.Flush();
  }

  void Clean(const std::shared_ptr<const platform::Folder>& top) {
    if (!options_.recursive) {
      RemovePage(*top);
      return;
    }
    TreeWalk(rules_, services_.regional, DescriptorBudget().open_folders)
        .Walk(
            top, [this](Listing& listing) { RemovePage(*listing.folder); },
            [this](const std::string& words) { Fail(words); });
  }

  // Removes the folder's page, when it is one this program wrote.
  void RemovePage(const platform::Folder& folder) {
    const std::string path = folder.Path() + IndexFileName;
    try {
      const std::unique_ptr<platform::PageReader> page = folder.ReadPage(IndexFileName);
      if (!page) {
        return;
      }
      if (!IsOurPage(*page)) {
        throw Failure(Step::kNotAPage, path);
      }
      if (!options_.dry_run) {
        page->Remove();
      }
      console_.PagePath(path);
    } catch (const Failure& failure) {
      Fail(failure.GetStep() == Step::kPageNotAFile ? platform::Describe(Step::kNotAPage, path)
                                                    : failure.what());
    }
  }

  // Writes the page of the listed folder, by the route the options give it.
  void MakePage(const Listing& listing, const FolderLinks& links, bool top, PageBatch* batch,
                const NameRules* rules = nullptr) {
    const PageRoute route = RouteFor(*listing.folder, top, batch);
    PageEnd end = PageEnd::kFailed;
    const PublishedFolder folder(listing, route, end, rules);
    FileList list(services_.regional, services_.files);
    Counting counting(list, console_);
    list.SetObserver(&counting);
    const GenerationOutcome outcome =
        MakeIndexPageIn(folder, options_.images, list, services_, links);
    list.SetObserver(nullptr);
    console_.FolderDone();
    if (!outcome.completed) {
      Fail(outcome.failure->what());
      return;
    }
    if (route.target != nullptr && (end == PageEnd::kPlaced || end == PageEnd::kWouldWrite)) {
      console_.PagePath(route.path);
    }
    if (route.open && (end == PageEnd::kPlaced || end == PageEnd::kUnchanged)) {
      opener_.Open(route.path);
    }
  }

  PageRoute RouteFor(const platform::Folder& folder, bool top, PageBatch* batch) {
    PageRoute route;
    route.update = options_.update;
    route.dry_run = options_.dry_run;
    route.batch = batch;
    route.open = options_.open && top && !options_.dry_run;
    route.console = &console_;
    if (!options_.output) {
      route.target = &folder;
      route.name = IndexFileName;
      route.path = folder.Path() + IndexFileName;
    } else if (*options_.output != "-") {
      route.target = output_folder_.get();
      route.name = output_name_;
      route.path = output_folder_->Path() + output_name_;
    }
    return route;
  }

  // Opens the folder of the file --output names. Throws Failure.
  void OpenOutput() {
    const std::string& file = *options_.output;
    // Windows takes either separator.
    const std::size_t slash = file.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
    output_name_ = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    if (output_name_.empty() || output_name_ == "." || output_name_ == "..") {
      throw Failure(Step::kWritePage, file, EISDIR);
    }
    output_folder_ = services_.files.OpenFolder(CurPathOf(folder));
  }

  void Fail(const std::string& words) {
    failed_ = true;
    console_.Report(words);
  }

  const ToolOptions& options_;
  const platform::Services& services_;
  Console& console_;
  NameRules rules_;
  const platform::SystemDefaultHandler opener_;
  std::unique_ptr<platform::Folder> output_folder_;
  std::string output_name_;
  std::atomic<bool> failed_{false};
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
