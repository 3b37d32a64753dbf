#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::string
#include <vector>   // std::vector

#include "tests/support/temp_folder.h"

namespace quorvane::testing {

// A stand-in xdg-open, first on this process's PATH while this lives, that notes every path it
// is given instead of opening it, then runs the shell text `then` ("exit 3": no program found).
// A child run with another environment finds it in Bin().
class StandInOpener {
 public:
  explicit StandInOpener(const std::string& then = {});
  StandInOpener(const StandInOpener&) = delete;
  StandInOpener& operator=(const StandInOpener&) = delete;
  ~StandInOpener();

  // The folder that holds the stand-in, to put first on a PATH.
  std::string Bin() const { return folder_ / "bin"; }
  // The paths it was given so far, in order.
  std::vector<std::string> Opened() const;
  // Waits up to five seconds for `count` paths, since the opener runs detached; returns them.
  std::vector<std::string> WaitForOpened(std::size_t count) const;

 private:
  TempFolder folder_;
  std::string saved_path_;
};

}  // namespace quorvane::testing
