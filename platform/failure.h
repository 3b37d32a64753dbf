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

// What was being done when something failed, each with its words: those before the failure's
// path, and those after it when the step says all without an error number. One list makes both
// the steps and their words, so that no step can be given another's.
#define QUORVANE_STEPS(STEP)                                                                 \
  /* listing a folder, or opening it */                                                      \
  STEP(kReadFolder, "Cannot read the folder ", "")                                           \
  /* a file's length and last change */                                                      \
  STEP(kReadFileFacts, "Cannot read the file facts of ", "")                                 \
  /* creating, writing, syncing, closing, linking or renaming the page */                    \
  STEP(kWritePage, "Cannot write the page ", "")                                             \
  /* giving the new page the old page's owner, mode and ACL */                               \
  STEP(kKeepPermissions, "Cannot carry the permissions of ", " over to the new page")        \
  /* giving the new page the old page's user extended attributes */                          \
  STEP(kKeepAttributes, "Cannot carry the extended attributes of ", " over to the new page") \
  /* the page is a symlink that may not be written through */                                \
  STEP(kPageLinkRefused, "The page ",                                                        \
       " is a symbolic link that does not lead to an existing file of yours through a "      \
       "link of yours; nothing was written")                                                 \
  /* the page is a fifo, socket or device */                                                 \
  STEP(kPageNotAFile, "The page ", " is not a regular file; nothing was written")            \
  /* the name finds another file, of a name that differs only in case */                     \
  STEP(kPageNameClash, "The page would replace ",                                            \
       ", whose name differs from the page's only in letter case, which this file system "   \
       "does not tell apart; nothing was written")                                           \
  /* the page is a Windows symbolic link or junction: never written through */               \
  STEP(kPageIsALink, "The page ", " is a symbolic link or junction; nothing was written")    \
  /* the folder at the path is no longer the one that was listed */                          \
  STEP(kFolderChanged, "The folder ", " is no longer the one shown; refresh the list")       \
  /* the number of entries overflows */                                                      \
  STEP(kCountOverflow, "The number of files overflows at ", "")                              \
  /* the summed kilobytes overflow */                                                        \
  STEP(kTotalOverflow, "The total size overflows at ", "")                                   \
  /* a name too long for the file name splitter */                                           \
  STEP(kNameTooLong, "The file name is too long to split at ", "")                           \
  /* the tool's standard output */                                                           \
  STEP(kWriteOutput, "Cannot write the ", "")                                                \
  /* regional settings of a locale that is not installed */                                  \
  STEP(kLocaleMissing, "The locale ", " is not available")                                   \
  /* reading the page in place, to compare it or to check it before removal */               \
  STEP(kReadPage, "Cannot read the page ", "")                                               \
  /* removing a page */                                                                      \
  STEP(kRemovePage, "Cannot remove the page ", "")                                           \
  /* the page was replaced between its check and its removal */                              \
  STEP(kPageChanged, "The page ", " changed while it was checked; it was kept")              \
  /* the old page, moved aside for the new one, could be neither put back nor removed */     \
  STEP(kOldPageLeft, "The old page was left at ", "")                                        \
  /* a file of the page's name that this program did not write */                            \
  STEP(kNotAPage, "The file ", " is not a page quorvane wrote; it was kept")                 \
  /* a symbolic link in the page's place, which is never removed */                          \
  STEP(kPageLinkKept, "The page ", " is a symbolic link; it was kept")                       \
  /* a folder of a walk moved elsewhere while the walk was below it */                       \
  STEP(kFolderMoved, "The folder ",                                                          \
       " moved during the walk; the folders below it still to do were left out")             \
  /* the user stopped the run before it was done */                                          \
  STEP(kStopped, "Stopped before the page of ", " was complete; nothing was written")        \
  /* a name of 4 GiB or more, which a file list cannot hold */                               \
  STEP(kNameTooLongToList, "A file name is too long to list", "")                            \
  /* the default handler found no program to open the page with */                           \
  STEP(kOpenPage, "No program could open the page ", "")                                     \
  /* patterns of names to leave out that matched nothing in the whole run: a warning */      \
  STEP(kExcludedNothing, "No file or folder matched ", "")                                   \
  /* a command line that asks for what cannot be done: the path holds what is wrong */       \
  STEP(kBadUsage, "", "")                                                                    \
  /* watching a folder for changes */                                                        \
  STEP(kWatchFolder, "Cannot watch the folder ", "")                                         \
  /* the system's watch as a whole: starting it, or waiting on it */                         \
  STEP(kWatch, "Cannot watch folders for changes", "")                                       \
  STEP(kOutOfMemory, "Out of memory", "")

enum class Step {
#define QUORVANE_STEP_NAME(name, before, after) name,
  QUORVANE_STEPS(QUORVANE_STEP_NAME)
#undef QUORVANE_STEP_NAME
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

  // The failure, of a result that holds no value; moved out of one about to go.
  const Failure& Error() const& {
    assert(!*this);
    return *std::get_if<1>(&value_);
  }
  Failure&& Error() && {
    assert(!*this);
    return std::move(*std::get_if<1>(&value_));
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

  const Failure& Error() const& {
    assert(failure_);
    return *failure_;
  }
  Failure&& Error() && {
    assert(failure_);
    return std::move(*failure_);
  }

 private:
  std::optional<Failure> failure_;
};

// Passes the failure of `expression`, a Result, up to the caller, whose own Result it becomes:
//   QUORVANE_TRY(page.Write(text));
#define QUORVANE_TRY(expression) \
  if (auto quorvane_try_ = (expression); !quorvane_try_) return std::move(quorvane_try_).Error()

#define QUORVANE_CONCAT_(a, b) a##b
#define QUORVANE_CONCAT(a, b) QUORVANE_CONCAT_(a, b)

// Declares `declaration` with the value of `expression`, a Result, or passes its failure up:
//   QUORVANE_TRY_ASSIGN(std::unique_ptr<Folder> folder, files.OpenFolder(path));
#define QUORVANE_TRY_ASSIGN(declaration, expression) \
  QUORVANE_TRY_ASSIGN_(QUORVANE_CONCAT(quorvane_try_, __LINE__), declaration, expression)
#define QUORVANE_TRY_ASSIGN_(result, declaration, expression) \
  auto result = (expression);                                 \
  if (!result) {                                              \
    return std::move(result).Error();                         \
  }                                                           \
  declaration = std::move(*result)

// Runs `work`, which returns a Result (or what a failure can begin, as {failure}), where a
// thread or a program starts. Running out of memory, which the standard library reports by
// throwing std::bad_alloc wherever it happens, becomes the kOutOfMemory failure here, to be
// reported as any other.
template <typename Work>
std::invoke_result_t<Work&> CatchOutOfMemory(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return std::invoke_result_t<Work&>{Failure(Step::kOutOfMemory, {})};
  }
}

}  // namespace quorvane::platform
