#include "platform/temporary_names.h"

#include <pthread.h>  // pthread_sigmask
#include <csignal>    // sigaction, raise, signal, sigset_t

namespace quorvane::platform {
namespace {

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// Those that come from outside. SIGPIPE comes to the thread whose write found no reader.
constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signals of the calling thread before it began holding them off, and how deep it holds.
thread_local sigset_t mask_before_holding;
thread_local int holding = 0;

template <std::size_t N>
sigset_t SetOf(const int (&signal_numbers)[N]) {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : signal_numbers) {
    sigaddset(&set, signal_number);
  }
  return set;
}

extern "C" void RemoveAndEnd(int signal_number) {
  EndMakingNames();
  RemoveHeldNames();
  // The handler was installed to run once; the signal now ends the program as it would have.
  raise(signal_number);
}

}  // namespace

void RemoveTemporaryNamesOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveAndEnd;
  action.sa_flags = SA_RESETHAND;
  action.sa_mask = SetOf(kCleanUpSignals);
  for (const int signal_number : kCleanUpSignals) {
    struct sigaction inherited {};
    // A signal ignored when the program started stays ignored, as nohup means it to.
    if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN) {
      sigaction(signal_number, &action, nullptr);
    }
  }
  signal(SIGXFSZ, SIG_IGN);
}

void KeepCleanUpSignalsAway() {
  const sigset_t set = SetOf(kTerminationSignals);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void HoldOffCleanUpSignals(bool hold) {
  if (hold && holding++ == 0) {
    const sigset_t set = SetOf(kCleanUpSignals);
    pthread_sigmask(SIG_BLOCK, &set, &mask_before_holding);
  } else if (!hold && --holding == 0) {
    pthread_sigmask(SIG_SETMASK, &mask_before_holding, nullptr);
  }
}

}  // namespace quorvane::platform
