#pragma once

#include <QIcon>

namespace quorvane {

// The installed icon theme's icon for the program, where one is installed; otherwise the same
// picture drawn here, at 16 and 32 pixels.
QIcon WindowIcon();

}  // namespace quorvane
