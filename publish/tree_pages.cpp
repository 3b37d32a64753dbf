#include "publish/tree_pages.h"

#include <algorithm>  // std::clamp
#include <string>     // std::string
#include <utility>    // std::exchange, std::move

namespace quorvane::tool {
namespace {

// Threads that write pages while a walk goes on, and pages that may wait for them.
constexpr int kPageWriters = 3;
constexpr std::size_t kPagesWaiting = 8;
// Descriptors kept for all else: the standard ones, each writer's page, a listing, the opener.
constexpr std::size_t kDescriptorsKept = 32 + kPageWriters * 6 + kPagesWaiting;

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
            Ended(page, failure);
          }) {
  writers_.emplace(services.executor, kPageWriters, kPagesWaiting,
                   [this](PageJob& job) { WritePage(job); });
}

void TreePages::Follow(TreeWalk::Opened opened, Listed listed) {
  opened_ = std::move(opened);
  listed_ = std::move(listed);
  following_ = true;
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
}

// On a thread of its own, where running out of memory ends the one page.
void TreePages::WritePage(PageJob& job) {
  if (Stopped()) {
    return;
  }
  const std::string folder = job.listing.folder->Path();
  if (following_) {
    // Before the page is sealed: its batch may put it in place before Make() returns.
    const std::lock_guard lock(mutex_);
    sealed_.emplace(folder + IndexFileName, PageOutcome{folder, std::nullopt, job.links.down});
  }
  const platform::Result<PageEnd> made = platform::CatchOutOfMemory([&] {
    return maker_.Make(job.listing, job.links, {job.top, &batch_, compare_},
                       services_.clock.MonotonicSeconds());
  });
  if (made && *made == PageEnd::kSealed) {
    return;  // told of once in place
  }
  PageOutcome outcome = Unsealed(folder + IndexFileName, folder);
  if (!made) {
    outcome.failure = made.Error();
  }
  Keep(std::move(outcome));
}

// What is noted of the page at `page`, of the folder at `folder`, taken out of those waiting.
PageOutcome TreePages::Unsealed(const std::string& page, const std::string& folder) {
  const std::lock_guard lock(mutex_);
  auto noted = sealed_.extract(page);
  return noted ? std::move(noted.mapped()) : PageOutcome{folder, std::nullopt, {}};
}

void TreePages::Placed(const SealedPage& page) {
  console_.PagePath(page.path);
  if (page.open) {
    maker_.Open(page.path);
  }
  if (following_) {
    PageOutcome outcome = Unsealed(page.path, {});
    const std::lock_guard lock(mutex_);
    outcomes_.push_back(std::move(outcome));
  }
}

void TreePages::Ended(const SealedPage& page, const platform::Failure& failure) {
  PageOutcome outcome = Unsealed(page.path, {});
  outcome.failure = failure;
  Keep(std::move(outcome));
}

void TreePages::Keep(PageOutcome outcome) {
  if (!following_) {
    if (outcome.failure) {
      fail_(*outcome.failure);
    }
    return;
  }
  const std::lock_guard lock(mutex_);
  outcomes_.push_back(std::move(outcome));
}

std::vector<PageOutcome> TreePages::Finish() {
  writers_.reset();
  batch_.Flush();
  const std::lock_guard lock(mutex_);
  return std::exchange(outcomes_, {});
}

}  // namespace quorvane::tool
