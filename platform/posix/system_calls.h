#pragma once

#include <poll.h>       // struct pollfd, nfds_t
#include <sys/stat.h>   // struct stat, mode_t
#include <sys/types.h>  // ssize_t, off_t, uid_t, gid_t
#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint32_t

namespace quorvane::platform {

// The POSIX calls that listing a folder and replacing its page make, each as the C library has
// it: -1 and errno on failure. Every one goes through here so that a test can make any of them
// fail with any error at any call; the real ones are these defaults. Safe to use from several
// threads at once.
class SystemCalls {
 public:
  virtual ~SystemCalls() = default;

  virtual int OpenAt(int dir, const char* path, int flags, mode_t mode) const;
  virtual int Close(int fd) const;
  // Reads entries of the open folder `fd` as struct dirent64 records; 0 at the end.
  virtual ssize_t GetEntries(int fd, void* buffer, std::size_t size) const;
  virtual int StatAt(int dir, const char* path, struct stat* st, int flags) const;
  // statx: for the mount a folder is on, which tells bind mounts of one device apart.
  virtual int StatxAt(int dir, const char* path, int flags, unsigned mask, struct statx* st) const;
  virtual ssize_t ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) const;
  virtual ssize_t Write(int fd, const void* data, std::size_t size) const;
  virtual ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) const;
  virtual int Sync(int fd) const;
  // sync_file_range: starts writing `size` bytes from `offset` to the disk, without waiting.
  virtual int StartWriteback(int fd, off_t offset, off_t size) const;
  // syncfs: everything written to the file system `fd` is on, so that many files wait once.
  virtual int SyncFileSystem(int fd) const;
  virtual int LinkAt(int from_dir, const char* from, int to_dir, const char* to, int flags) const;
  virtual int RenameAt(int from_dir, const char* from, int to_dir, const char* to) const;
  // renameat2 with RENAME_NOREPLACE: fails (EEXIST) where `to` exists; EINVAL where the file
  // system cannot tell.
  virtual int RenameNoReplace(int from_dir, const char* from, int to_dir, const char* to) const;
  // faccessat with the effective ids (AT_EACCESS in `flags`): the system's own answer, ACLs and
  // read-only mounts included.
  virtual int AccessAt(int dir, const char* path, int mode, int flags) const;
  // flock: the lock a run holds on the files it writes, so that others can tell them apart from
  // those a killed run left.
  virtual int Lock(int fd, int operation) const;
  // Another descriptor of the same open file, sharing its lock; close-on-exec.
  virtual int Duplicate(int fd) const;
  virtual int UnlinkAt(int dir, const char* path, int flags) const;
  virtual int ChangeMode(int fd, mode_t mode) const;
  virtual int ChangeOwner(int fd, uid_t owner, gid_t group) const;
  virtual ssize_t GetAttribute(int fd, const char* name, void* value, std::size_t size) const;
  virtual int SetAttribute(int fd, const char* name, const void* value, std::size_t size) const;
  virtual int RemoveAttribute(int fd, const char* name) const;
  virtual ssize_t ListAttributes(int fd, char* names, std::size_t size) const;
  virtual uid_t EffectiveUser() const;
  // What watching folders makes: an inotify instance, its watches, reading its events, and an
  // eventfd to wake a poll() with.
  virtual int WatchInit(int flags) const;
  virtual int AddWatch(int inotify, const char* path, std::uint32_t mask) const;
  virtual int RemoveWatch(int inotify, int watch) const;
  virtual ssize_t Read(int fd, void* buffer, std::size_t size) const;
  virtual int Poll(struct pollfd* fds, nfds_t count, int timeout_ms) const;
  virtual int EventFd(unsigned initial, int flags) const;

  // The calls as the system makes them.
  static const SystemCalls& Real();
};

}  // namespace quorvane::platform
