#pragma once

#include <string>  // std::string, std::wstring

namespace quorvane::platform {

class SystemCalls;

// Removes the hidden page `name` from the folder `folder` (a \\?\ path ending in \) when it is a
// file no live run holds: a live run holds its new page open until it is placed or dropped, so
// that only a killed run's can be opened without sharing.
void RemoveLeftOverPage(const SystemCalls& calls, const std::wstring& folder,
                        const std::string& name);

}  // namespace quorvane::platform
