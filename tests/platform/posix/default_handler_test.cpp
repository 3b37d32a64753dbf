#include "platform/default_handler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/stand_in_opener.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::StandInOpener;
using quorvane::testing::TempFolder;

TEST(DefaultHandlerTest, HandsThePathOverUnchangedAsOneArgument) {
  const TempFolder folder;
  const StandInOpener opener;
  const std::string page = folder.Path() + "/it's a \"page\" $HOME `id` & more.html";

  SystemDefaultHandler().Open(page);
  EXPECT_EQ(opener.WaitForOpened(1), std::vector<std::string>{page});
}

}  // namespace
}  // namespace quorvane::platform
