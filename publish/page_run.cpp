#include "publish/page_run.h"

#include <algorithm>    // std::replace
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "index/index_page_writer.h"
#include "platform/path_separator.h"

namespace quorvane::tool {
namespace {

// The folder of the page at `page`, which a run down a tree writes in its folder under its name.
std::string FolderOf(const std::string& page) {
  return page.substr(0, page.size() - std::string_view(IndexFileName).size());
}

// The path of the folder at `below` in the tree whose top is at `top`.
std::string PathBelow(const std::string& top, std::string below) {
  std::replace(below.begin(), below.end(), '/', platform::kPathSeparator);
  return top + below;
}

}  // namespace

PageRun::PageRun(PageMaker& maker, const platform::Services& services, Console& console,
                 const NameRules& rules, TreeWalk::Fail fail, bool compare)
    : maker_(maker),
      services_(services),
      console_(console),
      rules_(rules),
      fail_(std::move(fail)),
      compare_(compare),
      budget_(DescriptorBudget()),
      batch_(
          budget_.sealed_pages, services.executor, [this](const SealedPage& page) { Placed(page); },
          [this](const SealedPage& page, const platform::Failure& failure) {
            Unplaced(page, failure);
          }) {
  writers_.emplace(services.executor, kPageWriters, kPagesWaiting,
                   [this](PageJob& job) { WritePage(job); });
}

void PageRun::Follow(TreeWalk::Opened opened, Listed listed, Ended ended) {
  opened_ = std::move(opened);
  listed_ = std::move(listed);
  ended_ = std::move(ended);
}

std::shared_ptr<PageOutcome> PageRun::Walk(const std::shared_ptr<const platform::Folder>& top,
                                           std::shared_ptr<const platform::Folder> folder,
                                           std::string below) {
  TreePages& tree = TreeOf(top);
  TreeWalk walk(rules_, services_.regional, budget_.open_folders);
  walk.OnOpened(opened_);
  if (stop_ != nullptr) {
    walk.StopWhen(*stop_);
  }
  std::shared_ptr<PageOutcome> first;
  walk.Walk(
      std::move(folder),
      [&](Listing& listing) {
        if (listed_) {
          listed_(listing);
        }
        std::shared_ptr<PageOutcome> outcome = tree.Arrive(listing);
        first = first ? first : std::move(outcome);
      },
      fail_,
      [&](std::shared_ptr<const platform::Folder> done) {
        if (std::optional<PageJob> job = tree.Leave(std::move(done))) {
          job->tree = &tree;
          writers_->Add(std::move(*job));
        }
        TellEnded();
      },
      std::move(below));
  return first;
}

std::shared_ptr<PageOutcome> PageRun::Write(const std::shared_ptr<const platform::Folder>& top,
                                            Listing listing,
                                            std::vector<SubFolderPage> subfolders) {
  auto outcome = std::make_shared<PageOutcome>(PageState::kPending);
  const bool is_top = listing.below.empty();
  writers_->Add(PageJob{std::move(listing), std::move(subfolders), outcome, is_top, &TreeOf(top)});
  TellEnded();
  return outcome;
}

void PageRun::Finish() {
  writers_.reset();
  batch_.Flush();
  if (!maker_.Options().dry_run && !Stopped()) {
    for (const auto& [path, tree] : trees_) {
      tree->Mend();
    }
  }
  TellEnded();
}

TreePages& PageRun::TreeOf(const std::shared_ptr<const platform::Folder>& top) {
  const std::lock_guard lock(mutex_);
  std::unique_ptr<TreePages>& tree = trees_[top->Path()];
  if (tree == nullptr) {
    tree = std::make_unique<TreePages>(
        top, rules_, services_.regional, maker_.Options().subfolders,
        [this](Listing& listing, const FolderLinks& links, bool is_top, PageBatch* batch) {
          return Make(listing, links, is_top, batch);
        },
        [this, path = top->Path()](const platform::Failure& failure, const std::string& below) {
          Keep({PathBelow(path, below), failure});
        });
  }
  return *tree;
}

// On a page writer's thread.
void PageRun::WritePage(PageJob& job) {
  if (Stopped()) {
    job.tree->Skip(job);
  } else {
    job.tree->Write(job, batch_);
  }
}

platform::Result<> PageRun::Make(Listing& listing, const FolderLinks& links, bool top,
                                 PageBatch* batch) {
  QUORVANE_TRY_ASSIGN(const PageEnd end, maker_.Make(listing, links, {top, batch, compare_},
                                                     services_.clock.MonotonicSeconds()));
  if (end != PageEnd::kSealed) {  // a sealed page is told of once in place
    Keep({listing.folder->Path(), std::nullopt});
  }
  return {};
}

void PageRun::Placed(const SealedPage& page) {
  console_.PagePath(page.path);
  if (page.open) {
    maker_.Open(page.path);
  }
  Keep({FolderOf(page.path), std::nullopt});
}

void PageRun::Unplaced(const SealedPage& page, const platform::Failure& failure) {
  {
    const std::lock_guard lock(mutex_);
    for (const auto& [path, tree] : trees_) {
      tree->PlaceFailed(page.path);
    }
  }
  Keep({FolderOf(page.path), failure});
}

void PageRun::Keep(PageReport report) {
  if (!ended_) {
    if (report.failure) {
      fail_(*report.failure);
    }
    return;
  }
  const std::lock_guard lock(mutex_);
  reports_.push_back(std::move(report));
}

void PageRun::TellEnded() {
  if (!ended_) {
    return;
  }
  std::vector<PageReport> ended;
  {
    const std::lock_guard lock(mutex_);
    ended.swap(reports_);
  }
  for (const PageReport& report : ended) {
    ended_(report);
  }
}

}  // namespace quorvane::tool
