#include "platform/default_handler.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/stand_in_opener.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using namespace std::chrono_literals;
using quorvane::testing::StandInOpener;
using quorvane::testing::TempFolder;

// Each handler is given the path whole; only one that ends in failure while the opener waits
// for it is a failure: not one still at work, nor one not waited for.
TEST(DefaultHandlerTest, HandsThePathOverAndTellsOnlyWhereNoProgramTookIt) {
  const TempFolder folder;
  const std::string page = folder.Path() + "/it's a \"page\" $HOME `id` & more.html";
  const std::string held = folder / "held";  // a fifo the stand-in waits on, until the test writes
  ASSERT_EQ(mkfifo(held.c_str(), 0600), 0);
  const struct {
    std::string then;  // what the stand-in does once it has noted the path
    std::chrono::milliseconds wait;
    std::string failure;
  } cases[] = {
      {"", 5s, ""},
      {"exit 3", 5s, "No program could open the page " + page},
      {"exit 3", 0ms, ""},
      {"read line < '" + held + "'; exit 3", 50ms, ""},
  };
  for (const auto& c : cases) {
    const StandInOpener opener(c.then);
    const Result<> opened = SystemDefaultHandler(c.wait).Open(page);
    EXPECT_EQ(opened ? "" : Describe(opened.Error()), c.failure) << c.then;
    EXPECT_EQ(opener.WaitForOpened(1), std::vector<std::string>{page}) << c.then;
    if (c.then.find(held) != std::string::npos) {
      const int release = open(held.c_str(), O_WRONLY);
      EXPECT_EQ(write(release, "\n", 1), 1);
      close(release);
    }
  }
}

}  // namespace
}  // namespace quorvane::platform
