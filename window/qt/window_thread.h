#pragma once

#include <QObject>

#include <functional>  // std::function
#include <utility>     // std::move

#include "window/model/window_work.h"

namespace quorvane {

// Hands closures to `object`'s thread, from its event loop; dropped once `object` is gone.
inline WindowWork::Post PostTo(QObject* object) {
  return [object](std::function<void()> work) {
    QMetaObject::invokeMethod(object, std::move(work), Qt::QueuedConnection);
  };
}

}  // namespace quorvane
