#include "platform/temporary_names.h"

#include <fcntl.h>  // unlinkat
#include <sched.h>  // sched_yield
#include <unistd.h>
#include <atomic>   // std::atomic
#include <csignal>  // sigaction, raise
#include <cstring>  // std::strlen, std::memcpy

namespace quorvane::platform {
namespace {

// A slot goes kFree -> kFilling -> kHeld by its holder, kHeld -> kFree by its holder or
// kHeld -> kRemoving -> kRemoved by a signal handler, and kRemoved -> kFree by its holder. Only
// the handler that took it to kRemoving reads it then, and its holder waits for it to finish, so
// the name is never read while it is rewritten nor its folder closed while it is removed.
enum SlotState : int { kFree, kFilling, kHeld, kRemoving, kRemoved };

// Fixed storage, so that the signal handler reads it without taking a lock or allocating.
struct Slot {
  std::atomic<int> state{kFree};
  int dir_fd = -1;
  char name[32] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may not wait on a lock");

constexpr int kSlots = 64;
Slot slots[kSlots];

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void RemoveAndEnd(int signal_number) {
  for (Slot& slot : slots) {
    int expected = kHeld;
    if (slot.state.compare_exchange_strong(expected, kRemoving, std::memory_order_acquire)) {
      unlinkat(slot.dir_fd, slot.name, 0);
      slot.state.store(kRemoved, std::memory_order_release);
    }
  }
  // The handler was installed to run once; the signal now ends the program as it would have.
  raise(signal_number);
}

}  // namespace

void RemoveTemporaryNamesOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveAndEnd;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : kCleanUpSignals) {
    sigaddset(&action.sa_mask, signal_number);
  }
  for (const int signal_number : kCleanUpSignals) {
    struct sigaction inherited {};
    // A signal ignored when the program started stays ignored, as nohup means it to.
    if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN) {
      sigaction(signal_number, &action, nullptr);
    }
  }
  signal(SIGXFSZ, SIG_IGN);
}

void TemporaryNameHold::Hold(int dir_fd, const char* name) {
  Release();
  const std::size_t length = std::strlen(name);
  if (length >= sizeof Slot::name) {
    return;
  }
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      slots[i].dir_fd = dir_fd;
      std::memcpy(slots[i].name, name, length + 1);
      slots[i].state.store(kHeld, std::memory_order_release);
      slot_ = i;
      return;
    }
  }
  // More pages at once than slots: this one goes without removal on a signal.
}

void TemporaryNameHold::Release() {
  if (slot_ < 0) {
    return;
  }
  std::atomic<int>& state = slots[slot_].state;
  // Held, or removed by a handler that is done with it; never freed while a handler on another
  // thread is removing it (and about to end the program).
  int expected = kHeld;
  while (!state.compare_exchange_weak(expected, kFree, std::memory_order_acq_rel)) {
    if (expected == kRemoving) {
      sched_yield();
      expected = kHeld;
    }
  }
  slot_ = -1;
}

}  // namespace quorvane::platform
