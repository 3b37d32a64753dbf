#include "publish/tree_walk.h"

#include <algorithm>  // std::sort
#include <utility>    // std::move

#include "platform/path_separator.h"

namespace quorvane::tool {
namespace {

// Keeps the names `rules` let a walk enter, in name order.
void KeepEntered(std::vector<std::string>& names, const NameRules& rules,
                 const platform::Regional& regional, std::string_view below) {
  std::erase_if(names, [&](const std::string& name) { return !rules.Entered(below, name); });
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return CompareNames(regional, a, b) < 0;
  });
}

}  // namespace

bool NameRules::LeftOut(std::string_view below, std::string_view name) const {
  if (!also_left_out.empty() && name == also_left_out) {
    return true;
  }
  return excludes != nullptr && excludes->Match(below, name, false);
}

bool NameRules::Entered(std::string_view below, std::string_view name) const {
  // The patterns first, so that one that names a dot-folder is known to have matched.
  if ((excludes != nullptr && excludes->Match(below, name, true)) ||
      (!also_left_out.empty() && name == also_left_out)) {
    return false;
  }
  return all || name.empty() || name.front() != '.';
}

std::string RootedPath(const std::string& root, std::string_view below) {
  const bool ends_in_one =
      !root.empty() && (root.back() == '/' || root.back() == platform::kPathSeparator);
  const char separator = ends_in_one ? root.back() : '/';
  std::string shown = root;
  if (!root.empty() && !ends_in_one) {
    shown += separator;
  }
  for (const char c : below) {
    shown += c == '/' ? separator : c;
  }
  return shown;
}

platform::Result<Listing> ListFolder(std::shared_ptr<const platform::Folder> folder,
                                     const NameRules& rules, const platform::Regional& regional,
                                     bool with_subfolders, std::string below) {
  Listing listing;
  listing.folder = std::move(folder);
  listing.below = std::move(below);
  KeptNames files(listing.files,
                  [&](std::string_view name) { return !rules.LeftOut(listing.below, name); });
  platform::NameVector folders;
  QUORVANE_TRY(listing.folder->ReadNames(files, with_subfolders ? &folders : nullptr));
  KeepEntered(folders.names, rules, regional, listing.below);
  listing.subfolders = std::move(folders.names);
  return listing;
}

platform::Result<std::vector<std::string>> SubFoldersOf(const platform::Folder& folder,
                                                        const NameRules& rules,
                                                        const platform::Regional& regional,
                                                        std::string_view below) {
  platform::Result<std::vector<std::string>> names = folder.SubFolderNames();
  if (names) {
    KeepEntered(*names, rules, regional, below);
  }
  return names;
}

void TreeWalk::Walk(std::shared_ptr<const platform::Folder> top,
                    const std::function<void(Listing&)>& visit, const Fail& fail, const Done& done,
                    std::string below) {
  visit_ = &visit;
  fail_ = &fail;
  done_ = &done;
  mount_ = top->Mount();
  frames_.clear();
  Frame root{top, top->Identity(), {}, below, {}, 0};
  platform::Result<Listing> listing = Read(std::move(top), std::move(below));
  if (!listing) {
    fail(listing.Error());
    return;
  }
  root.subfolders = listing->subfolders;
  visit(*listing);
  frames_.push_back(std::move(root));
  while (!frames_.empty() && !Stopped()) {
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
  std::string below = parent.below + name + '/';
  platform::Result<Listing> listing = Read(folder, below);
  if (!listing) {
    (*fail_)(listing.Error());
    return;
  }
  std::vector<std::string> subfolders = listing->subfolders;
  (*visit_)(*listing);
  if (subfolders.empty()) {
    Finished(std::move(folder));
    return;
  }
  frames_.push_back({folder, folder->Identity(), name, std::move(below), std::move(subfolders), 0});
  // The top stays open, to come back down from.
  if (frames_.size() > open_at_most_ + 1) {
    frames_[frames_.size() - 1 - open_at_most_].folder.reset();
  }
}

// Leaves the deepest folder, done, for its parent, which is opened again if it was closed.
void TreeWalk::Leave() {
  Frame done = std::move(frames_.back());
  frames_.pop_back();
  if (!frames_.empty() && frames_.back().folder == nullptr) {
    Frame& parent = frames_.back();
    platform::Result<std::unique_ptr<platform::Folder>> reopened = Reopen(done);
    if (reopened) {
      parent.folder = std::move(*reopened);
    } else {
      (*fail_)(reopened.Error());
      parent.next = parent.subfolders.size();
    }
  }
  Finished(std::move(done.folder));
}

platform::Result<Listing> TreeWalk::Read(std::shared_ptr<const platform::Folder> folder,
                                         std::string below) const {
  if (opened_) {
    opened_(*folder);
  }
  return ListFolder(std::move(folder), rules_, regional_, true, std::move(below));
}

void TreeWalk::Finished(std::shared_ptr<const platform::Folder> folder) const {
  if (*done_) {
    (*done_)(std::move(folder));
  }
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
