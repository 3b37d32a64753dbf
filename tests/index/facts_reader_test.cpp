#include "index/facts_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <new>
#include <stop_token>
#include <string>
#include <thread>

#include "tests/support/platform_probes.h"

namespace quorvane {
namespace {

// A folder whose file "fN" is N bytes long, where a read takes `delay` and the names in
// `missing` are not there, or with `out_of_memory` run out of memory.
class CountingFolder final : public platform::Folder {
 public:
  CountingFolder(std::chrono::microseconds delay, std::vector<std::string> missing,
                 bool out_of_memory = false)
      : delay_(delay), missing_(std::move(missing)), out_of_memory_(out_of_memory) {}

  const std::string& Path() const override { return path_; }
  platform::FolderIdentity Identity() const override { return {}; }
  platform::Result<> ReadFileNames(platform::NameSink&) const override { return {}; }
  platform::Result<std::vector<std::string>> SubFolderNames() const override {
    return std::vector<std::string>();
  }
  platform::Result<platform::FileFacts> ReadFacts(const char* name) const override {
    ++reads_;
    const int now = ++in_flight_;
    for (int most = most_in_flight_;
         now > most && !most_in_flight_.compare_exchange_weak(most, now);) {
    }
    std::this_thread::sleep_for(delay_);
    --in_flight_;
    for (const std::string& gone : missing_) {
      if (gone == name && out_of_memory_) {
        throw std::bad_alloc();
      }
      if (gone == name) {
        return platform::Failure(platform::Step::kReadFileFacts, path_ + name, ENOENT);
      }
    }
    return platform::FileFacts{std::stoll(name + 1), 0};
  }
  platform::Result<std::unique_ptr<platform::Folder>> OpenSubFolder(
      std::string_view) const override {
    return nullptr;
  }
  platform::Result<std::unique_ptr<platform::PageOutput>> CreatePage(
      std::string_view) const override {
    return nullptr;
  }
  int MostInFlight() const { return most_in_flight_; }
  int Reads() const { return reads_; }

 private:
  mutable std::atomic<int> reads_{0};
  mutable std::atomic<int> in_flight_{0};
  mutable std::atomic<int> most_in_flight_{0};
  std::string path_ = "/x/";
  std::chrono::microseconds delay_;
  std::vector<std::string> missing_;
  bool out_of_memory_;
};

TEST(FactsReaderTest, HandsOverEveryFactInListOrderAndTheFirstFailureFirst) {
  const struct {
    const char* name;
    int count;
    std::chrono::microseconds delay;
    std::vector<std::string> missing;
    int first_failure;  // -1 for none
    int in_flight;      // reads in flight at once, at least
    bool out_of_memory = false;
  } cases[] = {
      {"a few, read by the writer", 20, std::chrono::microseconds(0), {}, -1, 1},
      {"many on a local disk", 50000, std::chrono::microseconds(0), {"f40000", "f7"}, 7, 1},
      // Two milliseconds: the shortest sleep that every system takes as asked.
      {"on a slow file system", 3000, std::chrono::milliseconds(2), {"f2999", "f1500"}, 1500, 16},
      // A worker that runs out of memory hands that over for the one file, and ends nothing.
      {"out of memory", 5000, std::chrono::microseconds(0), {"f4000"}, 4000, 1, true},
  };
  for (const auto& c : cases) {
    NameList names;
    for (int i = 0; i < c.count; ++i) {
      ASSERT_TRUE(names.Add("f" + std::to_string(i)));
    }
    const CountingFolder folder(c.delay, c.missing, c.out_of_memory);
    FactsReader reader(folder, names, testing::TestExecutor());
    int failed_at = -1;
    for (int i = 0; i < c.count && failed_at < 0; ++i) {
      const platform::Result<platform::FileFacts> facts = reader.Get(static_cast<std::size_t>(i));
      if (!facts) {
        failed_at = i;
        EXPECT_EQ(platform::Describe(facts.Error()),
                  c.out_of_memory ? "Out of memory"
                                  : "Cannot read the file facts of /x/f" + std::to_string(i) +
                                        ": No such file or directory");
      } else {
        ASSERT_EQ(facts->length, i) << c.name;
      }
    }
    EXPECT_EQ(failed_at, c.first_failure) << c.name;
    // A file system that answers slowly gets many reads at once, to hide its delay.
    EXPECT_GE(folder.MostInFlight(), c.in_flight) << c.name;
  }
}

TEST(FactsReaderTest, AStopLeavesTheRestUnreadAndWaitsForNone) {
  constexpr int kCount = 20000;
  NameList names;
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(names.Add("f" + std::to_string(i)));
  }
  const CountingFolder folder(std::chrono::microseconds(300), {});
  std::stop_source stop;
  FactsReader reader(folder, names, testing::TestExecutor(), stop.get_token());
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(reader.Get(static_cast<std::size_t>(i)));
  }
  stop.request_stop();
  const int read_before = folder.Reads();
  // What is left comes over unread, without waiting for the slow file system.
  for (int i = 100; i < kCount; ++i) {
    static_cast<void>(reader.Get(static_cast<std::size_t>(i)));
  }
  // Only the reads in flight at the stop, one per thread at most, were finished.
  EXPECT_LE(folder.Reads() - read_before, 64);
  EXPECT_LT(folder.Reads(), kCount);
}

}  // namespace
}  // namespace quorvane
