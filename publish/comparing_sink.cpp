#include "publish/comparing_sink.h"

#include <algorithm>  // std::min
#include <utility>    // std::move

namespace quorvane::tool {
namespace {

using platform::Result;

// The old page is copied in pieces of this size.
constexpr std::size_t kCopySize = 64 * 1024;

}  // namespace

Result<> ComparingSink::Write(std::string_view piece) {
  while (!written_ && !piece.empty()) {
    const std::size_t end = piece.find('\n');
    if (end == std::string_view::npos) {
      partial_.append(piece);
      return {};
    }
    const std::string_view line = piece.substr(0, end + 1);
    piece.remove_prefix(end + 1);
    if (partial_.empty()) {
      QUORVANE_TRY(Take(line));
    } else {
      partial_.append(line);
      const std::string whole = std::move(partial_);
      partial_.clear();
      QUORVANE_TRY(Take(whole));
    }
  }
  return written_ && !piece.empty() ? written_->Write(piece) : Result<>();
}

Result<PageEnd> ComparingSink::Finish() {
  if (!written_) {
    QUORVANE_TRY_ASSIGN(const bool same,
                        partial_.empty() ? comparison_.OldEndsHere() : Result<bool>(false));
    // A page gone from its place meanwhile is written again, as a first page.
    QUORVANE_TRY_ASSIGN(const bool in_place, same ? old_->InPlace() : Result<bool>(false));
    if (in_place) {
      return PageEnd::kUnchanged;
    }
    QUORVANE_TRY(Differ(std::exchange(partial_, {})));
  }
  return written_->Finish();
}

Result<> ComparingSink::Take(std::string_view line) {
  switch (comparison_.Compare(line)) {
    case PageComparison::Match::kSame: {
      const std::uint64_t start = comparison_.OldLineStart();
      if (!held_.empty() && held_.back().text.empty() &&
          held_.back().old_start + held_.back().length == start) {
        held_.back().length += line.size();
      } else {
        held_.push_back({start, line.size(), {}});
      }
      return {};
    }
    case PageComparison::Match::kSameButTime:
      held_.push_back({0, 0, std::string(line)});
      return {};
    case PageComparison::Match::kDiffers:
      // Not known to differ where the old page could not be read.
      QUORVANE_TRY(comparison_.Read());
      return Differ(line);
  }
  return {};
}

Result<> ComparingSink::Differ(std::string_view rest) {
  QUORVANE_TRY_ASSIGN(written_, open_());
  for (const Held& held : std::exchange(held_, {})) {
    QUORVANE_TRY(held.text.empty() ? CopyOld(held.old_start, held.length)
                                   : written_->Write(held.text));
  }
  return rest.empty() ? Result<>() : written_->Write(rest);
}

Result<> ComparingSink::CopyOld(std::uint64_t start, std::uint64_t length) {
  std::string buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopySize)), '\0');
  while (length > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopySize));
    QUORVANE_TRY_ASSIGN(const std::size_t got, old_->ReadAt(start, buffer.data(), want));
    if (got == 0) {
      // Cut short since it was compared: the page cannot be made from it.
      return platform::Failure(platform::Step::kPageChanged, path_);
    }
    QUORVANE_TRY(written_->Write(std::string_view(buffer.data(), got)));
    start += got;
    length -= got;
  }
  return {};
}

}  // namespace quorvane::tool
