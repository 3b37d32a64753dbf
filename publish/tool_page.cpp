#include "publish/tool_page.h"

#include <utility>  // std::move

namespace quorvane::tool {
namespace {

// The page as standard output, for a pipe or a redirection: written as it comes.
class StandardOutputPage final : public platform::PageOutput {
 public:
  explicit StandardOutputPage(Console& console) : console_(console) {}
  platform::Result<> Write(std::string_view bytes) override {
    console_.Print(bytes);
    return {};
  }
  platform::Result<> Commit() override { return {}; }

 private:
  Console& console_;
};

}  // namespace

platform::Result<> ToolPage::Open() {
  if (route_.update && route_.target != nullptr) {
    // Not a page to compare with (a symlink, a page that cannot be read): the new page is
    // written, by the rules of writing any page.
    if (auto old = route_.target->ReadPage(route_.name); old && *old) {
      old_ = std::move(*old);
      comparison_.emplace(*old_);
    }
  }
  if (!comparison_ && !route_.dry_run) {
    return Start();
  }
  return {};
}

platform::Result<> ToolPage::Write(std::string_view bytes) {
  const bool same_so_far = comparison_ && comparison_->Add(bytes);
  if (route_.dry_run) {
    return {};
  }
  // A page that stays the same leaves no trace, not even a new file never named.
  if (same_so_far && !real_ && held_.empty()) {
    held_.assign(bytes);
    return {};
  }
  if (platform::Result<> started = Start(); !started) {
    return started;
  }
  return real_->Write(bytes);
}

platform::Result<> ToolPage::Commit() {
  if (comparison_) {
    const platform::Result<bool> same = comparison_->Same();
    if (!same) {
      return same.Error();
    }
    if (*same) {
      end_ = PageEnd::kUnchanged;
      return {};
    }
  }
  if (route_.dry_run) {
    if (route_.target != nullptr) {
      if (platform::Result<> may = route_.target->CheckPage(route_.name); !may) {
        return may;
      }
    }
    end_ = PageEnd::kWouldWrite;
    return {};
  }
  if (platform::Result<> started = Start(); !started) {
    return started;
  }
  if (route_.batch != nullptr) {
    if (platform::Result<> sealed = real_->Seal(); !sealed) {
      return sealed;
    }
    route_.batch->Add({std::move(real_), route_.path, route_.open});
    end_ = PageEnd::kSealed;
    return {};
  }
  if (platform::Result<> committed = real_->Commit(); !committed) {
    return committed;
  }
  end_ = PageEnd::kPlaced;
  return {};
}

platform::Result<> ToolPage::Start() {
  if (real_) {
    return {};
  }
  if (route_.target != nullptr) {
    auto page = route_.target->CreatePage(route_.name);
    if (!page) {
      return page.Error();
    }
    real_ = std::move(*page);
  } else {
    real_ = std::make_unique<StandardOutputPage>(*route_.console);
  }
  if (held_.empty()) {
    return {};
  }
  platform::Result<> written = real_->Write(held_);
  std::string().swap(held_);
  return written;
}

platform::Result<> PublishedFolder::ReadFileNames(platform::NameSink& names) const {
  if (rules_ != nullptr) {
    KeptNames kept(names, [&](std::string_view name) { return !rules_->LeftOut(name); });
    return listing_.folder->ReadFileNames(kept);
  }
  for (std::size_t i = 0; i < listing_.files.Size(); ++i) {
    if (platform::Result<> added = names.Add(listing_.files[i]); !added) {
      return added;
    }
  }
  return {};
}

platform::Result<std::unique_ptr<platform::PageOutput>> PublishedFolder::CreatePage(
    std::string_view /*name*/) const {
  auto page = std::make_unique<ToolPage>(route_, end_);
  if (platform::Result<> opened = page->Open(); !opened) {
    return opened.Error();
  }
  return std::unique_ptr<platform::PageOutput>(std::move(page));
}

}  // namespace quorvane::tool
