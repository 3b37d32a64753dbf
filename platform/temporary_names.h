#pragma once

namespace quorvane::platform {

// Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE first remove the hidden page names that are still in
// place, then end the program as the signal would have; and ignores SIGXFSZ, so that a page over
// the file-size limit is a write that fails with a message rather than a silent end. A signal
// ignored when the program started (under nohup, say) stays ignored. Programs call it once at
// start-up.
void RemoveTemporaryNamesOnSignals();

// A hidden name in a folder, removed by the signals above while it is held. The folder
// descriptor must stay open as long.
class TemporaryNameHold {
 public:
  TemporaryNameHold() = default;
  TemporaryNameHold(const TemporaryNameHold&) = delete;
  TemporaryNameHold& operator=(const TemporaryNameHold&) = delete;
  ~TemporaryNameHold() { Release(); }

  // Holds `name` (at most 31 bytes) in the folder `dir_fd`, releasing any name held before. Only
  // a name this process has made, so that a signal never removes another's file.
  void Hold(int dir_fd, const char* name);
  // Stops holding: a signal no longer removes the name.
  void Release();

 private:
  int slot_ = -1;
};

}  // namespace quorvane::platform
