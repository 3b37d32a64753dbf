#include "publish/tree_pages.h"

#include <algorithm>    // std::clamp
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::exchange, std::move

namespace quorvane::tool {
namespace {

// Threads that write pages while a walk goes on, and pages that may wait for them.
constexpr int kPageWriters = 3;
constexpr std::size_t kPagesWaiting = 8;
// Descriptors kept for all else: the standard ones, each writer's page, a listing, the opener.
constexpr std::size_t kDescriptorsKept = 32 + kPageWriters * 6 + kPagesWaiting;

// The folder of the page at `page`, which a walk writes in its folder under its own name.
std::string FolderOf(const std::string& page) {
  return page.substr(0, page.size() - std::string_view(IndexFileName).size());
}

}  // namespace

Budget DescriptorBudget() {
  const std::size_t total = platform::OpenFilesAllowed();
  const std::size_t left = total > kDescriptorsKept + 4 ? total - kDescriptorsKept : 4;
  const std::size_t open_folders = std::clamp<std::size_t>(left / 4, 1, 64);
  // Two batches at most, one filling while the other is placed.
  return {open_folders, std::clamp<std::size_t>((left - open_folders) / 6, 1, 1024)};
}

FolderLinks TreeLinks(const ToolOptions& options, const platform::Folder& folder, bool top,
                      std::vector<std::string> down) {
  FolderLinks links;
  if (options.subfolders) {
    links.up = !top || folder.HasFile(std::string("../") + IndexFileName);
    links.down = std::move(down);
  }
  return links;
}

TreePages::TreePages(PageMaker& maker, const platform::Services& services, Console& console,
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

void TreePages::Follow(TreeWalk::Opened opened, Listed listed, Ended ended) {
  opened_ = std::move(opened);
  listed_ = std::move(listed);
  ended_ = std::move(ended);
}

void TreePages::Walk(std::shared_ptr<const platform::Folder> folder, bool top) {
  TreeWalk walk(rules_, services_.regional, budget_.open_folders);
  if (opened_) {
    walk.OnOpened(opened_);
  }
  if (stop_ != nullptr) {
    walk.StopWhen(*stop_);
  }
  bool first = true;
  walk.Walk(
      std::move(folder),
      [&](Listing& listing) {
        if (listed_) {
          listed_(listing);
        }
        const bool named = std::exchange(first, false) && top;
        FolderLinks links = TreeLinks(maker_.Options(), *listing.folder, named, listing.subfolders);
        Write(std::move(listing), std::move(links), named);
      },
      fail_);
}

void TreePages::Write(Listing listing, FolderLinks links, bool top) {
  writers_->Add(PageJob{std::move(listing), std::move(links), top});
  TellEnded();
}

// On a thread of its own, where running out of memory ends the one page.
void TreePages::WritePage(PageJob& job) {
  if (Stopped()) {
    return;
  }
  const platform::Result<PageEnd> made = platform::CatchOutOfMemory([&] {
    return maker_.Make(job.listing, job.links, {job.top, &batch_, compare_},
                       services_.clock.MonotonicSeconds());
  });
  if (!made) {
    Keep({job.listing.folder->Path(), made.Error()});
  } else if (*made != PageEnd::kSealed) {  // a sealed page is told of once in place
    Keep({job.listing.folder->Path(), std::nullopt});
  }
}

void TreePages::Placed(const SealedPage& page) {
  console_.PagePath(page.path);
  if (page.open) {
    maker_.Open(page.path);
  }
  Keep({FolderOf(page.path), std::nullopt});
}

void TreePages::Unplaced(const SealedPage& page, const platform::Failure& failure) {
  Keep({FolderOf(page.path), failure});
}

void TreePages::Keep(PageOutcome outcome) {
  if (!ended_) {
    if (outcome.failure) {
      fail_(*outcome.failure);
    }
    return;
  }
  const std::lock_guard lock(mutex_);
  outcomes_.push_back(std::move(outcome));
}

void TreePages::TellEnded() {
  if (!ended_) {
    return;
  }
  std::vector<PageOutcome> ended;
  {
    const std::lock_guard lock(mutex_);
    ended.swap(outcomes_);
  }
  for (const PageOutcome& outcome : ended) {
    ended_(outcome);
  }
}

void TreePages::Finish() {
  writers_.reset();
  batch_.Flush();
  TellEnded();
}

}  // namespace quorvane::tool
