#include "platform/file_system.h"

#include <cerrno>  // ENOSYS

#include "platform/failure.h"

namespace quorvane::platform {
namespace {

// Passes the names it is given on to `folders`.
void AddAll(const std::vector<std::string>& names, NameSink& folders) {
  for (const std::string& name : names) {
    folders.Add(name);
  }
}

}  // namespace

void Folder::ReadNames(NameSink& files, NameSink* folders) const {
  ReadFileNames(files);
  if (folders != nullptr) {
    AddAll(SubFolderNames(), *folders);
  }
}

std::unique_ptr<Folder> Folder::OpenParent() const {
  throw Failure(Step::kReadFolder, Path() + "..", ENOSYS);
}

bool Folder::HasFile(std::string_view /*path*/) const { return false; }

std::unique_ptr<PageReader> Folder::ReadPage(std::string_view name) const {
  throw Failure(Step::kReadPage, Path() + std::string(name), ENOSYS);
}

}  // namespace quorvane::platform
