#include "platform/temporary_names.h"

#include <windows.h>

namespace quorvane::platform {
namespace {

// Runs on a thread of its own while the program's go on; the default handler then ends the
// program.
BOOL WINAPI OnConsoleEvent(DWORD /*event*/) {
  EndMakingNames();
  RemoveHeldNames();
  return FALSE;
}

}  // namespace

void RemoveTemporaryNamesOnSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

void KeepCleanUpSignalsAway() {}

void HoldOffCleanUpSignals(bool /*hold*/) {}

}  // namespace quorvane::platform
