#include "app/tool_page.h"

#include <utility>  // std::move

#include "platform/failure.h"

namespace quorvane::tool {
namespace {

// The page as standard output, for a pipe or a redirection: written as it comes.
class StandardOutputPage final : public platform::PageOutput {
 public:
  explicit StandardOutputPage(Console& console) : console_(console) {}
  void Write(std::string_view bytes) override { console_.Print(bytes); }
  void Commit() override {}

 private:
  Console& console_;
};

}  // namespace

ToolPage::ToolPage(const PageRoute& route, PageEnd& end) : route_(route), end_(end) {
  if (route_.update && route_.target != nullptr) {
    try {
      old_ = route_.target->ReadPage(route_.name);
    } catch (const platform::Failure&) {
      // Not a page to compare with (a symlink, a page that cannot be read): the new page is
      // written, by the rules of writing any page.
    }
    if (old_) {
      comparison_.emplace(*old_);
    }
  }
  // A page that may not be replaced is refused before any file is looked at, as ever.
  if (!comparison_ && !route_.dry_run) {
    Start();
  }
}

void ToolPage::Write(std::string_view bytes) {
  const bool same_so_far = comparison_ && comparison_->Add(bytes);
  if (route_.dry_run) {
    return;
  }
  // A page that stays the same leaves no trace, not even a new file never named.
  if (same_so_far && !real_ && held_.empty()) {
    held_.assign(bytes);
    return;
  }
  Start();
  real_->Write(bytes);
}

void ToolPage::Commit() {
  if (comparison_ && comparison_->Same()) {
    end_ = PageEnd::kUnchanged;
    return;
  }
  if (route_.dry_run) {
    if (route_.target != nullptr) {
      route_.target->CheckPage(route_.name);
    }
    end_ = PageEnd::kWouldWrite;
    return;
  }
  Start();
  if (route_.batch != nullptr) {
    real_->Seal();
    route_.batch->Add({std::move(real_), route_.path, route_.open});
    end_ = PageEnd::kSealed;
    return;
  }
  real_->Commit();
  end_ = PageEnd::kPlaced;
}

void ToolPage::Start() {
  if (real_) {
    return;
  }
  if (route_.target != nullptr) {
    real_ = route_.target->CreatePage(route_.name);
  } else {
    real_ = std::make_unique<StandardOutputPage>(*route_.console);
  }
  if (!held_.empty()) {
    real_->Write(held_);
    std::string().swap(held_);
  }
}

void PublishedFolder::ReadFileNames(platform::NameSink& names) const {
  if (rules_ != nullptr) {
    KeptNames kept(names, [&](std::string_view name) { return !rules_->LeftOut(name); });
    listing_.folder->ReadFileNames(kept);
    return;
  }
  for (std::size_t i = 0; i < listing_.files.Size(); ++i) {
    names.Add(listing_.files[i]);
  }
}

std::unique_ptr<platform::PageOutput> PublishedFolder::CreatePage(std::string_view /*name*/) const {
  return std::make_unique<ToolPage>(route_, end_);
}

}  // namespace quorvane::tool
