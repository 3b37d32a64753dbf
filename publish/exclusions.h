#pragma once

#include <atomic>       // std::atomic
#include <cstddef>      // std::size_t
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace quorvane::tool {

// The patterns of --exclude, each matched as the shell matches: one without a "/" against each
// name, one with a "/" against the path below the top folder, name by name, as rsync and
// .gitignore match such patterns ("doc/python3" only that folder, "/build" only the top's own),
// and one that ends in "/" against folders alone. Which patterns matched is noted, so that a run
// can tell of those that matched nothing. Safe to use from several threads at once.
class Exclusions {
 public:
  explicit Exclusions(const std::vector<std::string>& patterns);

  // Whether the entry `name`, a folder or not, of the folder at `below` is left out. `below` is
  // that folder's path below the top, each name followed by "/", and empty for the top itself.
  bool Match(std::string_view below, std::string_view name, bool folder) const;

  // The patterns that have matched nothing so far, as given, in the order given.
  std::vector<std::string> Unmatched() const;

 private:
  struct Pattern {
    std::string given;
    std::vector<std::string> names;  // a pattern of one name for each name of the path
    bool path = false;               // matched against the path below the top
    bool folders_only = false;
  };

  static bool MatchesPath(const Pattern& pattern, std::string_view below, std::string_view name);

  std::vector<Pattern> patterns_;
  std::unique_ptr<std::atomic<bool>[]> matched_;
};

}  // namespace quorvane::tool
