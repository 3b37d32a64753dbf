#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/regional.h"

namespace quorvane::testing {

// US-English settings: short date M/d/yyyy, long time h:mm:ss AM/PM, "," and ".".
inline platform::RegionalSettings UsEnglish() {
  return {",", ".", "%-m/%-d/%Y", "%-I:%M:%S %p", "C"};
}

inline std::tm LocalTm(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return t;
}

// The time_t of a local date and time.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t = LocalTm(year, month, day, hour, minute, second);
  return std::mktime(&t);
}

// A clock showing fixed local times, one per reading (the last one repeats), and a monotonic
// clock that steps through `ticks` the same way.
class FakeClock final : public platform::Clock {
 public:
  FakeClock(std::vector<std::tm> now, std::vector<double> ticks)
      : now_(std::move(now)), ticks_(std::move(ticks)) {}

  std::tm LocalNow() const override { return now_[std::min(now_read_++, now_.size() - 1)]; }
  double MonotonicSeconds() const override {
    return ticks_[std::min(ticks_read_++, ticks_.size() - 1)];
  }

 private:
  std::vector<std::tm> now_;
  std::vector<double> ticks_;
  mutable std::size_t now_read_ = 0;
  mutable std::size_t ticks_read_ = 0;
};

// A folder that exists only in memory: names in the order given, facts by name.
class FakeFileSystem final : public platform::FileSystem {
 public:
  // Adds a file, by default last changed on 22 August 2002 at 9:06:40 local time.
  void Add(const std::string& name, std::int64_t length,
           std::time_t modified = LocalTime(2002, 8, 22, 9, 6, 40)) {
    names_.push_back(name);
    facts_[name] = {length, modified};
  }

  std::vector<std::string> FileNames(const std::string& /*folder*/) const override {
    return names_;
  }
  platform::FileFacts Facts(const std::string& path) const override {
    const auto found = facts_.find(path.substr(path.rfind('/') + 1));
    if (found == facts_.end()) {
      throw platform::Failure("No such file or directory: " + path);
    }
    return found->second;
  }

 private:
  std::vector<std::string> names_;
  std::map<std::string, platform::FileFacts> facts_;
};

}  // namespace quorvane::testing
