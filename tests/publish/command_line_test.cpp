#include "publish/command_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace quorvane::tool {
namespace {

using std::chrono::milliseconds;

// What the command line `words` asks, with the settle and rescan times it gives.
struct Read {
  Request request;
  milliseconds settle{0};
  milliseconds rescan{0};
  friend bool operator==(const Read&, const Read&) = default;
};

Read Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "quorvane-index");
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  ToolOptions options;
  const Request request = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options);
  return {request, options.settle, options.rescan};
}

TEST(CommandLineTest, ReadsTheWatchsTimesInSecondsAsEveryLocaleWritesThem) {
  constexpr Request kRun = Request::kRun;
  // Bad usage leaves the times as they were.
  const Read kBadUsage{Request::kBadUsage, milliseconds(1000), milliseconds(60000)};
  const struct {
    std::vector<std::string> words;
    Read read;
  } cases[] = {
      {{"-rw"}, {kRun, milliseconds(1000), milliseconds(60000)}},
      {{"-rw", "--settle=0.25", "--rescan", "90"}, {kRun, milliseconds(250), milliseconds(90000)}},
      {{"-rw", "--settle=.5", "--rescan=5."}, {kRun, milliseconds(500), milliseconds(5000)}},
      {{"-rw", "--settle=0001.0019"}, {kRun, milliseconds(1001), milliseconds(60000)}},
      {{"-rw", "--rescan=1000000"}, {kRun, milliseconds(1000), milliseconds(1'000'000'000)}},
      {{"-rw", "--rescan=1000000.001"}, kBadUsage},
      {{"-rw", "--rescan=0.0001"}, kBadUsage},  // no time at all
      {{"-rw", "--settle=-1"}, kBadUsage},
      {{"-rw", "--settle=1e3"}, kBadUsage},
      {{"-rw", "--settle=1,5"}, kBadUsage},
      {{"-rw", "--settle="}, kBadUsage},
      {{"-rw", "--settle=x", "--help"}, {Request::kHelp, milliseconds(1000), milliseconds(60000)}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parse(c.words), c.read) << c.words.back();
  }
}

}  // namespace
}  // namespace quorvane::tool
