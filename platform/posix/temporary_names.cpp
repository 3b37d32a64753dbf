#include "platform/temporary_names.h"

#include <csignal>  // sigaction, raise, signal

namespace quorvane::platform {
namespace {

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void RemoveAndEnd(int signal_number) {
  RemoveHeldNames();
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

}  // namespace quorvane::platform
