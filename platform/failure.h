#pragma once

#include <cassert>       // assert
#include <new>           // std::bad_alloc
#include <optional>      // std::optional
#include <string>        // std::string
#include <string_view>   // std::string_view
#include <system_error>  // std::error_code
#include <type_traits>   // std::invoke_result_t, std::is_convertible_v
#include <utility>       // std::forward, std::move
#include <variant>       // std::variant

namespace quorvane::platform {

// What was being done when something failed; each has its own words.
enum class Step {
  kReadFolder,         // listing a folder, or opening it
  kReadFileFacts,      // a file's length and last change
  kWritePage,          // creating, writing, syncing, closing, linking or renaming the page
  kKeepPermissions,    // giving the new page the old page's owner, mode and ACL
  kKeepAttributes,     // giving the new page the old page's user extended attributes
  kPageLinkRefused,    // the page is a symlink that may not be written through
  kPageNotAFile,       // the page is a fifo, socket or device
  kPageNameClash,      // the name finds another file, of a name that differs only in case
  kPageIsALink,        // the page is a Windows symbolic link or junction: never written through
  kFolderChanged,      // the folder at the path is no longer the one that was listed
  kCountOverflow,      // the number of entries overflows
  kTotalOverflow,      // the summed kilobytes overflow
  kNameTooLong,        // a name too long for the file name splitter
  kWriteOutput,        // the tool's standard output
  kLocaleMissing,      // regional settings of a locale that is not installed
  kReadPage,           // reading the page in place, to compare it or to check it before removal
  kRemovePage,         // removing a page
  kPageChanged,        // the page was replaced between its check and its removal
  kNotAPage,           // a file of the page's name that this program did not write
  kFolderMoved,        // a folder of a walk moved elsewhere while the walk was below it
  kStopped,            // the user stopped the run before it was done
  kNameTooLongToList,  // a name of 4 GiB or more, which a file list cannot hold
  kOutOfMemory,
};

// A failure: the step, the path it concerns and the system's error (none when the step's words
// say it all). An error number from errno is of the generic category; a system's own codes (a
// Windows error) keep theirs, so each is described in its own words. It is passed up as a value
// and put into words by Describe() only where it is shown.
struct Failure {
  Failure(Step step, std::string_view path, std::error_code error = {})
      : step(step), path(path), error(error) {}
  // `error` is an errno value; 0 for none.
  Failure(Step step, std::string_view path, int error);

  Step step;
  std::string path;
  std::error_code error;
};

// The words shown for `failure`, the same in the window and on the command line: "Cannot write
// the page /srv/pub/quorvane_index.html: No space left on device". An empty path is shown as ''
// so that it is seen.
std::string Describe(const Failure& failure);

// An errno value as a system error; no error for 0.
std::error_code ErrnoError(int error);

// A value of type T, or the failure that kept it from being made. Result<> is a success that
// carries nothing.
template <typename T = void>
class [[nodiscard]] Result {
 public:
  Result() requires std::is_default_constructible_v<T> : value_(std::in_place_index<0>) {}
  template <typename U>
  requires std::is_convertible_v<U&&, T> Result(U&& value)
      : value_(std::in_place_index<0>, std::forward<U>(value)) {}
  Result(Failure failure) : value_(std::in_place_index<1>, std::move(failure)) {}

  // Whether it holds a value.
  explicit operator bool() const { return value_.index() == 0; }

  T& operator*() & {
    assert(*this);
    return *std::get_if<0>(&value_);
  }
  const T& operator*() const& {
    assert(*this);
    return *std::get_if<0>(&value_);
  }
  T&& operator*() && { return std::move(**this); }
  T* operator->() { return &**this; }
  const T* operator->() const { return &**this; }

  // The failure, of a result that holds no value.
  const Failure& Error() const {
    assert(!*this);
    return *std::get_if<1>(&value_);
  }

 private:
  std::variant<T, Failure> value_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}

  // Whether it succeeded.
  explicit operator bool() const { return !failure_; }

  const Failure& Error() const {
    assert(failure_);
    return *failure_;
  }

 private:
  std::optional<Failure> failure_;
};

// Runs `work`, which returns a Result, where a thread or a program starts. Running out of memory,
// which the standard library reports by throwing std::bad_alloc wherever it happens, becomes the
// kOutOfMemory failure here, to be reported as any other.
template <typename Work>
std::invoke_result_t<Work&> CatchOutOfMemory(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return Failure(Step::kOutOfMemory, {});
  }
}

}  // namespace quorvane::platform
