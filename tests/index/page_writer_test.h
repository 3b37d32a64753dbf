#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "index/index_page_writer.h"
#include "index/program_version.h"
#include "platform/system_file_system.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

// What the page writer's tests on every system share: a folder to write in, a fixed clock and
// US-English settings.

namespace quorvane {

inline std::string Footer(const std::string& seconds) {
  return "page printed in " + seconds + " seconds by quorvane " + kProgramVersionText +
         " from <a href=\"" + std::string(kPublisherUrl) + "\">" + kPublisherName + "</a>";
}

class PageWriterTest : public ::testing::Test {
 protected:
  // Points a new file list over `files` at the test folder and reads it, as the window does.
  void Refresh(const platform::FileSystem& files) { Show(folder_.Path(), files); }

  // Points a new file list over `files` at `folder` and reads it; CurPath_ is its path with the
  // separator after it.
  void Show(const std::string& folder, const platform::FileSystem& files) {
    NewList(files);
    CurPath_ = folder.back() == kPathSeparator ? folder : folder + kPathSeparator;
    list_->SetFolder(CurPath_);
    (void)list_->ReRead();
  }

  // A new file list over `files`, not yet read.
  void NewList(const platform::FileSystem& files) {
    list_.reset();
    services_ = std::make_unique<platform::Services>(
        platform::Services{clock_, regional_, files, testing::TestExecutor()});
    list_ = std::make_unique<FileList>(*services_);
  }

  GenerationOutcome Make(bool ShowImages, const platform::FileSystem& files,
                         std::stop_token stop = {}) {
    const platform::Services services{clock_, regional_, files, testing::TestExecutor()};
    return MakeIndexPage(ShowImages, CurPath_, *list_, services, std::move(stop));
  }

  // Refreshes over `files` and makes the page; returns the page, or the failure's description.
  std::string RefreshAndMake(bool ShowImages, const platform::FileSystem& files) {
    Refresh(files);
    const GenerationOutcome outcome = Make(ShowImages, files);
    if (!outcome.OutPath) {
      return "failed: " + platform::Describe(outcome.OutPath.Error());
    }
    EXPECT_EQ(*outcome.OutPath, CurPath_ + "quorvane_index.html");
    return testing::ReadFile(*outcome.OutPath);
  }

  std::string PagePath() const { return folder_ / "quorvane_index.html"; }

  testing::TempFolder folder_;
  platform::Regional regional_ = testing::RegionalOf(testing::UsEnglish());
  testing::FakeClock clock_{{testing::LocalTm(2026, 12, 7, 9, 30, 0)}, {100.0, 101.25}};
  platform::SystemFileSystem system_files_;
  std::unique_ptr<platform::Services> services_;
  std::unique_ptr<FileList> list_;
  std::string CurPath_;
};

// Runs `act` when the list selects the entry at `position`: something that happens to the folder
// while the page is being written.
struct WhenSelected final : FileListObserver {
  std::int64_t position;
  std::function<void()> act;
  WhenSelected(std::int64_t at, std::function<void()> what) : position(at), act(std::move(what)) {}
  void SelectionChanged(std::int64_t selected) override {
    if (selected == position) {
      act();
    }
  }
};

}  // namespace quorvane
