#include "publish/tree_pages.h"

#include <algorithm>    // std::any_of, std::replace
#include <cstring>      // std::strlen
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "platform/path_separator.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Folder;
using platform::Result;

// The last name of `below`, a path of names each followed by "/".
std::string LastName(const std::string& below) {
  const std::size_t end = below.size() - 1;
  const std::size_t slash = end == 0 ? std::string::npos : below.rfind('/', end - 1);
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  return below.substr(start, end - start);
}

// The path of the folder above the one at `below`.
std::string Above(const std::string& below) {
  return below.substr(0, below.size() - LastName(below).size() - 1);
}

}  // namespace

TreePages::TreePages(std::shared_ptr<const Folder> top, const NameRules& rules,
                     const platform::Regional& regional, bool links, Make make, Fail fail)
    : top_(std::move(top)),
      rules_(rules),
      regional_(regional),
      links_(links),
      make_(std::move(make)),
      fail_(std::move(fail)) {}

std::shared_ptr<PageOutcome> TreePages::Arrive(Listing& listing) {
  Arrived arrived{std::move(listing), {}, std::make_shared<PageOutcome>(PageState::kPending)};
  arrived.listing.folder.reset();
  if (links_ && !arrived_.empty()) {
    arrived_.back().below.push_back({LastName(arrived.listing.below), arrived.outcome});
  }
  std::shared_ptr<PageOutcome> outcome = arrived.outcome;
  arrived_.push_back(std::move(arrived));
  return outcome;
}

std::optional<PageJob> TreePages::Leave(std::shared_ptr<const Folder> folder) {
  Arrived arrived = std::move(arrived_.back());
  arrived_.pop_back();
  if (folder == nullptr) {
    Failed(arrived.listing.below, false);  // the walk has told why
    arrived.outcome->Settle(PageState::kFailed);
    return std::nullopt;
  }
  arrived.listing.folder = std::move(folder);
  // A walk may start below the top, for a folder new to a tree.
  const bool top = arrived.listing.below.empty();
  return PageJob{std::move(arrived.listing), std::move(arrived.below), std::move(arrived.outcome),
                 top};
}

void TreePages::Write(PageJob& job, PageBatch& batch) {
  FolderLinks links;
  if (links_) {
    links.up = !job.top;  // the run publishes nothing above its top
    for (SubFolderPage& page : job.below) {
      if (page.outcome->Wait() == PageState::kMade) {
        links.down.push_back(std::move(page.name));
      }
    }
  }
  // On a thread of its own, where running out of memory ends the one page.
  const Result<> made =
      platform::CatchOutOfMemory([&] { return make_(job.listing, links, job.top, &batch); });
  if (!made) {
    fail_(made.Error(), job.listing.below);
    Failed(job.listing.below, false);
  }
  job.outcome->Settle(made ? PageState::kMade : PageState::kFailed);
}

void TreePages::Skip(PageJob& job) { job.outcome->Settle(PageState::kFailed); }

void TreePages::PlaceFailed(const std::string& path) {
  const std::string& top = top_->Path();
  const std::size_t name = std::strlen(IndexFileName);
  if (path.size() < top.size() + name || path.compare(0, top.size(), top) != 0) {
    return;
  }
  std::string below = path.substr(top.size(), path.size() - top.size() - name);
  std::replace(below.begin(), below.end(), platform::kPathSeparator, '/');
  Failed(below, true);
}

void TreePages::Mend() {
  std::set<std::string> again;
  for (const auto& [below, late] : failed_) {
    LinkedTo(below, late, again);
  }
  for (const std::string& below : again) {
    if (const Result<> written = WriteAgain(below); !written) {
      fail_(written.Error(), below);
    }
  }
}

void TreePages::Failed(const std::string& below, bool late) {
  const std::lock_guard lock(mutex_);
  failed_.emplace_back(below, late);
}

bool TreePages::FailedAt(const std::string& below) const {
  const std::lock_guard lock(mutex_);
  return std::any_of(failed_.begin(), failed_.end(),
                     [&](const auto& failed) { return failed.first == below; });
}

// Adds to `again` the pages that link to the failed page at `below` where no page is there
// instead: the one above, where the page failed too late for it to know, and those below, which
// link up to it.
void TreePages::LinkedTo(const std::string& below, bool late, std::set<std::string>& again) const {
  if (!links_ || top_->HasFile(below + IndexFileName)) {
    return;
  }
  if (late && !below.empty()) {
    again.insert(Above(below));
  }
  const Result<std::shared_ptr<const Folder>> folder = OpenBelow(below);
  const Result<std::vector<std::string>> names =
      folder ? SubFoldersOf(**folder, rules_, regional_, below) : folder.Error();
  for (const std::string& name : names ? *names : std::vector<std::string>()) {
    if (!FailedAt(below + name + '/') && (*folder)->HasFile(name + '/' + IndexFileName)) {
      again.insert(below + name + '/');
    }
  }
}

Result<std::shared_ptr<const Folder>> TreePages::OpenBelow(const std::string& below) const {
  std::shared_ptr<const Folder> folder = top_;
  for (std::size_t at = 0; at < below.size();) {
    const std::size_t end = below.find('/', at);
    QUORVANE_TRY_ASSIGN(std::shared_ptr<const Folder> next,
                        folder->OpenSubFolder(std::string_view(below).substr(at, end - at)));
    // Never onto another file system, as the walk.
    if (next->Mount() != top_->Mount()) {
      return Failure(platform::Step::kFolderMoved, next->Path());
    }
    folder = std::move(next);
    at = end + 1;
  }
  return folder;
}

// The page of the folder at `below`, with links to the pages there are now.
Result<> TreePages::WriteAgain(const std::string& below) {
  QUORVANE_TRY_ASSIGN(std::shared_ptr<const Folder> folder, OpenBelow(below));
  QUORVANE_TRY_ASSIGN(Listing listing, ListFolder(folder, rules_, regional_, true, below));
  FolderLinks links;
  links.up = !below.empty() && folder->HasFile(std::string("../") + IndexFileName);
  for (const std::string& name : listing.subfolders) {
    if (!FailedAt(below + name + '/') && folder->HasFile(name + '/' + IndexFileName)) {
      links.down.push_back(name);
    }
  }
  return make_(listing, links, false, nullptr);
}

}  // namespace quorvane::tool
