#include "index/file_name_splitter.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tests/support/platform_probes.h"

namespace quorvane {
namespace {

struct SplitCase {
  std::string PathIn;
  bool AddPath;
  std::string name;
  std::string extension;
};

TEST(FileNameSplitterTest, SplitsAtTheLastDotAfterTheLastSeparator) {
  const SplitCase cases[] = {
      {"C:\\photos\\sea.jpg", false, "sea", "jpg"},
      {"C:\\photos\\sea.jpg", true, "C:\\photos\\sea", "jpg"},
      {"C:\\a.b\\archive.tar.gz", false, "archive.tar", "gz"},
      {"C:\\a.b\\README", false, "README", ""},
      {"C:\\home\\.profile", false, "", "profile"},
      {"C:\\tmp\\name.", false, "name", ""},
      {"C:\\photos\\", false, "", ""},
      {"PHOTO.JPG", false, "PHOTO", "JPG"},
      {"", false, "", ""},
      {"C:\\a.b\\README", true, "C:\\a.b\\README", ""},
      {"/home/ann/my.photos/sea.jpeg", false, "sea", "jpeg"},
      {"/home/ann/my.photos/README", true, "/home/ann/my.photos/README", ""},
      {"/srv/mixed\\sep/x.y", false, "x", "y"},
      {"/music/caf\xC3\xA9.MP3", false, "caf\xC3\xA9", "MP3"},
  };
  for (const auto& c : cases) {
    std::string NomeOut = "left over";
    EXPECT_EQ(testing::Ok(GetFileExt(c.PathIn, NomeOut, c.AddPath)), c.extension) << c.PathIn;
    EXPECT_EQ(NomeOut, c.name) << c.PathIn;
  }
}

struct LengthCase {
  std::string PathIn;
  bool overflows;
};

TEST(FileNameSplitterTest, PositionsBeyondSixteenBitsOverflow) {
  const LengthCase cases[] = {
      {std::string(32765, 'a'), false},
      {std::string(32766, 'a'), true},  // no dot: the extension would start at 32,768
      {std::string(32765, 'a') + ".", false},
      {std::string(32766, 'a') + ".", true},
      {"a." + std::string(32765, 'b'), false},
      {"a." + std::string(32766, 'b'), true},  // 32,768 characters
      {std::string(40000, '/'), true},
  };
  for (const auto& c : cases) {
    std::string NomeOut;
    EXPECT_EQ(testing::FailureOf(GetFileExt(c.PathIn, NomeOut, false)),
              c.overflows ? "The file name is too long to split at " + c.PathIn : "")
        << c.PathIn.size();
  }
}

}  // namespace
}  // namespace quorvane
