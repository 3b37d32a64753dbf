#include "app/tree_walk.h"

#include <algorithm>  // std::sort
#include <utility>    // std::move

#include "platform/failure.h"
#include "platform/name_pattern.h"

namespace quorvane::tool {
namespace {

struct NameVector final : platform::NameSink {
  std::vector<std::string> names;
  void Add(std::string_view name) override { names.emplace_back(name); }
};

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
    if (platform::MatchesPattern(pattern, name)) {
      return true;
    }
  }
  return false;
}

bool NameRules::Entered(std::string_view name) const {
  return (all || name.empty() || name.front() != '.') && !LeftOut(name);
}

Listing ListFolder(std::shared_ptr<const platform::Folder> folder, const NameRules& rules,
                   const platform::Regional& regional, bool with_subfolders) {
  Listing listing;
  listing.folder = std::move(folder);
  KeptNames files(listing.files, [&](std::string_view name) { return !rules.LeftOut(name); });
  NameVector folders;
  listing.folder->ReadNames(files, with_subfolders ? &folders : nullptr);
  KeepEntered(folders.names, rules, regional);
  listing.subfolders = std::move(folders.names);
  return listing;
}

std::vector<std::string> SubFoldersOf(const platform::Folder& folder, const NameRules& rules,
                                      const platform::Regional& regional) {
  std::vector<std::string> names = folder.SubFolderNames();
  KeepEntered(names, rules, regional);
  return names;
}

void TreeWalk::Walk(std::shared_ptr<const platform::Folder> top,
                    const std::function<void(Listing&)>& visit,
                    const std::function<void(const std::string&)>& fail) {
  visit_ = &visit;
  fail_ = &fail;
  mount_ = top->Mount();
  frames_.clear();
  Frame root{top, top->Identity(), {}, {}, 0};
  try {
    Listing listing = ListFolder(std::move(top), rules_, regional_, true);
    root.subfolders = listing.subfolders;
    visit(listing);
  } catch (const platform::Failure& failure) {
    fail(failure.what());
    return;
  }
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
  std::shared_ptr<const platform::Folder> folder;
  Listing listing;
  try {
    folder = parent.folder->OpenSubFolder(name);
    // Checked on the folder opened, not on the listing: a file system mounted there since is
    // another's, as much as one mounted before.
    if (folder->Mount() != mount_) {
      return;
    }
    listing = ListFolder(folder, rules_, regional_, true);
  } catch (const platform::Failure& failure) {
    (*fail_)(failure.what());
    return;
  }
  std::vector<std::string> subfolders = listing.subfolders;
  (*visit_)(listing);
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
  try {
    // Through the child's "..", as a rule; moved meanwhile, that is another folder now, and the
    // parent is looked for again from the top down.
    std::unique_ptr<platform::Folder> reopened;
    if (done.folder != nullptr) {
      try {
        reopened = done.folder->OpenParent();
      } catch (const platform::Failure&) {
        // A system that cannot go up through a folder comes down from the top instead.
      }
    }
    if (reopened == nullptr || !IsFrame(*reopened, parent)) {
      reopened = ReopenFromTop();
    }
    parent.folder = std::move(reopened);
  } catch (const platform::Failure& failure) {
    (*fail_)(failure.what());
    parent.next = parent.subfolders.size();
  }
}

bool TreeWalk::IsFrame(const platform::Folder& folder, const Frame& frame) const {
  return folder.Identity() == frame.identity && folder.Mount() == mount_;
}

// The deepest folder, opened again by name from the top, each folder on the way the one it was.
std::unique_ptr<platform::Folder> TreeWalk::ReopenFromTop() const {
  std::unique_ptr<platform::Folder> folder;
  for (std::size_t i = 1; i < frames_.size(); ++i) {
    const platform::Folder& parent = i == 1 ? *frames_[0].folder : *folder;
    std::unique_ptr<platform::Folder> next = parent.OpenSubFolder(frames_[i].name);
    if (!IsFrame(*next, frames_[i])) {
      throw platform::Failure(platform::Step::kFolderMoved, parent.Path() + frames_[i].name + "/");
    }
    folder = std::move(next);
  }
  return folder;
}

}  // namespace quorvane::tool
