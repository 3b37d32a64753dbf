#include "publish/index_run.h"

#include <atomic>    // std::atomic
#include <cerrno>    // EISDIR
#include <chrono>    // std::chrono::seconds
#include <memory>    // std::shared_ptr
#include <optional>  // std::optional
#include <utility>   // std::move
#include <vector>    // std::vector

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "platform/default_handler.h"
#include "platform/failure.h"
#include "platform/folder_arguments.h"
#include "publish/page_removal.h"
#include "publish/page_sinks.h"
#include "publish/page_writers.h"
#include "publish/tree_pages.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Step;

// How long the default handler may take to say that no program could open a page.
constexpr std::chrono::seconds kOpenAnswer{5};

// Counts what the page writer does, for the progress line.
class Counting final : public PageProgress {
 public:
  explicit Counting(Console& console) : console_(console) {}
  void At(std::int64_t /*position*/) override { console_.FileWritten(); }

 private:
  Console& console_;
};

// The folder named `folder` on the command line, made absolute as the system takes it.
platform::Result<std::unique_ptr<platform::Folder>> OpenNamed(const platform::FileSystem& files,
                                                              const std::string& folder) {
  QUORVANE_TRY_ASSIGN(std::string path, platform::AbsoluteFolder(folder));
  if (path.back() != kPathSeparator) {
    path += kPathSeparator;
  }
  return files.OpenFolder(path);
}

class Runner {
 public:
  Runner(const ToolOptions& options, const platform::Services& services, Console& console)
      : options_(options), services_(services), console_(console) {
    rules_.all = options.all;
    if (!options.excludes.empty()) {
      rules_.excludes = std::make_shared<const Exclusions>(options.excludes);
    }
  }

  // Running out of memory ends the one folder, and the others are still done.
  void Index(const std::string& folder) {
    if (const platform::Result<> indexed = platform::CatchOutOfMemory([&] { return Run(folder); });
        !indexed) {
      Fail(indexed.Error());
    }
  }

  bool Failed() const { return failed_; }

  // Names in one line the patterns that left nothing out, where the run listed any folder.
  void WarnOfUnmatched() {
    if (rules_.excludes == nullptr || (options_.clean && !options_.recursive)) {
      return;
    }
    std::string named;
    for (const std::string& pattern : rules_.excludes->Unmatched()) {
      named += (named.empty() ? "-x '" : " or -x '") + pattern + "'";
    }
    if (!named.empty()) {
      console_.Report(Failure(Step::kExcludedNothing, named));
    }
  }

 private:
  platform::Result<> Run(const std::string& folder) {
    QUORVANE_TRY_ASSIGN(const std::shared_ptr<const platform::Folder> top,
                        OpenNamed(services_.files, folder));
    if (options_.clean) {
      Clean(top);
    } else if (options_.recursive) {
      PublishTree(top);
    } else {
      return PublishOne(top);
    }
    return {};
  }

  platform::Result<> PublishOne(const std::shared_ptr<const platform::Folder>& folder) {
    const double t0 = services_.clock.MonotonicSeconds();
    NameRules rules = rules_;
    if (options_.output && *options_.output != "-") {
      QUORVANE_TRY(OpenOutput());
      // The page is no entry of its own, under whatever name it has.
      if (output_folder_->Identity() == folder->Identity()) {
        rules.also_left_out = output_name_;
      }
    }
    QUORVANE_TRY_ASSIGN(Listing listing, ListFolder(folder, rules, services_.regional, false));
    FolderLinks links;
    if (options_.subfolders) {
      QUORVANE_TRY(LinkExistingPages(*folder, rules, links));
    }
    return MakePage(listing, links, true, nullptr, t0);
  }

  // Without a walk, only the pages there are to link to, and up only to a page of ours.
  platform::Result<> LinkExistingPages(const platform::Folder& folder, const NameRules& rules,
                                       FolderLinks& links) const {
    const platform::Result<std::unique_ptr<platform::Folder>> parent = folder.OpenParent();
    links.up = parent && (*parent)->Identity() != folder.Identity() && HoldsOurPage(**parent);
    QUORVANE_TRY_ASSIGN(std::vector<std::string> subfolders,
                        SubFoldersOf(folder, rules, services_.regional));
    for (std::string& name : subfolders) {
      if (folder.HasFile(name + "/" + IndexFileName)) {
        links.down.push_back(std::move(name));
      }
    }
    return {};
  }

