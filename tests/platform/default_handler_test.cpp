#include "platform/default_handler.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;

// Puts a stand-in xdg-open first on PATH that writes its argument to `record`.
class StandInOpener {
 public:
  StandInOpener(const TempFolder& folder, const std::string& record)
      : saved_path_(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "") {
    const std::string bin = folder.AddFolder("bin");
    const std::string script = bin + "/xdg-open";
    const std::string text = "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + ".part'\nmv '" +
                             record + ".part' '" + record + "'\n";
    std::FILE* file = std::fopen(script.c_str(), "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    chmod(script.c_str(), 0755);
    setenv("PATH", (bin + ":" + saved_path_).c_str(), 1);
  }
  ~StandInOpener() { setenv("PATH", saved_path_.c_str(), 1); }

 private:
  std::string saved_path_;
};

bool WaitFor(const std::string& path) {
  for (int i = 0; i < 200 && !quorvane::testing::Exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return quorvane::testing::Exists(path);
}

TEST(DefaultHandlerTest, HandsThePathOverUnchangedAsOneArgument) {
  const TempFolder folder;
  const std::string record = folder / "opened";
  const StandInOpener opener(folder, record);
  const std::string page = folder.Path() + "/it's a \"page\" $HOME `id` & more.html";

  OpenWithDefaultHandler(page);
  ASSERT_TRUE(WaitFor(record));
  EXPECT_EQ(ReadFile(record), page);
}

}  // namespace
}  // namespace quorvane::platform
