#pragma once

#include <chrono>      // std::chrono::seconds
#include <functional>  // std::function
#include <memory>      // std::unique_ptr
#include <string>      // std::string
#include <utility>     // std::move

#include "index/index_page_writer.h"
#include "index/page_sink.h"
#include "platform/default_handler.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/services.h"
#include "publish/command_line.h"
#include "publish/console.h"
#include "publish/page_batch.h"
#include "publish/page_sinks.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// How one page goes besides what the options say.
struct PageWay {
  bool top = false;            // the page of a FOLDER named on the command line
  PageBatch* batch = nullptr;  // sealed into it, rather than put in place at once
  bool compare = false;        // kept when only its date and seconds would change, as with -u
};

// Makes the page of a folder read by the route the options give it, counting its files on the
// console's progress line and printing its path once it is in place.
class PageMaker {
 public:
  using Fail = std::function<void(const platform::Failure&)>;

  // `fail` is told that a page made could not be opened (--open).
  PageMaker(const ToolOptions& options, const platform::Services& services, Console& console,
            Fail fail)
      : options_(options), services_(services), console_(console), fail_(std::move(fail)) {}

  // Sends every page to the file `name` of `folder` rather than into its own folder (--output).
  void OutputTo(std::unique_ptr<platform::Folder> folder, std::string name) {
    output_folder_ = std::move(folder);
    output_name_ = std::move(name);
  }
  const ToolOptions& Options() const { return options_; }
  const platform::Folder* OutputFolder() const { return output_folder_.get(); }
  const std::string& OutputName() const { return output_name_; }

  // Writes the page of `listing`, begun at `t0`, with `links`; how it ended.
  platform::Result<PageEnd> Make(Listing& listing, const FolderLinks& links, const PageWay& way,
                                 double t0);

  // Opens the page at `path` with the default handler, as --open asks.
  void Open(const std::string& path) const;

 private:
  PageRoute RouteFor(const platform::Folder& folder, const PageWay& way);

  const ToolOptions& options_;
  const platform::Services& services_;
  Console& console_;
  const Fail fail_;
  // Given a while to say that no program could open a page.
  const platform::SystemDefaultHandler opener_{std::chrono::seconds(5)};
  std::unique_ptr<platform::Folder> output_folder_;
  std::string output_name_;
};

}  // namespace quorvane::tool