  // Each folder's page once its sub-folders' are made or have failed, so that it links only to
  // those there are: see TreePages.
  void PublishTree(const std::shared_ptr<const platform::Folder>& top) {
    const Budget budget = DescriptorBudget();
    TreePages tree(
        top, rules_, services_.regional, options_.subfolders,
        [this](Listing& listing, const FolderLinks& links, bool is_top, PageBatch* batch) {
          return MakePage(listing, links, is_top, batch, services_.clock.MonotonicSeconds());
        },
        [this](const Failure& failure) { Fail(failure); });
    PageBatch batch(
        budget.sealed_pages, services_.executor,
        [this](const SealedPage& page) {
          console_.PagePath(page.path);
          if (page.open) {
            Open(page.path);
          }
        },
        [&](const SealedPage& page, const Failure& failure) {
          tree.PlaceFailed(page.path);
          Fail(failure);
        });
    {
      PageWriters writers(services_.executor, kPageWriters, kPagesWaiting,
                          [&](PageJob& job) { tree.Write(job, batch); });
      TreeWalk(rules_, services_.regional, budget.open_folders)
          .Walk(
              top, [&](Listing& listing) { tree.Arrive(listing); },
              [this](const Failure& failure) { Fail(failure); },
              [&](std::shared_ptr<const platform::Folder> folder) {
                if (std::optional<PageJob> job = tree.Leave(std::move(folder))) {
                  writers.Add(std::move(*job));
                }
              });
    }
    batch.Flush();
    if (!options_.dry_run) {
      tree.Mend();
    }
  }

  void Clean(const std::shared_ptr<const platform::Folder>& top) {
    const auto remove = [this](const platform::Folder& folder) {
      if (!options_.dry_run) {
        folder.RemoveLeftovers();
      }
      const platform::Result<bool> removed = RemoveOurPage(folder, options_.dry_run);
      if (!removed) {
        Fail(removed.Error());
      } else if (*removed) {
        console_.PagePath(folder.Path() + IndexFileName);
      }
    };
    if (!options_.recursive) {
      remove(*top);
      return;
    }
    TreeWalk(rules_, services_.regional, DescriptorBudget().open_folders)
        .Walk(
            top, [&](Listing& listing) { remove(*listing.folder); },
            [this](const Failure& failure) { Fail(failure); });
  }

  // Writes the page of the listed folder, begun at `t0`, by the route the options give it.
  platform::Result<> MakePage(Listing& listing, const FolderLinks& links, bool top,
                              PageBatch* batch, double t0) {
    // Sorted here, on the thread that writes the page, so that the walk goes on meanwhile.
    listing.files.Sort(services_.regional, services_.executor);
    if (!options_.dry_run && !options_.output) {
      listing.folder->RemoveLeftovers();
    }
    const PageRoute route = RouteFor(*listing.folder, top, batch);
    QUORVANE_TRY_ASSIGN(const std::unique_ptr<PageSink> sink, OpenPageSink(route));
    console_.AddFiles(static_cast<std::int64_t>(listing.files.Size()));
    Counting counting(console_);
    PageRequest request{listing.folder->Path(), listing.files, *listing.folder,
                        options_.images,        &links,        t0};
    const std::optional<std::string> shown =
        options_.root ? std::optional(RootedPath(*options_.root, listing.below)) : std::nullopt;
    request.shown = shown;
    const platform::Result<PageEnd> end = WriteIndexPage(request, *sink, counting, services_);
    console_.FolderDone();
    QUORVANE_TRY(end);
    if (*end == PageEnd::kPlaced || *end == PageEnd::kWouldWrite) {
      console_.PagePath(route.path);
    }
    if (route.open && (*end == PageEnd::kPlaced || *end == PageEnd::kUnchanged)) {
      Open(route.path);
    }
    return {};
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
    } else {
      route.path = "-";  // what a dry run says it would write to, as it was named
    }
    return route;
  }

  // Opens the folder of the file --output names.
  platform::Result<> OpenOutput() {
    const std::string& file = *options_.output;
    // Windows takes either separator.
    const std::size_t slash = file.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
    output_name_ = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    if (output_name_.empty() || output_name_ == "." || output_name_ == "..") {
      return Failure(Step::kWritePage, file, EISDIR);
    }
    QUORVANE_TRY_ASSIGN(output_folder_, OpenNamed(services_.files, folder));
    return {};
  }

  void Fail(const Failure& failure) {
    failed_ = true;
    console_.Report(failure);
  }

  void Open(const std::string& path) {
    if (const platform::Result<> opened = opener_.Open(path); !opened) {
      Fail(opened.Error());
    }
  }

  const ToolOptions& options_;
  const platform::Services& services_;
  Console& console_;
  NameRules rules_;
  const platform::SystemDefaultHandler opener_{kOpenAnswer};
  std::unique_ptr<platform::Folder> output_folder_;
  std::string output_name_;
  std::atomic<bool> failed_{false};
};

}  // namespace

int IndexFolders(const ToolOptions& options, const platform::Services& services, Console& console) {
  console.ShowProgress(services.executor);
  Runner runner(options, services, console);
  if (options.folders.empty()) {
    runner.Index(".");
  }
  for (const std::string& folder : options.folders) {
    runner.Index(folder);
  }
  runner.WarnOfUnmatched();
  return runner.Failed() ? 1 : 0;
}

}  // namespace quorvane::tool
