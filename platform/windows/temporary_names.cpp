#include <windows.h>

#include <map>    // std::map
#include <mutex>  // std::mutex, std::lock_guard

#include "platform/temporary_names.h"
#include "platform/windows/held_names.h"

namespace quorvane::platform {
namespace {

std::mutex held_mutex;
std::map<std::size_t, std::wstring> held;
std::size_t last_id = 0;

// Runs on a thread of its own, so it may take the lock; the default handler then ends the
// program.
BOOL WINAPI OnConsoleEvent(DWORD /*event*/) {
  RemoveHeldNames();
  return FALSE;
}

}  // namespace

void RemoveTemporaryNamesOnSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

// A page's handle shares deletion, so its name goes even while it is being written.
void RemoveHeldNames() {
  const std::lock_guard lock(held_mutex);
  for (const auto& [id, path] : held) {
    DeleteFileW(path.c_str());
  }
  held.clear();
}

void HeldName::Hold(const std::wstring& path) {
  Release();
  const std::lock_guard lock(held_mutex);
  id_ = ++last_id;
  held.emplace(id_, path);
}

void HeldName::Release() {
  if (id_ != 0) {
    const std::lock_guard lock(held_mutex);
    held.erase(id_);
    id_ = 0;
  }
}

}  // namespace quorvane::platform
