#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::int64_t, std::uint64_t
#include <ctime>        // std::time_t
#include <memory>       // std::unique_ptr
#include <mutex>        // std::mutex
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/failure.h"

namespace quorvane::platform {

struct FileFacts {
  std::int64_t length = 0;
  std::time_t modified = 0;
};

// Which folder an open folder is, whatever path led to it.
struct FolderIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

// Takes the names a folder listing finds, one at a time. A failure ends the listing, which then
// fails with it.
class NameSink {
 public:
  virtual Result<> Add(std::string_view name) = 0;

 protected:
  ~NameSink() = default;
};

// Keeps the names it is given, in the order given.
struct NameVector final : NameSink {
  std::vector<std::string> names;
  Result<> Add(std::string_view name) override {
    names.emplace_back(name);
    return {};
  }
};

// Gives the facts of the files of one folder, by name.
class FactsSource {
 public:
  // The facts of the file `name` (NUL-terminated): of the target for a symlink, of the link
  // itself when it leads nowhere. Fails (kReadFileFacts) when there is no such file. Safe to
  // call from several threads at once.
  virtual Result<FileFacts> ReadFacts(const char* name) const = 0;

 protected:
  ~FactsSource() = default;
};

// A new page being written in its folder. Nothing of it shows under the page's name until
// Commit(); dropped without a Commit(), it leaves no trace and the old page as it was.
class PageOutput {
 public:
  virtual ~PageOutput() = default;
  // Fails (kWritePage) when the bytes cannot be written.
  virtual Result<> Write(std::string_view bytes) = 0;
  // Puts the complete page in place of the old one. Where it fails, the old page stays.
  virtual Result<> Commit() = 0;

  // Commit() in three steps, so that many pages wait for the disk once: Seal() ends the page
  // without waiting; SyncVolume() of any sealed page waits for all that is written to its
  // Volume(); Place() then puts a page in place. Each fails as Commit() does. An output that
  // cannot wait for many at once commits in Place().
  virtual Result<> Seal() { return {}; }
  virtual std::uint64_t Volume() const { return 0; }
  virtual Result<> SyncVolume() { return {}; }
  virtual Result<> Place() { return Commit(); }
};

// An existing page opened for reading.
class PageReader {
 public:
  virtual ~PageReader() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to `size` bytes from `offset`; gives how many, 0 past the end.
  virtual Result<std::size_t> ReadAt(std::uint64_t offset, char* buffer,
                                     std::size_t size) const = 0;
  // Removes the very file that was read, unchanged since it was opened, where the user may write
  // it and take it out of its folder, as replacing it would require. A file that took its name
  // meanwhile, or one written to since, is kept (kPageChanged); other failures are kRemovePage.
  virtual Result<> Remove() const = 0;
  // Checks what Remove() checks before it removes anything, for a run that only says what it
  // would do; fails as Remove() does.
  virtual Result<> CheckRemoval() const = 0;
  // Whether the page's name still leads to the file read; fails with kReadPage.
  virtual Result<bool> InPlace() const { return true; }
};

// An open folder. Everything is done relative to it, so a folder renamed while it is open is
// still the one worked on, and paths longer than the system's limit still work name by name.
// Names are the file system's bytes. Failures name the path.
class Folder : public FactsSource {
 public:
  virtual ~Folder() = default;

  // The path the folder was opened by, ending in the separator.
  virtual const std::string& Path() const = 0;
  virtual FolderIdentity Identity() const = 0;

  // Gives `names` the name of every entry that is not a folder, in the order the system gives
  // them: regular files, dot-files, symlinks to files, dangling symlinks, fifos, sockets and
  // devices. The program's own temporary page names are left out. An entry gone since the
  // listing is passed over; one whose kind cannot be told fails the listing (kReadFileFacts),
  // naming it.
  virtual Result<> ReadFileNames(NameSink& names) const = 0;

  // The names of the sub-folders that are on the same volume, symlinks left out.
  virtual Result<std::vector<std::string>> SubFolderNames() const = 0;

  virtual Result<std::unique_ptr<Folder>> OpenSubFolder(std::string_view name) const = 0;

