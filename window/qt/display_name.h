#pragma once

#include <QString>

#include <string_view>  // std::string_view

namespace quorvane {

// A name or path, given as the file system's bytes, as text a person can read: decoded as UTF-8,
// with every byte that is not part of valid UTF-8, and every control character, shown as \xNN,
// and a backslash doubled.
QString DisplayName(std::string_view bytes);

}  // namespace quorvane
