#include "platform/file_system.h"

#include <cerrno>   // ENOSYS
#include <utility>  // std::move

namespace quorvane::platform {

Result<> Folder::ReadNames(NameSink& files, NameSink* folders) const {
  if (Result<> read = ReadFileNames(files); !read || folders == nullptr) {
    return read;
  }
  Result<std::vector<std::string>> names = SubFolderNames();
  if (!names) {
    return names.Error();
  }
  for (const std::string& name : *names) {
    if (Result<> added = folders->Add(name); !added) {
      return added;
    }
  }
  return {};
}

Result<std::vector<std::string>> ListingFolder::SubFolderNames() const {
  NameVector folders;
  if (Result<> listed = List(nullptr, &folders); !listed) {
    return listed.Error();
  }
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
