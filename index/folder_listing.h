#pragma once

#include <cstdint>      // std::int64_t
#include <memory>       // std::shared_ptr
#include <optional>     // std::optional
#include <stop_token>   // std::stop_token
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "index/name_list.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path_separator.h"
#include "platform/services.h"

namespace quorvane {

// Told of every change to a FileList, so that a view can follow it.
class FileListObserver {
 public:
  virtual ~FileListObserver() = default;
  virtual void ListAboutToChange() {}
  virtual void ListChanged() {}
  virtual void SelectionChanged(std::int64_t /*position*/) {}
};

// The ordered names of the files in one folder, with a single selection.
//
// Every entry of the folder that is not a folder is listed, whatever it is: dot-files, symlinks
// to files, dangling symlinks, fifos, sockets, devices. The order is CompareNames'. The list
// follows the folder only when re-read. A list read on one thread can be shown on another: its
// names never change once read, so copies share them.
class FileList {
 public:
  // Reads through `services`: its file system, its regional order and its threads.
  explicit FileList(const platform::Services& services);
  // The copy shares the names and has no observer.
  FileList(const FileList& other);
  FileList& operator=(const FileList&) = delete;

  // Points the list at `folder`; it is read at the next ReRead(). Which folder that turns out
  // to be is not known until then.
  void SetFolder(std::string folder);
  const std::string& Folder() const { return folder_; }

  // Reads the folder afresh and clears the selection. When it cannot be read, or `stop` is
  // requested before it has been (kStopped), the list is left empty and the failure returned.
  platform::Result<> ReRead(std::stop_token stop = {});
  // Points the list at the open folder `folder` and reads it. When it cannot, or `stop` is
  // requested (kStopped), the list stays as it was.
  platform::Result<> ReReadFrom(const platform::Folder& folder, std::stop_token stop = {});
  // Takes what `read` last read: its folder, which folder it found there and its names. Clears
  // the selection.
  void Adopt(const FileList& read);
  // Which folder the last ReRead() found at the list's path; none when it found none.
  const std::optional<platform::FolderIdentity>& Identity() const { return identity_; }

  std::int64_t Count() const { return static_cast<std::int64_t>(names_->Size()); }
  std::string_view Name(std::int64_t position) const;
  // All names, in list order.
  const NameList& Names() const { return *names_; }

  // Makes the entry at `position` current; any position outside the list clears the selection.
  void Select(std::int64_t position);
  // The current entry's position, or -1 when none is selected.
  std::int64_t Selected() const { return selected_; }
  // The current entry's name, or an empty text when none is selected.
  std::string_view CurrentName() const;

  // One observer at most; nullptr removes it. It must outlive the list or be removed first.
  void SetObserver(FileListObserver* observer) { observer_ = observer; }

 private:
  void Replace(std::shared_ptr<const NameList> names);

  const platform::Services& services_;
  std::string folder_;
  std::optional<platform::FolderIdentity> identity_;
  std::shared_ptr<const NameList> names_;
  std::int64_t selected_ = -1;
  FileListObserver* observer_ = nullptr;
};

// The path separator that ends a folder's path: "\" on Windows, "/" elsewhere.
inline constexpr char kPathSeparator = platform::kPathSeparator;

}  // namespace quorvane