  // Starts the new page `name` in this folder, or in the folder of its target when `name` is a
  // symlink that may be written through. Refuses a page that may not be replaced: a folder, a
  // fifo, socket or device, a page the user may not write, a symlink that is not the user's or
  // does not lead to an existing regular file of the user's.
  virtual Result<std::unique_ptr<PageOutput>> CreatePage(std::string_view name) const = 0;

  // What a walk down a published tree needs besides. The defaults serve a system that cannot do
  // better, at some cost in speed.

  // Which mounted file system the folder is on: equal for two folders on the same mount.
  virtual std::uint64_t Mount() const { return Identity().device; }
  // ReadFileNames() and SubFolderNames() in one reading of the folder; `folders` may be null.
  virtual Result<> ReadNames(NameSink& files, NameSink* folders) const;
  // The folder this one is in, opened through this one, so that it is the folder's parent now
  // whatever path led here.
  virtual Result<std::unique_ptr<Folder>> OpenParent() const;
  // Whether `path`, relative to this folder ("../x", "sub/x"), leads to something that is not
  // a folder. False where that cannot be told.
  virtual bool HasFile(std::string_view path) const;
  // Checks, as CreatePage() does, that the page `name` may be replaced, without starting one.
  virtual Result<> CheckPage(std::string_view /*name*/) const { return {}; }
  // Removes the hidden names of new pages that no live run holds: those a run killed outright
  // (SIGKILL, a power cut) left in this folder. A live run's are never touched, nor anything else;
  // what cannot be removed stays. Uses the names the folder's last listing found, else lists it.
  virtual void RemoveLeftovers() const {}
  // The page `name`, opened for reading without following a symlink; none when nothing has that
  // name. Fails with kPageIsALink for a symlink (a junction too, on Windows), kPageNotAFile for
  // what else is not a regular file, kNotAPage naming the file where the name finds one spelt
  // otherwise (see kPageNameClash), kReadPage when it cannot be read. The reader must not outlive
  // the folder.
  virtual Result<std::unique_ptr<PageReader>> ReadPage(std::string_view name) const;
  // The page that CreatePage(name) would replace, opened for reading as ReadPage() opens it:
  // through a symlink only where the new page would be written through it, and then a reader
  // whose Remove() fails, since removing would leave the link dangling.
  virtual Result<std::unique_ptr<PageReader>> ReadReplacedPage(std::string_view name) const {
    return ReadPage(name);
  }
};

// A folder that lists its files and its sub-folders in one reading of the system's listing, as
// the systems' own folders do, and notes the hidden page names it finds on the way.
class ListingFolder : public Folder {
 public:
  Result<> ReadFileNames(NameSink& names) const final { return Listed(List(&names, nullptr)); }
  Result<std::vector<std::string>> SubFolderNames() const final;
  Result<> ReadNames(NameSink& files, NameSink* folders) const final {
    return Listed(List(&files, folders));
  }
  void RemoveLeftovers() const final;

 protected:
  // Gives `files` the entries that are not folders and `folders` the sub-folders, as
  // ReadFileNames() and SubFolderNames() have them; either may be null. A hidden page name goes
  // to neither: NotedAsHidden() tells it and notes it.
  virtual Result<> List(NameSink* files, NameSink* folders) const = 0;
  // Whether `name` is a hidden page name (see IsTemporaryPageName); such a name is noted, for
  // RemoveLeftovers().
  bool NotedAsHidden(std::string_view name) const;
  // Removes the hidden page `name` where no live run holds it, as each system tells.
  virtual void RemoveIfLeftOver(const std::string& name) const = 0;

 private:
  Result<> Listed(Result<> listing) const;

  mutable std::mutex mutex_;
  mutable std::vector<std::string> hidden_;  // found since the last removal
  mutable bool listed_ = false;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Fails (kReadFolder) when there is no folder at `path` that can be read.
  virtual Result<std::unique_ptr<Folder>> OpenFolder(std::string_view path) const = 0;
};

// How many files this process may have open at once, as far as the system limits it.
std::size_t OpenFilesAllowed();

// Whether `name` is one of the hidden names a new page is written under where the file system
// has no unnamed files: ".quorvane_index.html." and eight letters or digits.
bool IsTemporaryPageName(std::string_view name);

// Whether the system takes names that differ only in letter case for one name, as Windows does,
// so that a pattern of names should match them so too.
bool NamesIgnoreCase();

}  // namespace quorvane::platform
