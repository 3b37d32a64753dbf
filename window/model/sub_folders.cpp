#include "window/model/sub_folders.h"

#include <algorithm>  // std::sort
#include <memory>     // std::unique_ptr

#include "index/name_list.h"

namespace quorvane {
namespace {

// Keeps the folders' names, and ends the listing once a stop is requested.
class StoppableNames final : public platform::NameSink {
 public:
  StoppableNames(std::stop_token stop, const std::string& path)
      : stop_(std::move(stop)), path_(path) {}

  platform::Result<> Add(std::string_view name) override {
    if (stop_.stop_requested()) {
      return platform::Failure(platform::Step::kStopped, path_);
    }
    names.emplace_back(name);
    return {};
  }

  std::vector<std::string> names;

 private:
  const std::stop_token stop_;
  const std::string& path_;
};

// Takes the files a listing gives, and keeps none of them.
struct NoFiles final : platform::NameSink {
  platform::Result<> Add(std::string_view /*name*/) override { return {}; }
};

}  // namespace

platform::Result<std::vector<std::string>> SubFolders(const platform::Services& services,
                                                      const std::string& path,
                                                      std::stop_token stop) {
  QUORVANE_TRY_ASSIGN(const std::unique_ptr<platform::Folder> folder,
                      services.files.OpenFolder(path));
  StoppableNames folders(std::move(stop), path);
  NoFiles files;
  QUORVANE_TRY(folder->ReadNames(files, &folders));
  std::sort(folders.names.begin(), folders.names.end(),
            [&](const std::string& a, const std::string& b) {
              return CompareNames(services.regional, a, b) < 0;
            });
  return std::move(folders.names);
}

}  // namespace quorvane
