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
  QUORVANE_TRY(Listed(List(nullptr, &folders)));
  return std::move(folders.names);
}

bool ListingFolder::NotedAsHidden(std::string_view name) const {
  if (!IsTemporaryPageName(name)) {
    return false;
  }
  const std::lock_guard lock(mutex_);
  hidden_.emplace_back(name);
  return true;
}

Result<> ListingFolder::Listed(Result<> listing) const {
  if (listing) {
    const std::lock_guard lock(mutex_);
    listed_ = true;
  }
  return listing;
}

void ListingFolder::RemoveLeftovers() const {
  bool listed = false;
  {
    const std::lock_guard lock(mutex_);
    listed = listed_;
  }
  // A listing that gives no names but the hidden ones.
  if (!listed && !List(nullptr, nullptr)) {
    return;
  }
  std::vector<std::string> hidden;
  {
    const std::lock_guard lock(mutex_);
    hidden.swap(hidden_);
  }
  for (const std::string& name : hidden) {
    RemoveIfLeftOver(name);
  }
}

Result<std::unique_ptr<Folder>> Folder::OpenParent() const {
  return Failure(Step::kReadFolder, Path() + "..", ENOSYS);
}

bool Folder::HasFile(std::string_view /*path*/) const { return false; }

Result<std::unique_ptr<PageReader>> Folder::ReadPage(std::string_view name) const {
  return Failure(Step::kReadPage, Path() + std::string(name), ENOSYS);
}

}  // namespace quorvane::platform
