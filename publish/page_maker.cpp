#include "publish/page_maker.h"

#include <cstdint>   // std::int64_t
#include <optional>  // std::optional
#include <string>    // std::string

namespace quorvane::tool {
namespace {

// Counts what the page writer does, for the progress line.
class Counting final : public PageProgress {
 public:
  explicit Counting(Console& console) : console_(console) {}
  void At(std::int64_t /*position*/) override { console_.FileWritten(); }

 private:
  Console& console_;
};

}  // namespace

platform::Result<PageEnd> PageMaker::Make(Listing& listing, const FolderLinks& links,
                                          const PageWay& way, double t0) {
  // Sorted here, on the thread that writes the page, so that a walk goes on meanwhile.
  listing.files.Sort(services_.regional, services_.executor);
  if (!options_.dry_run && !options_.output) {
    listing.folder->RemoveLeftovers();
  }
  const PageRoute route = RouteFor(*listing.folder, way);
  QUORVANE_TRY_ASSIGN(const std::unique_ptr<PageSink> sink, OpenPageSink(route));
  console_.AddFiles(static_cast<std::int64_t>(listing.files.Size()));
  Counting counting(console_);
  PageRequest request{listing.folder->Path(), listing.files, *listing.folder,
                      options_.images,        &links,        t0};
  const std::optional<std::string> shown =
      options_.root ? std::optional(RootedPath(*options_.root, listing.below)) : std::nullopt;
  request.shown = shown;
  const platform::Result<PageEnd> end = WriteIndexPage(request, *sink, counting, services_);
  console_.FolderDone();
  QUORVANE_TRY(end);
  if ((*end == PageEnd::kPlaced || *end == PageEnd::kWouldWrite)) {
    console_.PagePath(route.path);
  }
  if (route.open && (*end == PageEnd::kPlaced || *end == PageEnd::kUnchanged)) {
    Open(route.path);
  }
  return end;
}

void PageMaker::Open(const std::string& path) const {
  if (const platform::Result<> opened = opener_.Open(path); !opened) {
    fail_(opened.Error());
  }
}

PageRoute PageMaker::RouteFor(const platform::Folder& folder, const PageWay& way) {
  PageRoute route;
  route.update = options_.update || way.compare;
  route.dry_run = options_.dry_run;
  route.batch = way.batch;
  route.open = options_.open && way.top && !options_.dry_run;
  route.console = &console_;
  if (!options_.output) {
    route.target = &folder;
    route.name = IndexFileName;
    route.path = folder.Path() + IndexFileName;
  } else if (*options_.output != "-") {
    route.target = output_folder_.get();
    route.name = output_name_;
    route.path = output_folder_->Path() + output_name_;
  } else {
    route.path = "-";  // what a dry run says it would write to, as it was named
  }
  return route;
}

}  // namespace quorvane::tool
