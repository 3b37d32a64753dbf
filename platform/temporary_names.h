#pragma once

namespace quorvane::platform {

// Makes the program remove the hidden page names still held (see HeldName) before it ends on
// SIGINT, SIGTERM, SIGHUP and SIGPIPE, or on Windows on the console's Ctrl+C, Ctrl+Break and
// close, and then end as it would have. On POSIX it also ignores SIGXFSZ, so that a page over the
// file-size limit is a write that fails with a message rather than a silent end; a signal ignored
// when the program started (under nohup, say) stays ignored. Programs call it once at start-up.
void RemoveTemporaryNamesOnSignals();

// A name that this process made and removes if the program ends before it is done with it.
class Removable {
 public:
  // Removes the name now. Called from a signal handler: no lock, no allocation, no exception.
  virtual void RemoveNow() const noexcept = 0;

 protected:
  ~Removable() = default;
};

// Holds a name for the clean-up above. Only a name this process has made is held, and only until
// it is placed or removed, so that the clean-up never removes another's file.
class HeldName {
 public:
  HeldName() = default;
  HeldName(const HeldName&) = delete;
  HeldName& operator=(const HeldName&) = delete;
  ~HeldName() { Release(); }

  // Holds `made`, which must stay in place, and its name unchanged, until released; any name
  // held before is released first.
  void Hold(const Removable& made);
  // Stops holding: the clean-up no longer removes the name. Waits for a clean-up that is
  // removing it at the moment.
  void Release();

 private:
  int slot_ = -1;
};

// Removes every name held now; the clean-up above calls it. Safe in a signal handler.
void RemoveHeldNames() noexcept;

// Holds the clean-up off while a name is made and held, or a page taken aside and then removed
// or put back: the signals of this thread wait until it goes, and a clean-up on another thread
// waits for it. Short: a few calls to the system, none that waits on anything else.
class MakingName {
 public:
  MakingName();
  MakingName(const MakingName&) = delete;
  MakingName& operator=(const MakingName&) = delete;
  ~MakingName();
};

// Begins the clean-up: waits for names being made, and keeps any more from being made, until the
// program ends. The clean-up calls it before RemoveHeldNames(). Safe in a signal handler.
void EndMakingNames() noexcept;

// Keeps the clean-up's signals off the calling thread, so that they come to one that is not
// making a name: the threads of the program's pool call it when they start. Nothing on Windows,
// where the console's events come on a thread of their own.
void KeepCleanUpSignalsAway();

// Each system's part of MakingName: the calling thread's signals held off, or let in again.
void HoldOffCleanUpSignals(bool hold);

}  // namespace quorvane::platform
