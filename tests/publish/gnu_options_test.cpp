#include "publish/gnu_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane::tool {
namespace {

constexpr int kClean = 256;
constexpr GnuOptions::Long kLong[] = {
    {"images", false, 'i'},     {"open", false, 'o'},   {"view", false, 'o'},
    {"output", true, 'O'},      {"exclude", true, 'x'}, {"clean", false, kClean},
    {"cleanse", false, kClean},
};

// What the options give, as "i o x=GLOB | operand..."; or "? " and the words for what is wrong.
std::string Read(std::vector<std::string> words) {
  words.insert(words.begin(), "quorvane-index");
  GnuOptions options(words, "iox:O:", kLong);
  std::string read;
  for (int got; (got = options.Next()) != -1;) {
    if (got == '?') {
      return "? " + options.Error();
    }
    read += got == kClean ? std::string("clean") : std::string(1, static_cast<char>(got));
    if (got == 'x' || got == 'O') {
      read += "=" + options.Argument();
    }
    read += ' ';
  }
  read += '|';
  for (const std::string& operand : options.Operands()) {
    read += ' ' + operand;
  }
  return read;
}

TEST(GnuOptionsTest, ReadsTheCommandLineAsGetoptLongDoes) {
  const struct {
    std::vector<std::string> words;
    std::string read;
  } cases[] = {
      {{"-io", "a"}, "i o | a"},
      {{"a", "-i", "b", "--view"}, "i o | a b"},  // options after operands
      {{"--", "-i", "--view"}, "| -i --view"},
      {{"-", "-i"}, "i | -"},
      {{"-xGLOB", "-x", "*.tmp", "-ix", "-o"}, "x=GLOB x=*.tmp i x=-o |"},
      {{"--exc=a=b", "--exclude", "c", "--output="}, "x=a=b x=c O= |"},
      {{"--im", "--vi", "--op"}, "i o o |"},  // abbreviations that are not ambiguous
      {{"--cl"}, "clean |"},                  // names that mean the same are no choice
      {{"--out", "--images"}, "O=--images |"},
      {{"-y"}, "? invalid option -- 'y'"},
      {{"-i:"}, "? invalid option -- ':'"},
      {{"-x"}, "? option requires an argument -- 'x'"},
      {{"--bogus=1"}, "? unrecognized option '--bogus=1'"},
      {{"--o"}, "? option '--o' is ambiguous; possibilities: '--open' '--output'"},
      {{"--images=yes"}, "? option '--images' doesn't allow an argument"},
      {{"--ou"}, "? option '--output' requires an argument"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Read(c.words), c.read) << c.words[0];
  }
}

}  // namespace
}  // namespace quorvane::tool
