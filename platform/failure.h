#pragma once

#include <exception>     // std::exception
#include <string>        // std::string
#include <string_view>   // std::string_view
#include <system_error>  // std::error_code

namespace quorvane::platform {

// What was being done when something failed; each has its own words.
enum class Step {
  kReadFolder,       // listing a folder, or opening it
  kReadFileFacts,    // a file's length and last change
  kWritePage,        // creating, writing, syncing, closing, linking or renaming the page
  kKeepPermissions,  // giving the new page the old page's owner, mode and ACL
  kKeepAttributes,   // giving the new page the old page's user extended attributes
  kPageLinkRefused,  // the page is a symlink that may not be written through
  kPageNotAFile,     // the page is a fifo, socket or device
  kPageNameClash,    // the name finds another file, of a name that differs only in case
  kPageIsALink,      // the page is a Windows symbolic link or junction: never written through
  kFolderChanged,    // the folder at the path is no longer the one that was listed
  kCountOverflow,    // the number of entries overflows
  kTotalOverflow,    // the summed kilobytes overflow
  kNameTooLong,      // a path too long for the file name splitter
  kWriteOutput,      // the tool's standard output
  kLocaleMissing,    // regional settings of a locale that is not installed
  kReadPage,         // reading the page in place, to compare it or to check it before removal
  kRemovePage,       // removing a page
  kPageChanged,      // the page was replaced between its check and its removal
  kNotAPage,         // a file of the page's name that this program did not write
  kFolderMoved,      // a folder of a walk moved elsewhere while the walk was below it
  kStopped,          // the user stopped the run before it was done
  kOutOfMemory,
};

// A failure: the step, the path it concerns and the system's error (none when the step's words
// say it all). An error number from errno is of the generic category; a system's own codes (a
// Windows error) keep theirs, so each is described in its own words. what() is the description
// shown to the user, the same in the window and on the command line: "Cannot write the page
// /srv/pub/quorvane_index.html: No space left on device".
class Failure : public std::exception {
 public:
  Failure(Step step, std::string_view path, std::error_code error = {});
  // `error` is an errno value; 0 for none.
  Failure(Step step, std::string_view path, int error);

  Step GetStep() const { return step_; }
  const std::string& Path() const { return path_; }
  const std::error_code& Error() const { return error_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  Step step_;
  std::string path_;
  std::error_code error_;
  std::string description_;
};

// The words for a failure of `step` at `path` with the system's `error` (none when empty). An
// empty path is shown as '' so that it is seen.
std::string Describe(Step step, std::string_view path, std::error_code error = {});

// An errno value as a system error; no error for 0.
std::error_code ErrnoError(int error);

}  // namespace quorvane::platform
