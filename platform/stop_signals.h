#pragma once

namespace quorvane::platform {

// Work that a signal may ask to stop. StopNow() runs in a signal handler (on Windows, on the
// console's own thread), so it may only do what a handler may: set an atomic flag, write to a
// descriptor, set an event.
class SignalStoppable {
 public:
  virtual void StopNow() noexcept = 0;

 protected:
  ~SignalStoppable() = default;
};

// While it lives, SIGINT, SIGTERM and SIGHUP (on Windows the console's Ctrl+C, Ctrl+Break and
// close) ask `work` to stop rather than end the program, so that it ends once the page under way
// is in place. A second one ends the program at once, as RemoveTemporaryNamesOnSignals() has it;
// a signal ignored when the program started stays ignored. One lives at a time.
class StopOnSignals {
 public:
  explicit StopOnSignals(SignalStoppable& work);
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;
  ~StopOnSignals();
};

}  // namespace quorvane::platform
