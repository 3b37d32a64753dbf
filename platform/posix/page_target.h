#pragma once

#include <sys/stat.h>   // struct stat
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/posix/descriptor.h"

namespace quorvane::platform {

// Where a new page goes: the folder and the name in it that the page replaces, and the page it
// replaces, opened for writing, when there is one.
struct PageTarget {
  Descriptor dir;  // a descriptor of its own, so that the page does not depend on the folder's
  std::string name;
  Descriptor old;  // none for a first page
  struct stat old_status {};
};

// Settles which file the new page `name` in the open folder `dir_fd` replaces, and that it may
// by the rules of Folder::CreatePage; creates nothing. Failures name `page_path`.
Result<PageTarget> FindPageTarget(const SystemCalls& calls, int dir_fd,
                                  const std::string& page_path, std::string_view name);

// Opens for reading the page that a new page `name` in the open folder `dir_fd` would replace, by
// the rules of Folder::ReadReplacedPage. The reader uses `dir_fd`, which must outlive it.
Result<std::unique_ptr<PageReader>> ReadReplacedSystemPage(const SystemCalls& calls, int dir_fd,
                                                           const std::string& folder_path,
                                                           std::string_view name);

// Whether the user may put a new page into the folder `dir_fd`, or take `page` (its status; none
// for a first page) out of it, as the system would answer when it is done: the folder writable
// for them on a file system that is not read-only and, where the folder is sticky, the folder or
// the page theirs. Fails with `step` naming `page_path`.
Result<> CheckFolderTakes(const SystemCalls& calls, int dir_fd, const struct stat* page, Step step,
                          const std::string& page_path);

}  // namespace quorvane::platform
