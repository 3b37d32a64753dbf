#include "publish/tree_walk.h"

#include <algorithm>  // std::sort
#include <utility>    // std::move

#include "platform/file_system.h"
#include "text/name_pattern.h"

namespace quorvane::tool {
namespace {

// Keeps the names `rules` let a walk enter, in name order.
void KeepEntered(std::vector<std::string>& names, const NameRules& rules,
                 const platform::Regional& regional) {
  std::erase_if(names, [&](const std::string& name) { return !rules.Entered(name); });
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return CompareNames(regional, a, b) < 0;
  });
}

}  // namespace

bool NameRules::LeftOut(std::string_view name) const {
  if (!also_left_out.empty() && name == also_left_out) {
    return true;
  }
  for (const std::string& pattern : excludes) {
    if (text::MatchesPattern(pattern, name, platform::NamesIgnoreCase())) {
      return true;
    }
  }
  return false;
}

bool NameRules::Entered(std::string_view name) const {
  return (all || name.empty() || name.front() != '.') && !LeftOut(name);
}

platform::Result<Listing> ListFolder(std::shared_ptr<const platform::Folder> folder,
                                     const NameRules& rules, const platform::Regional& regional,
                                     bool with_subfolders) {
  Listing listing;
  listing.folder = std::move(folder);
  KeptNames files(listing.files, [&](std::string_view name) { return !rules.LeftOut(name); });
  platform::NameVector folders;
  QUORVANE_TRY(listing.folder->ReadNames(files, with_subfolders ? &folders : nullptr));
  KeepEntered(folders.names, rules, regional);
  listing.subfolders = std::move(folders.names);
  return listing;
}

platform::Result<std::vector<std::string>> SubFoldersOf(const platform::Folder& folder,
                                                        const NameRules& rules,
                                                        const platform::Regional& regional) {
  platform::Result<std::vector<std::string>> names = folder.SubFolderNames();
  if (names) {
    KeepEntered(*names, rules, regional);
  }
  return names;
}

void TreeWalk::Walk(std::shared_ptr<const platform::Folder> top,
                    const std::function<void(Listing&)>& visit, const Fail& fail) {
  visit_ = &visit;
  fail_ = &fail;
  mount_ = top->Mount();
  frames_.clear();
  Frame root{top, top->Identity(), {}, {}, 0};
  platform::Result<Listing> listing = ListFolder(std::move(top), rules_, regional_, true);
  if (!listing) {
    fail(listing.Error());
    return;
  }
  root.subfolders = listing->subfolders;
  visit(*listing);
  frames_.push_back(std::move(root));
  while (!frames_.empty()) {
    Frame& frame = frames_.back();
    if (frame.next == frame.subfolders.size()) {
      Leave();
    } else {
      Enter(frame);
    }
  }
}

// Goes into the next sub-folder of `parent`, the deepest folder.
void TreeWalk::Enter(Frame& parent) {
  const std::string& name = parent.subfolders[parent.next++];
  platform::Result<std::unique_ptr<platform::Folder>> opened = parent.folder->OpenSubFolder(name);
  if (!opened) {
    (*fail_)(opened.Error());
    return;
  }
  std::shared_ptr<const platform::Folder> folder = std::move(*opened);
  // Checked on the folder opened, not on the listing: a file system mounted there since is
  // another's, as much as one mounted before.
  if (folder->Mount() != mount_) {
    return;
  }
  platform::Result<Listing> listing = ListFolder(folder, rules_, regional_, true);
  if (!listing) {
    (*fail_)(listing.Error());
    return;
  }
  std::vector<std::string> subfolders = listing->subfolders;
  (*visit_)(*listing);
  if (subfolders.empty()) {
    return;
  }
  frames_.push_back({folder, folder->Identity(), name, std::move(subfolders), 0});
  // The top stays open, to come back down from.
  if (frames_.size() > open_at_most_ + 1) {
    frames_[frames_.size() - 1 - open_at_most_].folder.reset();
  }
}

// Leaves the deepest folder, done, for its parent, which is opened again if it was closed.
void TreeWalk::Leave() {
  const Frame done = std::move(frames_.back());
  frames_.pop_back();
  if (frames_.empty() || frames_.back().folder != nullptr) {
    return;
  }
  Frame& parent = frames_.back();
  platform::Result<std::unique_ptr<platform::Folder>> reopened = Reopen(done);
  if (!reopened) {
    (*fail_)(reopened.Error());
    parent.next = parent.subfolders.size();
    return;
  }
  parent.folder = std::move(*reopened);
}

// The parent of `done`, the deepest folder now: through the child's "..", as a rule; moved
// meanwhile, that is another folder now, and the parent is looked for again from the top down,
// as it is on a system that cannot go up through a folder.
platform::Result<std::unique_ptr<platform::Folder>> TreeWalk::Reopen(const Frame& done) const {
  if (done.folder != nullptr) {
    platform::Result<std::unique_ptr<platform::Folder>> parent = done.folder->OpenParent();
    if (parent && IsFrame(**parent, frames_.back())) {
      return parent;
    }
  }
  return ReopenFromTop();
}

bool TreeWalk::IsFrame(const platform::Folder& folder, const Frame& frame) const {
  return folder.Identity() == frame.identity && folder.Mount() == mount_;
}

// The deepest folder, opened again by name from the top, each folder on the way the one it was.
platform::Result<std::unique_ptr<platform::Folder>> TreeWalk::ReopenFromTop() const {
  std::unique_ptr<platform::Folder> folder;
  for (std::size_t i = 1; i < frames_.size(); ++i) {
    const platform::Folder& parent = i == 1 ? *frames_[0].folder : *folder;
    platform::Result<std::unique_ptr<platform::Folder>> next =
        parent.OpenSubFolder(frames_[i].name);
    if (!next) {
      return next;
    }
    if (!IsFrame(**next, frames_[i])) {
      return platform::Failure(platform::Step::kFolderMoved, parent.Path() + frames_[i].name + "/");
    }
    folder = std::move(*next);
  }
  return folder;
}

}  // namespace quorvane::tool
