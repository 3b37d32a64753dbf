#pragma once

#include <memory>  // std::unique_ptr
#include <string>  // std::string

#include "index/page_sink.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "publish/console.h"
#include "publish/page_batch.h"

namespace quorvane::tool {

// Where a page goes, and how.
struct PageRoute {
  const platform::Folder* target = nullptr;  // the folder it goes in; none for standard output
  std::string name;                          // its name there
  std::string path;                          // its path, as shown
  bool update = false;                       // only when more than its date and seconds change
  bool dry_run = false;                      // nowhere: only whether it would be written
  PageBatch* batch = nullptr;                // sealed into it, rather than put in place at once
  bool open = false;                         // to be opened once in place
  Console* console = nullptr;                // for standard output
};

// The sink of a page that goes by `route`: compared first with the page in place, only
// pretended, sealed into a batch, put in place or written to standard output. A page that may
// not be replaced is refused here, before any of it is made.
platform::Result<std::unique_ptr<PageSink>> OpenPageSink(const PageRoute& route);

}  // namespace quorvane::tool
