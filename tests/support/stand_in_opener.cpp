#include "tests/support/stand_in_opener.h"

#include <sys/stat.h>  // chmod
#include <chrono>      // std::chrono::milliseconds
#include <cstdlib>     // std::getenv, setenv
#include <stdexcept>   // std::runtime_error
#include <thread>      // std::this_thread::sleep_for

namespace quorvane::testing {

StandInOpener::StandInOpener() {
  const char* path = std::getenv("PATH");
  saved_path_ = path != nullptr ? path : "";
  folder_.AddFolder("bin");
  // Each path ends in a NUL, which no path holds; the whole record is replaced at once, so that
  // a reader never sees half a path.
  const std::string record = folder_ / "opened";
  WriteFile(Bin() + "/xdg-open", "#!/bin/sh\n{ cat '" + record +
                                     "' 2>/dev/null; printf '%s\\0' \"$1\"; } > '" + record +
                                     ".part' && mv '" + record + ".part' '" + record + "'\n");
  if (chmod((Bin() + "/xdg-open").c_str(), 0755) != 0) {
    throw std::runtime_error("cannot make the stand-in xdg-open runnable");
  }
  setenv("PATH", (Bin() + ":" + saved_path_).c_str(), 1);
}

StandInOpener::~StandInOpener() { setenv("PATH", saved_path_.c_str(), 1); }

std::vector<std::string> StandInOpener::Opened() const {
  const std::string record = ReadFile(folder_ / "opened");
  std::vector<std::string> paths;
  for (std::size_t start = 0, end; (end = record.find('\0', start)) != std::string::npos;
       start = end + 1) {
    paths.push_back(record.substr(start, end - start));
  }
  return paths;
}

std::vector<std::string> StandInOpener::WaitForOpened(std::size_t count) const {
  for (int i = 0; i < 200 && Opened().size() < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return Opened();
}

}  // namespace quorvane::testing
