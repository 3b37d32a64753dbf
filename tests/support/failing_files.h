#pragma once

#include <memory>        // std::unique_ptr
#include <string>        // std::string
#include <string_view>   // std::string_view
#include <system_error>  // std::error_code

#include "platform/file_system.h"

namespace quorvane::testing {

// The stages on the way to a page, each done by calls of the system's own.
enum class Stage {
  kListFolder,  // reading the folder's entries
  kReadFacts,   // reading one file's facts
  kWritePage,   // writing the new page's bytes
  kPlacePage,   // putting the complete page in the old one's place
};

// The machine's file system, but for the first call of `stage` (for kReadFacts, the call for the
// file `name`), which fails with Error(), a system error that fits the stage.
class FailingFileSystem final : public platform::FileSystem {
 public:
  explicit FailingFileSystem(Stage stage, std::string name = {});

  platform::Result<std::unique_ptr<platform::Folder>> OpenFolder(
      std::string_view path) const override {
    return files_->OpenFolder(path);
  }
  std::error_code Error() const { return error_; }

 private:
  std::shared_ptr<const void> calls_;  // the system's calls, failing as the stage asks
  std::unique_ptr<platform::FileSystem> files_;
  std::error_code error_;
};

}  // namespace quorvane::testing
