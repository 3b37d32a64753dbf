#include "platform/temporary_names.h"

#include <atomic>  // std::atomic
#include <chrono>  // std::chrono::hours
#include <thread>  // std::this_thread::yield, std::this_thread::sleep_for

namespace quorvane::platform {
namespace {

// A slot goes kFree -> kFilling -> kHeld by its holder, kHeld -> kFree by its holder or
// kHeld -> kRemoving -> kRemoved by the clean-up, and kRemoved -> kFree by its holder. Only the
// clean-up that took it to kRemoving reads it then, and its holder waits for it to finish, so the
// name is never read while it changes nor its folder closed while it is removed.
enum SlotState : int { kFree, kFilling, kHeld, kRemoving, kRemoved };

// Fixed storage, so that a signal handler reads it without taking a lock or allocating.
struct Slot {
  std::atomic<int> state{kFree};
  const Removable* made = nullptr;
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may not wait on a lock");

// Enough for the pages being written and those waiting, sealed, to be placed together.
constexpr unsigned kSlots = 4096;
Slot slots[kSlots];
// Where the next search for a free slot starts, so that it seldom passes many held ones.
std::atomic<unsigned> next_slot{0};

// How many names are being made at this moment, and whether the clean-up has begun.
std::atomic<int> making{0};
std::atomic<bool> ending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler may not wait on a lock");

}  // namespace

void RemoveHeldNames() noexcept {
  for (Slot& slot : slots) {
    int expected = kHeld;
    if (slot.state.compare_exchange_strong(expected, kRemoving, std::memory_order_acquire)) {
      slot.made->RemoveNow();
      slot.state.store(kRemoved, std::memory_order_release);
    }
  }
}

void HeldName::Hold(const Removable& made) {
  Release();
  const unsigned start = next_slot.fetch_add(1, std::memory_order_relaxed);
  for (unsigned i = 0; i < kSlots; ++i) {
    const unsigned at = (start + i) % kSlots;
    int expected = kFree;
    if (slots[at].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      slots[at].made = &made;
      slots[at].state.store(kHeld, std::memory_order_release);
      slot_ = static_cast<int>(at);
      return;
    }
  }
  // More names at once than slots: this one goes without removal by the clean-up.
}

void HeldName::Release() {
  if (slot_ < 0) {
    return;
  }
  std::atomic<int>& state = slots[slot_].state;
  // Held, or removed by a clean-up that is done with it; never freed while a clean-up on another
  // thread is removing it (and about to end the program).
  int expected = kHeld;
  while (!state.compare_exchange_weak(expected, kFree, std::memory_order_acq_rel)) {
    if (expected == kRemoving) {
      std::this_thread::yield();
      expected = kHeld;
    }
  }
  slot_ = -1;
}

MakingName::MakingName() {
  HoldOffCleanUpSignals(true);
  making.fetch_add(1);
  if (ending.load()) {
    // The program is ending, and its clean-up would miss a name made now: wait for the end.
    making.fetch_sub(1);
    for (;;) {
      std::this_thread::sleep_for(std::chrono::hours(1));
    }
  }
}

MakingName::~MakingName() {
  making.fetch_sub(1);
  HoldOffCleanUpSignals(false);
}

void EndMakingNames() noexcept {
  ending.store(true);
  while (making.load() != 0) {
    // Another thread is a few calls from holding its name, or from putting a page back.
  }
}

}  // namespace quorvane::platform
