#include "publish/page_removal.h"

#include <cstdint>  // std::uint64_t
#include <memory>   // std::unique_ptr
#include <string>   // std::string

#include "index/index_page_writer.h"
#include "index/page_text.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Result;
using platform::Step;

constexpr std::size_t kReadSize = 64 * 1024;
// Past this, a line is longer than any the writer writes: a title of the longest path escaped.
constexpr std::size_t kLongestLine = std::size_t{1} << 22;

// Whether every line of `page`, read to its end, is one this program writes.
Result<bool> IsOurPage(const platform::PageReader& page) {
  OwnPageLines lines;
  std::string buffer;
  for (std::uint64_t offset = 0;;) {
    const std::size_t had = buffer.size();
    buffer.resize(had + kReadSize);
    QUORVANE_TRY_ASSIGN(const std::size_t got, page.ReadAt(offset, buffer.data() + had, kReadSize));
    buffer.resize(had + got);
    offset += got;
    std::size_t start = 0;
    for (std::size_t end; (end = buffer.find('\n', start)) != std::string::npos; start = end + 1) {
      if (!lines.Take(std::string_view(buffer).substr(start, end + 1 - start))) {
        return false;
      }
    }
    buffer.erase(0, start);
    if (got == 0) {
      return buffer.empty() && lines.Whole();
    }
    if (buffer.size() > kLongestLine) {
      return false;
    }
  }
}

// Whatever is in the page's place but a regular file is no page of ours either, and a symlink is
// said to be one.
Failure NotOurs(Failure failure) {
  if (failure.step == Step::kPageNotAFile) {
    failure.step = Step::kNotAPage;
  } else if (failure.step == Step::kPageIsALink) {
    failure.step = Step::kPageLinkKept;
  }
  return failure;
}

}  // namespace

Result<bool> RemoveOurPage(const platform::Folder& folder, bool dry_run) {
  Result<std::unique_ptr<platform::PageReader>> page = folder.ReadPage(IndexFileName);
  if (!page) {
    return NotOurs(std::move(page).Error());
  }
  if (*page == nullptr) {
    return false;
  }
  QUORVANE_TRY_ASSIGN(const bool ours, IsOurPage(**page));
  if (!ours) {
    return Failure(Step::kNotAPage, folder.Path() + IndexFileName);
  }
  QUORVANE_TRY(dry_run ? (*page)->CheckRemoval() : (*page)->Remove());
  return true;
}

bool HoldsOurPage(const platform::Folder& folder) {
  const Result<std::unique_ptr<platform::PageReader>> page = folder.ReadPage(IndexFileName);
  if (!page || *page == nullptr) {
    return false;
  }
  const Result<bool> ours = IsOurPage(**page);
  return ours && *ours;
}

}  // namespace quorvane::tool
