#pragma once

#include <windows.h>

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "platform/volumes.h"

namespace quorvane::win32 {

// Fills the drop-down `box` with `volumes`, each by its root and its label, and selects
// `selected`.
void ShowDrives(HWND box, const std::vector<platform::Volume>& volumes, std::size_t selected);

}  // namespace quorvane::win32
