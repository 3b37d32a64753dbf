#pragma once

#include <cstdint>      // std::int64_t
#include <memory>       // std::unique_ptr
#include <string_view>  // std::string_view

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane {

// How a page ended, once whole.
enum class PageEnd {
  kPlaced,      // in the place of the old page
  kSealed,      // on its way to its place, with the other pages of a tree
  kUnchanged,   // the page in place was the same but for its date and seconds, and stays
  kWouldWrite,  // a dry run's: it would have been written
  kWritten,     // written out as it came, to standard output
};

// Where a page goes as it is made: its text in pieces, then its end. Dropped before Finish(), it
// leaves no trace and whatever page was there as it was.
class PageSink {
 public:
  virtual ~PageSink() = default;
  virtual platform::Result<> Write(std::string_view piece) = 0;
  // The page is whole.
  virtual platform::Result<PageEnd> Finish() = 0;
};

// The page of a folder, replacing the old one only once whole and on disk.
class PlacedPage final : public PageSink {
 public:
  explicit PlacedPage(std::unique_ptr<platform::PageOutput> output) : output_(std::move(output)) {}
  platform::Result<> Write(std::string_view piece) override { return output_->Write(piece); }
  platform::Result<PageEnd> Finish() override {
    QUORVANE_TRY(output_->Commit());
    return PageEnd::kPlaced;
  }

 private:
  std::unique_ptr<platform::PageOutput> output_;
};

// Told where the writer is, so that a list's selection or a progress line can follow it.
class PageProgress {
 public:
  // The writer is at the entry at `position` of the names, the page's own entry included.
  virtual void At(std::int64_t position) = 0;

 protected:
  ~PageProgress() = default;
};

}  // namespace quorvane
