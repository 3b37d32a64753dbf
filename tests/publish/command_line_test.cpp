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

// Each option is told of in whole sentences: a capital first, a full stop last, so that no
// description stops short of its end.
TEST(CommandLineTest, HelpTellsOfEachOptionInWholeSentences) {
  std::vector<std::string> told;  // each option's words, its lines joined
  const std::string usage = kUsage;
  for (std::size_t at = 0; at < usage.size();) {
    const std::size_t end = usage.find('\n', at);
    const std::string line = usage.substr(at, end - at);
    at = end + 1;
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) {
      continue;
    }
    if (indent < 8 && line[indent] == '-') {
      told.push_back(line.substr(line.find_first_not_of(' ', line.find("  ", indent))));
    } else if (indent > 8 && !told.empty()) {
      told.back() += " " + line.substr(indent);
    }
  }
  EXPECT_EQ(told.size(), 16u);
  for (const std::string& words : told) {
    EXPECT_TRUE(words.front() >= 'A' && words.front() <= 'Z') << words;
    EXPECT_EQ(words.back(), '.') << words;
  }
}

}  // namespace
}  // namespace quorvane::tool
