#include "platform/failure.h"

#include <system_error>  // std::generic_category

namespace quorvane::platform {
namespace {

// The words before the path, and those after it when the step says all without an error number.
struct Words {
  const char* before;
  const char* after;
};

Words WordsOf(Step step) {
  switch (step) {
    case Step::kReadFolder:
      return {"Cannot read the folder ", ""};
    case Step::kReadFileFacts:
      return {"Cannot read the file facts of ", ""};
    case Step::kWritePage:
      return {"Cannot write the page ", ""};
    case Step::kKeepPermissions:
      return {"Cannot carry the permissions of ", " over to the new page"};
    case Step::kKeepAttributes:
      return {"Cannot carry the extended attributes of ", " over to the new page"};
    case Step::kPageLinkRefused:
      return {"The page ",
              " is a symbolic link that does not lead to an existing file of yours through a link "
              "of yours; nothing was written"};
    case Step::kPageNotAFile:
      return {"The page ", " is not a regular file; nothing was written"};
    case Step::kFolderChanged:
      return {"The folder ", " is no longer the one shown; refresh the list"};
    case Step::kCountOverflow:
      return {"The number of files overflows at ", ""};
    case Step::kTotalOverflow:
      return {"The total size overflows at ", ""};
    case Step::kNameTooLong:
      return {"The file name is too long to split at ", ""};
    case Step::kWriteOutput:
      return {"Cannot write the ", ""};
    case Step::kLocaleMissing:
      return {"The locale ", " is not available"};
    case Step::kOutOfMemory:
      break;
  }
  return {"Out of memory", ""};
}

}  // namespace

std::string Describe(Step step, std::string_view path, int error) {
  const Words words = WordsOf(step);
  std::string text = words.before;
  if (step != Step::kOutOfMemory) {
    if (path.empty()) {
      text += "''";
    } else {
      text += path;
    }
  }
  text += words.after;
  if (error != 0) {
    text += ": ";
    text += std::generic_category().message(error);
  }
  return text;
}

Failure::Failure(Step step, std::string_view path, int error)
    : step_(step), path_(path), error_(error), description_(Describe(step, path, error)) {}

}  // namespace quorvane::platform
