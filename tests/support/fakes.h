#pragma once

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/clock.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "platform/system_file_system.h"
#include "tests/support/platform_probes.h"

namespace quorvane::testing {

// US-English settings, in the system's own notation: short date M/d/yyyy, long time h:mm:ss
// AM/PM, "," and ".". It is the rendering of the classic worked example, which on Linux no real
// locale writes quite like this.
platform::RegionalSettings UsEnglish();

// The regional formatting of `settings`, whose locale a test knows to be there.
inline platform::Regional RegionalOf(const platform::RegionalSettings& settings) {
  return Ok(platform::Regional::Of(settings));
}

// A locale that lower-cases every letter of Unicode, not only ASCII: "C.UTF-8" on Linux.
extern const char kUnicodeLocale[];

// The root of the file system, or of the first drive: "/", "C:\".
extern const char kRootFolder[];

// The error of a file that is not there, in the system's own words.
std::error_code NoSuchFile();

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

// The time_t of a local date and time, by the system's own time-zone rules.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second);

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

// Folders whose files exist only in memory: names in the order given, facts by name. Every
// folder opened through it lists the same files; its identity and its page are those of the real
// folder at the path, where there is one, so that pages land on disk where a test can read them.
class FakeFileSystem final : public platform::FileSystem {
 public:
  // Adds a file, by default last changed on 22 August 2002 at 9:06:40 local time.
  void Add(const std::string& name, std::int64_t length,
           std::time_t modified = LocalTime(2002, 8, 22, 9, 6, 40)) {
    names_.push_back(name);
    facts_[name] = {length, modified};
  }

  platform::Result<std::unique_ptr<platform::Folder>> OpenFolder(
      std::string_view path) const override {
    platform::Result<std::unique_ptr<platform::Folder>> real = real_.OpenFolder(path);
    return std::make_unique<Folder>(*this, real ? std::move(*real) : nullptr, std::string(path));
  }

 private:
  class Folder final : public platform::Folder {
   public:
    Folder(const FakeFileSystem& files, std::unique_ptr<platform::Folder> real, std::string path)
        : files_(files), real_(std::move(real)), path_(std::move(path)) {}
    const std::string& Path() const override { return real_ ? real_->Path() : path_; }
    platform::FolderIdentity Identity() const override {
      return real_ ? real_->Identity() : platform::FolderIdentity{};
    }
    platform::Result<> ReadFileNames(platform::NameSink& names) const override {
      for (const std::string& name : files_.names_) {
        if (platform::Result<> added = names.Add(name); !added) {
          return added;
        }
      }
      return {};
    }
    platform::Result<std::vector<std::string>> SubFolderNames() const override {
      return std::vector<std::string>();
    }
    platform::Result<platform::FileFacts> ReadFacts(const char* name) const override {
      const auto found = files_.facts_.find(name);
      if (found == files_.facts_.end()) {
        return platform::Failure(platform::Step::kReadFileFacts, Path() + name,
                                 std::make_error_code(std::errc::no_such_file_or_directory));
      }
      return found->second;
    }
    platform::Result<std::unique_ptr<platform::Folder>> OpenSubFolder(
        std::string_view name) const override {
      if (!real_) {
        return Missing();
      }
      return real_->OpenSubFolder(name);
    }
    platform::Result<std::unique_ptr<platform::PageOutput>> CreatePage(
        std::string_view name) const override {
      if (!real_) {
        return Missing();
      }
      return real_->CreatePage(name);
    }

   private:
    platform::Failure Missing() const {
      return platform::Failure(platform::Step::kReadFolder, path_, ENOENT);
    }

    const FakeFileSystem& files_;
    std::unique_ptr<platform::Folder> real_;
    std::string path_;
  };

  platform::SystemFileSystem real_;
  std::vector<std::string> names_;
  std::map<std::string, platform::FileFacts, std::less<>> facts_;
};

}  // namespace quorvane::testing
