#pragma once

#include <memory>    // std::unique_ptr
#include <optional>  // std::optional
#include <string>    // std::string

#include "index/page_text.h"
#include "platform/file_system.h"
#include "publish/console.h"
#include "publish/page_batch.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// How a page the tool made ended.
enum class PageEnd { kFailed, kPlaced, kSealed, kUnchanged, kWouldWrite };

// Where a page goes, and how.
struct PageRoute {
  const platform::Folder* target = nullptr;  // the folder it goes in; none for standard output
  std::string name;                          // its name there
  std::string path;                          // its path, as shown
  bool update = false;                       // only when more than its date and seconds change
  bool dry_run = false;                      // nowhere: only whether it would be written
  PageBatch* batch = nullptr;                // sealed into it, rather than committed at once
  bool open = false;                         // to be opened once in place
  Console* console = nullptr;                // for standard output
};

// A page made the tool's way: compared first with the page in place, only pretended, sealed
// into a batch or written to standard output, as its route says. What happened is in `end`.
class ToolPage final : public platform::PageOutput {
 public:
  ToolPage(const PageRoute& route, PageEnd& end) : route_(route), end_(end) {}
  // Reads the page in place to compare with, or starts the new page; a page that may not be
  // replaced is refused here, before any file is looked at, as ever.
  platform::Result<> Open();
  platform::Result<> Write(std::string_view bytes) override;
  platform::Result<> Commit() override;

 private:
  platform::Result<> Start();

  const PageRoute& route_;
  PageEnd& end_;
  std::unique_ptr<platform::PageReader> old_;
  std::optional<PageComparison> comparison_;
  std::string held_;  // the first piece, while the page may yet prove the same
  std::unique_ptr<platform::PageOutput> real_;
};

// A listed folder as its page sees it: the listing's names (or, given `rules`, the names the
// folder has when its page asks, less those the rules leave out), and pages made as `route`
// says.
class PublishedFolder final : public platform::Folder {
 public:
  PublishedFolder(const Listing& listing, const PageRoute& route, PageEnd& end,
                  const NameRules* rules = nullptr)
      : listing_(listing), route_(route), end_(end), rules_(rules) {}

  const std::string& Path() const override { return listing_.folder->Path(); }
  platform::FolderIdentity Identity() const override { return listing_.folder->Identity(); }
  platform::Result<> ReadFileNames(platform::NameSink& names) const override;
  platform::Result<std::vector<std::string>> SubFolderNames() const override {
    return listing_.subfolders;
  }
  platform::Result<platform::FileFacts> ReadFacts(const char* name) const override {
    return listing_.folder->ReadFacts(name);
  }
  platform::Result<std::unique_ptr<platform::Folder>> OpenSubFolder(
      std::string_view name) const override {
    return listing_.folder->OpenSubFolder(name);
  }
  platform::Result<std::unique_ptr<platform::PageOutput>> CreatePage(
      std::string_view name) const override;

 private:
  const Listing& listing_;
  const PageRoute& route_;
  PageEnd& end_;
  const NameRules* rules_;
};

}  // namespace quorvane::tool
