#include "platform/file_system.h"

#include <cerrno>   // ENOSYS
#include <utility>  // std::move

namespace quorvane::platform {

Result<> Folder::ReadNames(NameSink& files, NameSink* folders) const {
  QUORVANE_TRY(ReadFileNames(files));
  if (folders == nullptr) {
    return {};
  }
  QUORVANE_TRY_ASSIGN(const std::vector<std::string> names, SubFolderNames());
  for (const std::string& name : names) {
    QUORVANE_TRY(folders->Add(name));
  }
  return {};
}

Result<std::vector<std::string>> ListingFolder::SubFolderNames() const {
  NameVector folders;
  QUORVANE_TRY(List(nullptr, &folders));
  return std::move(folders.names);
}

Result<std::unique_ptr<Folder>> Folder::OpenParent() const {
  return Failure(Step::kReadFolder, Path() + "..", ENOSYS);
}

bool Folder::HasFile(std::string_view /*path*/) const { return false; }

Result<std::unique_ptr<PageReader>> Folder::ReadPage(std::string_view name) const {
  return Failure(Step::kReadPage, Path() + std::string(name), ENOSYS);
}

}  // namespace quorvane::platform
