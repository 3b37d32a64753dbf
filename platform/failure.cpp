#include "platform/failure.h"

#include <iterator>      // std::size
#include <system_error>  // std::error_code, std::generic_category

namespace quorvane::platform {
namespace {

// The words before the path, and those after it when the step says all without an error number.
struct Words {
  const char* before;
  const char* after;
};

// In the order of Step.
constexpr Words kWords[] = {
    {"Cannot read the folder ", ""},
    {"Cannot read the file facts of ", ""},
    {"Cannot write the page ", ""},
    {"Cannot carry the permissions of ", " over to the new page"},
    {"Cannot carry the extended attributes of ", " over to the new page"},
    {"The page ",
     " is a symbolic link that does not lead to an existing file of yours through a link of "
     "yours; nothing was written"},
    {"The page ", " is not a regular file; nothing was written"},
    {"The page would replace ",
     ", whose name differs from the page's only in letter case, which this file system does not "
     "tell apart; nothing was written"},
    {"The page ", " is a symbolic link or junction; nothing was written"},
    {"The folder ", " is no longer the one shown; refresh the list"},
    {"The number of files overflows at ", ""},
    {"The total size overflows at ", ""},
    {"The file name is too long to split at ", ""},
    {"Cannot write the ", ""},
    {"The locale ", " is not available"},
    {"Cannot read the page ", ""},
    {"Cannot remove the page ", ""},
    {"The page ", " changed while it was checked; it was kept"},
    {"The file ", " is not a page quorvane wrote; it was kept"},
    {"The folder ", " moved during the walk; the folders below it still to do were left out"},
    {"Stopped before the page of ", " was complete; nothing was written"},
    {"A file name is too long to list", ""},
    {"Out of memory", ""},
};
static_assert(std::size(kWords) == static_cast<std::size_t>(Step::kOutOfMemory) + 1);

// The steps whose words say all without naming a path.
bool NamesNoPath(Step step) {
  return step == Step::kOutOfMemory || step == Step::kNameTooLongToList;
}

}  // namespace

std::string Describe(const Failure& failure) {
  const Words words = kWords[static_cast<std::size_t>(failure.step)];
  std::string text = words.before;
  if (!NamesNoPath(failure.step)) {
    text += failure.path.empty() ? std::string("''") : failure.path;
  }
  text += words.after;
  if (failure.error) {
    text += ": ";
    text += failure.error.message();
  }
  return text;
}

std::error_code ErrnoError(int error) {
  return error != 0 ? std::error_code(error, std::generic_category()) : std::error_code();
}

Failure::Failure(Step step, std::string_view path, int error)
    : Failure(step, path, ErrnoError(error)) {}

}  // namespace quorvane::platform
