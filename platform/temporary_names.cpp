#include "platform/temporary_names.h"

#include <fcntl.h>  // unlinkat
#include <unistd.h>
#include <atomic>   // std::atomic
#include <csignal>  // sigaction, raise
#include <cstring>  // std::strlen, std::memcpy

namespace quorvane::platform {
namespace {

enum SlotState : int { kFree, kFilling, kHeld };

// Fixed storage, so that the signal handler reads it without taking a lock or allocating.
struct Slot {
  std::atomic<int> state{kFree};
  int dir_fd = -1;
  char name[32] = {};
};

constexpr int kSlots = 64;
Slot slots[kSlots];

extern "C" void RemoveAndEnd(int signal_number) {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kHeld) {
      unlinkat(slot.dir_fd, slot.name, 0);
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
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    sigaddset(&action.sa_mask, signal_number);
  }
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    sigaction(signal_number, &action, nullptr);
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
  if (slot_ >= 0) {
    slots[slot_].state.store(kFree, std::memory_order_release);
    slot_ = -1;
  }
}

}  // namespace quorvane::platform
