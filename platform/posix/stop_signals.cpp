#include "platform/stop_signals.h"

#include <atomic>   // std::atomic
#include <csignal>  // sigaction, sigemptyset, sigaddset, SIG_IGN

namespace quorvane::platform {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCount = sizeof kStopSignals / sizeof kStopSignals[0];

// Fixed storage, read by the handler without a lock.
std::atomic<SignalStoppable*> stopping{nullptr};
struct sigaction before[kCount];
bool taken[kCount];  // which of them this handler took over

void PutBack() {
  for (int i = 0; i < kCount; ++i) {
    if (taken[i]) {
      sigaction(kStopSignals[i], &before[i], nullptr);
    }
  }
}

extern "C" void AskToStop(int /*signal_number*/) {
  // The next signal ends the program, in case the work cannot stop.
  PutBack();
  if (SignalStoppable* work = stopping.load()) {
    work->StopNow();
  }
}

}  // namespace

StopOnSignals::StopOnSignals(SignalStoppable& work) {
  stopping.store(&work);
  struct sigaction action {};
  action.sa_handler = AskToStop;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : kStopSignals) {
    sigaddset(&action.sa_mask, signal_number);
  }
  for (int i = 0; i < kCount; ++i) {
    // A signal ignored when the program started stays ignored, as nohup means it to.
    taken[i] = sigaction(kStopSignals[i], nullptr, &before[i]) == 0 &&
               before[i].sa_handler != SIG_IGN && sigaction(kStopSignals[i], &action, nullptr) == 0;
  }
}

StopOnSignals::~StopOnSignals() {
  PutBack();
  stopping.store(nullptr);
}

}  // namespace quorvane::platform
