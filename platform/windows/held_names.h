#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::wstring

namespace quorvane::platform {

// A hidden page name (a full \\?\ path) removed by the console's Ctrl+C, Ctrl+Break and close
// while it is held (see RemoveTemporaryNamesOnSignals).
class HeldName {
 public:
  HeldName() = default;
  HeldName(const HeldName&) = delete;
  HeldName& operator=(const HeldName&) = delete;
  ~HeldName() { Release(); }

  // Holds `path`, releasing any name held before.
  void Hold(const std::wstring& path);
  // Stops holding: the console's events no longer remove the name.
  void Release();

 private:
  std::size_t id_ = 0;  // 0 while nothing is held
};

// Removes every hidden name held now, as the console's events do before the program ends.
void RemoveHeldNames();

}  // namespace quorvane::platform
