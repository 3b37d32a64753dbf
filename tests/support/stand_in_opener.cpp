#include "tests/support/stand_in_opener.h"

#include <sys/stat.h>  // chmod
#include <chrono>      // std::chrono::milliseconds
#include <cstdlib>     // std::getenv, setenv
#include <stdexcept>   // std::runtime_error
#include <thread>      // std::this_thread::sleep_for

namespace quorvane::testing {

StandInOpener::StandInOpener(const std::string& then) {
  const char* path = std::getenv("PATH");
  saved_path_ = path != nullptr ? path : "";
  folder_.AddFolder("bin");
  // Each request gets a file of its own, named by the time it came, so that requests made at
  // once lose nothing; each is put in place whole, so that a reader never sees half a path.
  const std::string record = folder_.AddFolder("opened");
  WriteFile(Bin() + "/xdg-open", "#!/bin/sh\nname=$(date +%s%N).$$\nprintf '%s' \"$1\" > '" +
                                     record + "/.'$name && mv '" + record + "/.'$name '" + record +
                                     "/'$name\n" + then + "\n");
  if (chmod((Bin() + "/xdg-open").c_str(), 0755) != 0) {
    throw std::runtime_error("cannot make the stand-in xdg-open runnable");
  }
  setenv("PATH", (Bin() + ":" + saved_path_).c_str(), 1);
}

StandInOpener::~StandInOpener() { setenv("PATH", saved_path_.c_str(), 1); }

std::vector<std::string> StandInOpener::Opened() const {
  std::vector<std::string> paths;
  for (const std::string& name : Entries(folder_ / "opened")) {
    if (name.front() != '.') {
      paths.push_back(ReadFile(folder_ / "opened/" + name));
    }
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
