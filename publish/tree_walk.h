#pragma once

#include <atomic>       // std::atomic
#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint64_t
#include <functional>   // std::function
#include <memory>       // std::shared_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "index/name_list.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "publish/exclusions.h"

namespace quorvane::tool {

// Which names a run leaves out. A folder's names are told apart by where the folder is: `below`
// is its path below the top, as Listing has it.
struct NameRules {
  bool all = false;                            // walk into folders whose names start with "." too
  std::shared_ptr<const Exclusions> excludes;  // patterns left off the pages and the walk; or none
  std::string also_left_out;  // one name left off besides, exactly: none when empty

  // Whether the file `name` is left off the pages.
  bool LeftOut(std::string_view below, std::string_view name) const;
  // Whether a walk goes into the sub-folder `name`, which is on the pages then.
  bool Entered(std::string_view below, std::string_view name) const;
};

// Passes on to `names` each name that `keep` keeps.
template <typename Keep>
class KeptNames final : public platform::NameSink {
 public:
  KeptNames(platform::NameSink& names, Keep keep) : names_(names), keep_(std::move(keep)) {}
  platform::Result<> Add(std::string_view name) override {
    return keep_(name) ? names_.Add(name) : platform::Result<>();
  }

 private:
  platform::NameSink& names_;
  Keep keep_;
};

// A folder read once, for its page and for a walk.
struct Listing {
  std::shared_ptr<const platform::Folder> folder;
  std::string below;                    // its path below the top, "a/b/"; empty for the top
  NameList files;                       // those not left out, in the system's order
  std::vector<std::string> subfolders;  // those a walk enters, in name order
};

// The path the page of the folder at `below` shows with --root=`root`: `root` in place of the
// top's path, then the names below it, each followed by the separator `root` ends in, or by "/".
std::string RootedPath(const std::string& root, std::string_view below);

// Reads `folder`, at `below`, once: its files, and its sub-folders too when `with_subfolders`.
platform::Result<Listing> ListFolder(std::shared_ptr<const platform::Folder> folder,
                                     const NameRules& rules, const platform::Regional& regional,
                                     bool with_subfolders, std::string below = {});

// The sub-folders of `folder`, at `below`, a walk enters, in name order.
platform::Result<std::vector<std::string>> SubFoldersOf(const platform::Folder& folder,
                                                        const NameRules& rules,
                                                        const platform::Regional& regional,
                                                        std::string_view below = {});

// Walks down a tree deep first, each folder opened from its parent by name, so that a symlink
// put in a folder's place is never followed. Only so many folders stay open whatever the shape
// of the tree: a folder closed on the way down is opened again on the way back up, through its
// child or else from the top, and must then be the same folder it was.
class TreeWalk {
 public:
  TreeWalk(const NameRules& rules, const platform::Regional& regional, std::size_t open_at_most)
      : rules_(rules), regional_(regional), open_at_most_(open_at_most < 1 ? 1 : open_at_most) {}

  using Fail = std::function<void(const platform::Failure&)>;
  using Done = std::function<void(std::shared_ptr<const platform::Folder>)>;
  using Opened = std::function<void(const platform::Folder&)>;

  // Gives `opened` each folder of the walk once it is open and before it is read, so that a
  // watch added then misses no change after the reading.
  void OnOpened(Opened opened) { opened_ = std::move(opened); }
  // Ends the walk, at the next folder, once `stop` is set.
  void StopWhen(const std::atomic<bool>& stop) { stop_ = &stop; }

  // Gives `visit` the listing of `top` and of every folder below it on the same mount, each
  // before the folders below it; gives `fail` the failure of each that cannot be read, once.
  // Gives `done` each folder visited once every folder below it is done too, open again where
  // it had been closed meanwhile; none where it could not be opened again. `below` is where
  // `top` is below the top of its tree, for a walk down part of one.
  void Walk(std::shared_ptr<const platform::Folder> top, const std::function<void(Listing&)>& visit,
            const Fail& fail, const Done& done = nullptr, std::string below = {});

 private:
  struct Frame {
    std::shared_ptr<const platform::Folder> folder;  // none while closed
    platform::FolderIdentity identity;
    std::string name;  // in its parent
    std::string below;
    std::vector<std::string> subfolders;
    std::size_t next = 0;
  };

  void Enter(Frame& parent);
  void Leave();
  void Finished(std::shared_ptr<const platform::Folder> folder) const;
  bool IsFrame(const platform::Folder& folder, const Frame& frame) const;
  platform::Result<std::unique_ptr<platform::Folder>> Reopen(const Frame& done) const;
  platform::Result<std::unique_ptr<platform::Folder>> ReopenFromTop() const;
  platform::Result<Listing> Read(std::shared_ptr<const platform::Folder> folder,
                                 std::string below) const;
  bool Stopped() const { return stop_ != nullptr && stop_->load(); }

  const NameRules& rules_;
  const platform::Regional& regional_;
  const std::size_t open_at_most_;
  std::uint64_t mount_ = 0;
  std::vector<Frame> frames_;
  const std::function<void(Listing&)>* visit_ = nullptr;
  const Fail* fail_ = nullptr;
  const Done* done_ = nullptr;
  Opened opened_;
  const std::atomic<bool>* stop_ = nullptr;
};

}  // namespace quorvane::tool
