#include "publish/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane::tool {
namespace {

// The settle and rescan times that `words` give, in milliseconds, as "1000 60000"; "bad" for bad
// usage.
std::string Times(std::vector<std::string> words) {
  words.insert(words.begin(), {"quorvane-index", "-rw"});
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  const platform::Result<CommandLine> line =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  if (!line || line->request != Request::kRun) {
    return "bad";
  }
  return std::to_string(line->options.settle.count()) + " " +
         std::to_string(line->options.rescan.count());
}

TEST(CommandLineTest, ReadsTheWatchsTimesInSecondsAsEveryLocaleWritesThem) {
  const struct {
    std::vector<std::string> words;
    const char* times;
  } cases[] = {
      {{}, "1000 60000"},
      {{"--settle=0.25", "--rescan", "90"}, "250 90000"},
      {{"--settle=.5", "--rescan=5."}, "500 5000"},
      {{"--settle=0001.0019", "--rescan=1000000"}, "1001 1000000000"},
      {{"--rescan=1000000.001"}, "bad"},
      {{"--rescan=0.0001"}, "bad"},  // no time at all
      {{"--settle=-1"}, "bad"},
      {{"--settle=1e3"}, "bad"},
      {{"--settle=1,5"}, "bad"},
      {{"--settle="}, "bad"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Times(c.words), c.times) << (c.words.empty() ? "" : c.words.front());
  }
}

}  // namespace
}  // namespace quorvane::tool
