#include "publish/exclusions.h"

#include <memory>   // std::make_unique
#include <utility>  // std::move

#include "platform/file_system.h"
#include "text/name_pattern.h"

namespace quorvane::tool {

Exclusions::Exclusions(const std::vector<std::string>& patterns)
    : matched_(std::make_unique<std::atomic<bool>[]>(patterns.size())) {
  for (const std::string& given : patterns) {
    Pattern pattern;
    pattern.given = given;
    std::string_view rest = given;
    while (rest.size() > 1 && rest.back() == '/') {
      pattern.folders_only = true;
      rest.remove_suffix(1);
    }
    pattern.path = rest.find('/') != std::string_view::npos;
    if (pattern.path && rest.front() == '/') {
      rest.remove_prefix(1);
    }
    for (std::size_t at = 0;;) {
      const std::size_t end = pattern.path ? rest.find('/', at) : std::string_view::npos;
      pattern.names.emplace_back(rest.substr(at, end - at));
      if (end == std::string_view::npos) {
        break;
      }
      at = end + 1;
    }
    patterns_.push_back(std::move(pattern));
  }
}

bool Exclusions::Match(std::string_view below, std::string_view name, bool folder) const {
  bool left_out = false;
  // Every pattern is tried, so that each one that matches is noted as matching.
  for (std::size_t i = 0; i < patterns_.size(); ++i) {
    const Pattern& pattern = patterns_[i];
    if (pattern.folders_only && !folder) {
      continue;
    }
    if (pattern.path
            ? MatchesPath(pattern, below, name)
            : text::MatchesPattern(pattern.names.front(), name, platform::NamesIgnoreCase())) {
      matched_[i].store(true, std::memory_order_relaxed);
      left_out = true;
    }
  }
  return left_out;
}

bool Exclusions::MatchesPath(const Pattern& pattern, std::string_view below,
                             std::string_view name) {
  std::size_t at = 0;
  for (std::size_t i = 0; i + 1 < pattern.names.size(); ++i) {
    const std::size_t end = below.find('/', at);
    if (end == std::string_view::npos ||
        !text::MatchesPattern(pattern.names[i], below.substr(at, end - at),
                              platform::NamesIgnoreCase())) {
      return false;
    }
    at = end + 1;
  }
  // As deep as the pattern, not deeper.
  return at == below.size() &&
         text::MatchesPattern(pattern.names.back(), name, platform::NamesIgnoreCase());
}

std::vector<std::string> Exclusions::Unmatched() const {
  std::vector<std::string> unmatched;
  for (std::size_t i = 0; i < patterns_.size(); ++i) {
    if (!matched_[i].load(std::memory_order_relaxed)) {
      unmatched.push_back(patterns_[i].given);
    }
  }
  return unmatched;
}

}  // namespace quorvane::tool
