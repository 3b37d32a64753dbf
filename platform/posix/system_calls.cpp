#include "platform/posix/system_calls.h"

#include <dirent.h>       // getdents64
#include <fcntl.h>        // openat, sync_file_range, fcntl
#include <sys/eventfd.h>  // eventfd
#include <sys/file.h>     // flock
#include <sys/inotify.h>  // inotify_init1, inotify_add_watch, inotify_rm_watch
#include <sys/xattr.h>    // fgetxattr, fsetxattr, fremovexattr, flistxattr
#include <unistd.h>  // close, read, write, pread, fsync, syncfs, linkat, unlinkat, readlinkat, fchown
#include <cstdio>    // renameat, renameat2

namespace quorvane::platform {

int SystemCalls::OpenAt(int dir, const char* path, int flags, mode_t mode) const {
  return openat(dir, path, flags, mode);
}

int SystemCalls::Close(int fd) const { return close(fd); }

ssize_t SystemCalls::GetEntries(int fd, void* buffer, std::size_t size) const {
  return getdents64(fd, buffer, size);
}

int SystemCalls::StatAt(int dir, const char* path, struct stat* st, int flags) const {
  return fstatat(dir, path, st, flags);
}

int SystemCalls::StatxAt(int dir, const char* path, int flags, unsigned mask,
                         struct statx* st) const {
  return statx(dir, path, flags, mask, st);
}

ssize_t SystemCalls::ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) const {
  return readlinkat(dir, path, buffer, size);
}

ssize_t SystemCalls::Write(int fd, const void* data, std::size_t size) const {
  return write(fd, data, size);
}

ssize_t SystemCalls::ReadAt(int fd, void* buffer, std::size_t size, off_t offset) const {
  return pread(fd, buffer, size, offset);
}

int SystemCalls::Sync(int fd) const { return fsync(fd); }

int SystemCalls::StartWriteback(int fd, off_t offset, off_t size) const {
  return sync_file_range(fd, offset, size, SYNC_FILE_RANGE_WRITE);
}

int SystemCalls::SyncFileSystem(int fd) const { return syncfs(fd); }

int SystemCalls::LinkAt(int from_dir, const char* from, int to_dir, const char* to,
                        int flags) const {
  return linkat(from_dir, from, to_dir, to, flags);
}

int SystemCalls::RenameAt(int from_dir, const char* from, int to_dir, const char* to) const {
  return renameat(from_dir, from, to_dir, to);
}

int SystemCalls::RenameNoReplace(int from_dir, const char* from, int to_dir, const char* to) const {
  return renameat2(from_dir, from, to_dir, to, RENAME_NOREPLACE);
}

int SystemCalls::AccessAt(int dir, const char* path, int mode, int flags) const {
  return faccessat(dir, path, mode, flags);
}

int SystemCalls::Lock(int fd, int operation) const { return flock(fd, operation); }

int SystemCalls::Duplicate(int fd) const { return fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int SystemCalls::UnlinkAt(int dir, const char* path, int flags) const {
  return unlinkat(dir, path, flags);
}

int SystemCalls::ChangeMode(int fd, mode_t mode) const { return fchmod(fd, mode); }

int SystemCalls::ChangeOwner(int fd, uid_t owner, gid_t group) const {
  return fchown(fd, owner, group);
}

ssize_t SystemCalls::GetAttribute(int fd, const char* name, void* value, std::size_t size) const {
  return fgetxattr(fd, name, value, size);
}

int SystemCalls::SetAttribute(int fd, const char* name, const void* value, std::size_t size) const {
  return fsetxattr(fd, name, value, size, 0);
}

int SystemCalls::RemoveAttribute(int fd, const char* name) const { return fremovexattr(fd, name); }

ssize_t SystemCalls::ListAttributes(int fd, char* names, std::size_t size) const {
  return flistxattr(fd, names, size);
}

uid_t SystemCalls::EffectiveUser() const { return geteuid(); }

int SystemCalls::WatchInit(int flags) const { return inotify_init1(flags); }

int SystemCalls::AddWatch(int inotify, const char* path, std::uint32_t mask) const {
  return inotify_add_watch(inotify, path, mask);
}

int SystemCalls::RemoveWatch(int inotify, int watch) const {
  return inotify_rm_watch(inotify, watch);
}

ssize_t SystemCalls::Read(int fd, void* buffer, std::size_t size) const {
  return read(fd, buffer, size);
}

int SystemCalls::Poll(struct pollfd* fds, nfds_t count, int timeout_ms) const {
  return poll(fds, count, timeout_ms);
}

int SystemCalls::EventFd(unsigned initial, int flags) const { return eventfd(initial, flags); }

const SystemCalls& SystemCalls::Real() {
  static const SystemCalls real;
  return real;
}

}  // namespace quorvane::platform
