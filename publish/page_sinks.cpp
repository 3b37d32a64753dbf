#include "publish/page_sinks.h"

#include <utility>  // std::move

#include "publish/comparing_sink.h"

namespace quorvane::tool {
namespace {

using platform::Result;

// The page as standard output, for a pipe or a redirection: written as it comes.
class StandardOutputPage final : public PageSink {
 public:
  explicit StandardOutputPage(Console& console) : console_(console) {}
  Result<> Write(std::string_view piece) override {
    console_.Print(piece);
    return {};
  }
  Result<PageEnd> Finish() override { return PageEnd::kWritten; }

 private:
  Console& console_;
};

// A dry run's page: made and dropped, once it is known that it could be written.
class PretendedPage final : public PageSink {
 public:
  explicit PretendedPage(const PageRoute& route) : route_(route) {}
  Result<> Write(std::string_view /*piece*/) override { return {}; }
  Result<PageEnd> Finish() override {
    if (route_.target != nullptr) {
      QUORVANE_TRY(route_.target->CheckPage(route_.name));
    }
    return PageEnd::kWouldWrite;
  }

 private:
  const PageRoute& route_;
};

// A page of a tree: sealed, then put in place with the others of its batch.
class BatchedPage final : public PageSink {
 public:
  BatchedPage(std::unique_ptr<platform::PageOutput> output, const PageRoute& route)
      : output_(std::move(output)), route_(route) {}
  Result<> Write(std::string_view piece) override { return output_->Write(piece); }
  Result<PageEnd> Finish() override {
    QUORVANE_TRY(output_->Seal());
    route_.batch->Add({std::move(output_), route_.path, route_.open});
    return PageEnd::kSealed;
  }

 private:
  std::unique_ptr<platform::PageOutput> output_;
  const PageRoute& route_;
};

// The sink the page goes to once it is known to be written.
Result<std::unique_ptr<PageSink>> OpenWrittenSink(const PageRoute& route) {
  if (route.dry_run) {
    return std::unique_ptr<PageSink>(std::make_unique<PretendedPage>(route));
  }
  if (route.target == nullptr) {
    return std::unique_ptr<PageSink>(std::make_unique<StandardOutputPage>(*route.console));
  }
  QUORVANE_TRY_ASSIGN(std::unique_ptr<platform::PageOutput> output,
                      route.target->CreatePage(route.name));
  if (route.batch != nullptr) {
    return std::unique_ptr<PageSink>(std::make_unique<BatchedPage>(std::move(output), route));
  }
  return std::unique_ptr<PageSink>(std::make_unique<PlacedPage>(std::move(output)));
}

}  // namespace

Result<std::unique_ptr<PageSink>> OpenPageSink(const PageRoute& route) {
  if (route.update && route.target != nullptr) {
    // Not a page to compare with (a symlink that may not be written through, a page that cannot
    // be read): the new page is written, by the rules of writing any page.
    if (auto old = route.target->ReadReplacedPage(route.name); old && *old) {
      return std::unique_ptr<PageSink>(std::make_unique<ComparingSink>(
          std::move(*old), route.path, [&route] { return OpenWrittenSink(route); }));
    }
  }
  return OpenWrittenSink(route);
}

}  // namespace quorvane::tool
