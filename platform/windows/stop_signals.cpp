#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>  // std::atomic

#include "platform/temporary_names.h"

namespace quorvane::platform {
namespace {

// How long a console being closed waits for the work to end; the system ends the program itself
// soon after.
constexpr DWORD kCloseWait = 4000;

std::atomic<SignalStoppable*> stopping{nullptr};
std::atomic<bool> asked{false};

// Runs on a thread of its own while the program's go on. The first event asks the work to stop;
// any later one passes on to the handler that removes the hidden names and ends the program.
BOOL WINAPI AskToStop(DWORD event) {
  SignalStoppable* work = stopping.load();
  if (work == nullptr || asked.exchange(true)) {
    return FALSE;
  }
  work->StopNow();
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    return TRUE;
  }
  // Closed, logged off or shut down: the program ends as this returns, so it waits here for the
  // work to end the program first.
  Sleep(kCloseWait);
  RemoveHeldNames();
  return FALSE;
}

}  // namespace

StopOnSignals::StopOnSignals(SignalStoppable& work) {
  asked.store(false);
  stopping.store(&work);
  SetConsoleCtrlHandler(AskToStop, TRUE);
}

StopOnSignals::~StopOnSignals() {
  SetConsoleCtrlHandler(AskToStop, FALSE);
  stopping.store(nullptr);
}

}  // namespace quorvane::platform
