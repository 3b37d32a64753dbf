#include "platform/failure.h"

#include <system_error>  // std::error_code, std::generic_category

namespace quorvane::platform {
namespace {

// The words before the path, and those after it when the step says all without an error number.
struct Words {
  const char* before;
  const char* after;
};

// In the order of Step, made from the same list.
constexpr Words kWords[] = {
#define QUORVANE_STEP_WORDS(name, before, after) {before, after},
    QUORVANE_STEPS(QUORVANE_STEP_WORDS)
#undef QUORVANE_STEP_WORDS
};

// The steps whose words say all without naming a path.
bool NamesNoPath(Step step) {
  return step == Step::kOutOfMemory || step == Step::kNameTooLongToList || step == Step::kWatch;
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
