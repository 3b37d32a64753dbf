#include "platform/standard_streams.h"

namespace quorvane::platform {

// Nothing to do on Windows: pages are written through handles of their own, never through a
// descriptor number that a missing standard stream would leave free.
bool OpenClosedStandardStreams() { return true; }

}  // namespace quorvane::platform
