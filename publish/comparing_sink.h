#pragma once

#include <cstdint>     // std::uint64_t
#include <functional>  // std::function
#include <memory>      // std::unique_ptr
#include <string>      // std::string
#include <vector>      // std::vector

#include "index/page_sink.h"
#include "index/page_text.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::tool {

// The sink of --update: holds a new page back while it is the same as the page in place but for
// its date and seconds, however long the page, so that an unchanged page is never written at
// all; at the first line that differs it opens the sink the page goes to and writes the page
// from its start. What was held back is the old page's bytes but for the lines of another date
// or other seconds, so it is kept as where it is in the old page, and those few lines.
class ComparingSink final : public PageSink {
 public:
  using Open = std::function<platform::Result<std::unique_ptr<PageSink>>()>;

  // Compares with `old`, the page at `path`; `open` gives the sink once the page differs.
  ComparingSink(std::unique_ptr<platform::PageReader> old, std::string path, Open open)
      : old_(std::move(old)), path_(std::move(path)), comparison_(*old_), open_(std::move(open)) {}

  platform::Result<> Write(std::string_view piece) override;
  // kUnchanged where the page in place stays, else what the opened sink's end is.
  platform::Result<PageEnd> Finish() override;

 private:
  // A stretch of the new page held back: `length` bytes of the old page from `old_start`, or the
  // new page's own `text` where it differs from the old page's bytes there.
  struct Held {
    std::uint64_t old_start = 0;
    std::uint64_t length = 0;
    std::string text;
  };

  platform::Result<> Take(std::string_view line);
  // Opens the sink, writes what was held back, then `rest`.
  platform::Result<> Differ(std::string_view rest);
  platform::Result<> CopyOld(std::uint64_t start, std::uint64_t length);

  std::unique_ptr<platform::PageReader> old_;
  const std::string path_;
  PageComparison comparison_;
  Open open_;
  std::vector<Held> held_;
  std::string partial_;                // the start of a line not yet whole
  std::unique_ptr<PageSink> written_;  // once the page differs
};

}  // namespace quorvane::tool
