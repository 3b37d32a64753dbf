#include "platform/page_names.h"

#include <random>       // std::mt19937_64, std::random_device
#include <string_view>  // std::string_view

#include "platform/file_system.h"

namespace quorvane::platform {
namespace {

constexpr std::string_view kTemporaryPrefix = ".quorvane_index.html.";
constexpr std::size_t kTemporaryLetters = 8;
constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

}  // namespace

std::string TemporaryPageName() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string name(kTemporaryPrefix);
  for (std::size_t i = 0; i < kTemporaryLetters; ++i) {
    name += kLetters[random() % kLetters.size()];
  }
  return name;
}

bool IsTemporaryPageName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryLetters ||
      name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) {
    return false;
  }
  return name.find_first_not_of(kLetters, kTemporaryPrefix.size()) == std::string_view::npos;
}

}  // namespace quorvane::platform
