#include "platform/page_replacement.h"

#include <string>   // std::string
#include <utility>  // std::move

#include "platform/page_names.h"

namespace quorvane::platform {
namespace {

// How many times the page's name may change hands between its check and the placing before the
// page gives up.
constexpr int kPlacings = 3;

class ReplacingPage final : public PageOutput {
 public:
  explicit ReplacingPage(std::unique_ptr<ReplaceSteps> steps) : steps_(std::move(steps)) {}

  ReplacingPage(const ReplacingPage&) = delete;
  ReplacingPage& operator=(const ReplacingPage&) = delete;

  // A page dropped before it is placed leaves no trace.
  ~ReplacingPage() override {
    if (named_ && !placed_) {
      steps_->DropName();
    }
    hold_.Release();
  }

  // Apart from the constructor, so that a failure part of the way is undone by the destructor.
  Result<> Start() {
    QUORVANE_TRY_ASSIGN(has_old_, steps_->CheckOld());
    QUORVANE_TRY_ASSIGN(const bool unnamed, steps_->CreateUnnamed());
    if (!unnamed) {
      QUORVANE_TRY(TakeHiddenName());
    }
    return has_old_ ? steps_->Carry() : Result<>();
  }

  Result<> Write(std::string_view bytes) override { return steps_->Write(bytes); }

  Result<> Commit() override { return Place(); }

  Result<> Seal() override { return End(false); }

  std::uint64_t Volume() const override { return steps_->Volume(); }

  Result<> SyncVolume() override { return placed_ ? Result<>() : steps_->SyncVolume(); }

  // The page is on the disk before its name moves to it, or a crash could leave an empty page in
  // its place.
  Result<> Place() override {
    if (placed_) {
      return {};
    }
    if (!ended_) {
      QUORVANE_TRY(End(true));
    }
    if (!named_) {
      QUORVANE_TRY(TakeHiddenName());
    }
    QUORVANE_TRY(PutInPlace());
    placed_ = true;
    hold_.Release();
    return {};
  }

 private:
  Result<> End(bool wait) {
    QUORVANE_TRY(steps_->End(wait));
    ended_ = true;
    return {};
  }

  // Gives the new page a hidden name that no other file has, and holds the name only once it is
  // made, so that the clean-up never removes another run's file of that name; no signal comes
  // between. Nothing is allocated meanwhile, as a signal's clean-up that waits for this may have
  // interrupted an allocation.
  Result<> TakeHiddenName() {
    for (;;) {
      const std::string name = TemporaryPageName();
      const MakingName making;
      QUORVANE_TRY_ASSIGN(const bool taken, steps_->TakeName(name));
      if (taken) {
        named_ = true;
        hold_.Hold(*steps_);
        return {};
      }
    }
  }

  // A file that took the page's name since it was checked is checked as an old page, and
  // replaced only if it may be.
  Result<> PutInPlace() {
    for (int placing = 1;; ++placing) {
      QUORVANE_TRY_ASSIGN(const bool put, steps_->PutInPlace(has_old_, placing == kPlacings));
      if (put) {
        return {};
      }
      QUORVANE_TRY_ASSIGN(has_old_, steps_->CheckOld());
    }
  }

  std::unique_ptr<ReplaceSteps> steps_;
  HeldName hold_;
  bool has_old_ = false;
  bool named_ = false;  // whether the new page has its hidden name
  bool ended_ = false;
  bool placed_ = false;
};

}  // namespace

Result<std::unique_ptr<PageOutput>> StartReplacing(std::unique_ptr<ReplaceSteps> steps) {
  auto page = std::make_unique<ReplacingPage>(std::move(steps));
  QUORVANE_TRY(page->Start());
  return std::unique_ptr<PageOutput>(std::move(page));
}

}  // namespace quorvane::platform
