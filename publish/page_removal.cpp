#include "publish/page_removal.h"

#include <algorithm>  // std::min
#include <cstdint>    // std::uint64_t
#include <memory>     // std::unique_ptr
#include <string>     // std::string

#include "index/index_page_writer.h"
#include "index/page_text.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Result;
using platform::Step;

// How much of a file is read to tell whether it is a page of ours.
constexpr std::size_t kHeadRead = 1 << 20;
constexpr std::size_t kTailRead = 64 * 1024;

// Up to `size` bytes of `page` from `offset`.
Result<std::string> ReadPart(const platform::PageReader& page, std::uint64_t offset,
                             std::size_t size) {
  std::string part(size, '\0');
  std::size_t got = 0;
  while (got < size) {
    QUORVANE_TRY_ASSIGN(const std::size_t read,
                        page.ReadAt(offset + got, part.data() + got, size - got));
    if (read == 0) {
      break;
    }
    got += read;
  }
  part.resize(got);
  return part;
}

Result<bool> IsOurPage(const platform::PageReader& page) {
  const std::uint64_t size = page.Size();
  const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size, kTailRead));
  QUORVANE_TRY_ASSIGN(const std::string head, ReadPart(page, 0, kHeadRead));
  QUORVANE_TRY_ASSIGN(const std::string end, ReadPart(page, size - tail, tail));
  return IsIndexPageFrame(head, end);
}

}  // namespace

Result<bool> RemoveOurPage(const platform::Folder& folder, bool dry_run) {
  const Result<std::unique_ptr<platform::PageReader>> page = folder.ReadPage(IndexFileName);
  if (!page) {
    // Whatever is not a regular file is no page of ours either.
    const Failure& failure = page.Error();
    return failure.step == Step::kPageNotAFile ? Failure(Step::kNotAPage, failure.path) : failure;
  }
  if (*page == nullptr) {
    return false;
  }
  QUORVANE_TRY_ASSIGN(const bool ours, IsOurPage(**page));
  if (!ours) {
    return Failure(Step::kNotAPage, folder.Path() + IndexFileName);
  }
  if (!dry_run) {
    QUORVANE_TRY((*page)->Remove());
  }
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
