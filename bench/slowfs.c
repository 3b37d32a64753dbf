// slowfs: a FUSE passthrough of a backing folder that makes every lookup and status request
// wait, like a file server some way off. It shows how a program's run time grows with the
// latency of status calls, and whether it overlaps them.
//
// Usage: slowfs [--delay-us=N] [--threads=N] BACKING MOUNTPOINT [-f] [-s] [-d] [-o OPTIONS]
//   --delay-us=N  microseconds added to each lookup and getattr (default 200)
//   --threads=N   most requests served at once (default 128)
// Unmount with fusermount3 -u MOUNTPOINT.
//
// The kernel caches nothing: entry, attribute and negative timeouts are 0 and readdirplus is
// off, so every status call a program makes reaches this process and pays the delay (about two
// requests per stat: the lookup of the name and the getattr). The delay is a sleep, so requests
// from parallel callers overlap as they would on a real server.

#define FUSE_USE_VERSION 312
#define _GNU_SOURCE
#include <dirent.h>         // fdopendir, readdir, closedir
#include <errno.h>          // errno
#include <fcntl.h>          // openat, O_*, AT_*
#include <fuse.h>           // the high-level FUSE API
#include <fuse_lowlevel.h>  // fuse_parse_cmdline
#include <limits.h>         // PATH_MAX
#include <stddef.h>         // offsetof
#include <stdint.h>         // uintptr_t
#include <stdio.h>          // fprintf, snprintf
#include <stdlib.h>         // free, realpath
#include <string.h>         // strerror
#include <sys/prctl.h>      // prctl, PR_SET_TIMERSLACK
#include <sys/stat.h>       // fstatat, fchmodat, mkdirat, mknodat, utimensat
#include <sys/statvfs.h>    // fstatvfs
#include <sys/xattr.h>      // lgetxattr, lsetxattr, llistxattr, lremovexattr
#include <time.h>           // clock_gettime, clock_nanosleep
#include <unistd.h>         // pread, pwrite, close, fsync, ...

struct Options {
  unsigned delay_us;
  unsigned threads;
  const char* backing;
  int show_help;
};

static struct Options options = {.delay_us = 200, .threads = 128};
static int backing_fd = -1;
static char backing_path[PATH_MAX];

#define OPTION(text, field) \
  { text, offsetof(struct Options, field), 1 }
static const struct fuse_opt kOptionSpec[] = {
    {"--delay-us=%u", offsetof(struct Options, delay_us), 0},
    {"delay_us=%u", offsetof(struct Options, delay_us), 0},
    {"--threads=%u", offsetof(struct Options, threads), 0},
    OPTION("-h", show_help),
    OPTION("--help", show_help),
    FUSE_OPT_END,
};

// The first plain argument is the backing folder; the second, the mount point, is left for
// fuse_parse_cmdline.
static int TakeBacking(void* data, const char* arg, int key, struct fuse_args* outargs) {
  (void)outargs;
  struct Options* parsed = data;
  if (key == FUSE_OPT_KEY_NONOPT && parsed->backing == NULL) {
    parsed->backing = arg;
    return 0;
  }
  return 1;
}

// An absolute deadline, so that a signal cutting the sleep short does not shorten the delay.
static void Delay(void) {
  if (options.delay_us == 0) return;
  struct timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_nsec += (long)options.delay_us * 1000;
  until.tv_sec += until.tv_nsec / 1000000000;
  until.tv_nsec %= 1000000000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {
  }
}

// FUSE paths start with '/'; relative to backing_fd, the root is ".".
static const char* Relative(const char* path) { return path[1] == '\0' ? "." : path + 1; }

// The xattr calls have no *at form, so they take the backing folder's absolute path.
static int Absolute(const char* path, char* buffer, size_t size) {
  const int length = snprintf(buffer, size, "%s%s", backing_path, path);
  return length >= 0 && (size_t)length < size ? 0 : -ENAMETOOLONG;
}

static int Result(int status) { return status == -1 ? -errno : 0; }

static void* Init(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  cfg->entry_timeout = 0;
  cfg->attr_timeout = 0;
  cfg->negative_timeout = 0;
  cfg->use_ino = 1;
  // Open files are reached through their handles, so unlinking one needs no hidden rename.
  cfg->nullpath_ok = 1;
  cfg->hard_remove = 1;
  conn->want &= ~(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO);
  if (conn->capable & FUSE_CAP_PARALLEL_DIROPS) conn->want |= FUSE_CAP_PARALLEL_DIROPS;
  return NULL;
}

// The high-level library serves each lookup with a getattr, so this one delay covers both.
static int GetAttr(const char* path, struct stat* status, struct fuse_file_info* fi) {
  Delay();
  if (fi != NULL) return Result(fstat((int)fi->fh, status));
  return Result(fstatat(backing_fd, Relative(path), status, AT_SYMLINK_NOFOLLOW));
}

static int Access(const char* path, int mask) {
  return Result(faccessat(backing_fd, Relative(path), mask, 0));
}

static int ReadLink(const char* path, char* buffer, size_t size) {
  if (size == 0) return -EINVAL;
  const ssize_t length = readlinkat(backing_fd, Relative(path), buffer, size - 1);
  if (length == -1) return -errno;
  buffer[length] = '\0';
  return 0;
}

static int MakeNode(const char* path, mode_t mode, dev_t device) {
  return Result(mknodat(backing_fd, Relative(path), mode, device));
}

static int MakeDir(const char* path, mode_t mode) {
  return Result(mkdirat(backing_fd, Relative(path), mode));
}

static int Unlink(const char* path) { return Result(unlinkat(backing_fd, Relative(path), 0)); }

static int RemoveDir(const char* path) {
  return Result(unlinkat(backing_fd, Relative(path), AT_REMOVEDIR));
}

static int Symlink(const char* target, const char* path) {
  return Result(symlinkat(target, backing_fd, Relative(path)));
}

static int Rename(const char* from, const char* to, unsigned int flags) {
  return Result(renameat2(backing_fd, Relative(from), backing_fd, Relative(to), flags));
}

static int Link(const char* from, const char* to) {
  return Result(linkat(backing_fd, Relative(from), backing_fd, Relative(to), 0));
}

static int ChangeMode(const char* path, mode_t mode, struct fuse_file_info* fi) {
  if (fi != NULL) return Result(fchmod((int)fi->fh, mode));
  return Result(fchmodat(backing_fd, Relative(path), mode, 0));
}

static int ChangeOwner(const char* path, uid_t uid, gid_t gid, struct fuse_file_info* fi) {
  if (fi != NULL) return Result(fchown((int)fi->fh, uid, gid));
  return Result(fchownat(backing_fd, Relative(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

static int Truncate(const char* path, off_t size, struct fuse_file_info* fi) {
  if (fi != NULL) return Result(ftruncate((int)fi->fh, size));
  const int fd = openat(backing_fd, Relative(path), O_WRONLY | O_CLOEXEC);
  if (fd == -1) return -errno;
  const int result = Result(ftruncate(fd, size));
  close(fd);
  return result;
}

static int SetTimes(const char* path, const struct timespec times[2], struct fuse_file_info* fi) {
  if (fi != NULL) return Result(futimens((int)fi->fh, times));
  return Result(utimensat(backing_fd, Relative(path), times, AT_SYMLINK_NOFOLLOW));
}

// The kernel hands O_TMPFILE to no handler of this API version; refuse it plainly should it come.
static int OpenFlags(int flags) {
  if ((flags & O_TMPFILE) == O_TMPFILE) return -EOPNOTSUPP;
  return flags | O_CLOEXEC;
}

static int Create(const char* path, mode_t mode, struct fuse_file_info* fi) {
  const int flags = OpenFlags(fi->flags);
  if (flags < 0) return flags;
  const int fd = openat(backing_fd, Relative(path), flags | O_CREAT, mode);
  if (fd == -1) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int Open(const char* path, struct fuse_file_info* fi) {
  const int flags = OpenFlags(fi->flags);
  if (flags < 0) return flags;
  const int fd = openat(backing_fd, Relative(path), flags);
  if (fd == -1) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset,
                struct fuse_file_info* fi) {
  (void)path;
  const ssize_t count = pread((int)fi->fh, buffer, size, offset);
  return count == -1 ? -errno : (int)count;
}

static int Write(const char* path, const char* buffer, size_t size, off_t offset,
                 struct fuse_file_info* fi) {
  (void)path;
  const ssize_t count = pwrite((int)fi->fh, buffer, size, offset);
  return count == -1 ? -errno : (int)count;
}

static int StatFs(const char* path, struct statvfs* status) {
  (void)path;
  return Result(fstatvfs(backing_fd, status));
}

// Closing a duplicate reports delayed write errors (NFS and the like) at close() time, as the
// caller expects, while the handle stays open until release.
static int Flush(const char* path, struct fuse_file_info* fi) {
  (void)path;
  const int copy = dup((int)fi->fh);
  if (copy == -1) return -errno;
  return Result(close(copy));
}

static int Release(const char* path, struct fuse_file_info* fi) {
  (void)path;
  close((int)fi->fh);
  return 0;
}

static int Fsync(const char* path, int data_only, struct fuse_file_info* fi) {
  (void)path;
  return Result(data_only ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

static int Allocate(const char* path, int mode, off_t offset, off_t length,
                    struct fuse_file_info* fi) {
  (void)path;
  return Result(fallocate((int)fi->fh, mode, offset, length));
}

static int SetXattr(const char* path, const char* name, const char* value, size_t size, int flags) {
  char full[PATH_MAX];
  const int error = Absolute(path, full, sizeof full);
  if (error != 0) return error;
  return Result(lsetxattr(full, name, value, size, flags));
}

static int GetXattr(const char* path, const char* name, char* value, size_t size) {
  char full[PATH_MAX];
  const int error = Absolute(path, full, sizeof full);
  if (error != 0) return error;
  const ssize_t length = lgetxattr(full, name, value, size);
  return length == -1 ? -errno : (int)length;
}

static int ListXattr(const char* path, char* list, size_t size) {
  char full[PATH_MAX];
  const int error = Absolute(path, full, sizeof full);
  if (error != 0) return error;
  const ssize_t length = llistxattr(full, list, size);
  return length == -1 ? -errno : (int)length;
}

static int RemoveXattr(const char* path, const char* name) {
  char full[PATH_MAX];
  const int error = Absolute(path, full, sizeof full);
  if (error != 0) return error;
  return Result(lremovexattr(full, name));
}

static int OpenDir(const char* path, struct fuse_file_info* fi) {
  const int fd = openat(backing_fd, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd == -1) return -errno;
  DIR* folder = fdopendir(fd);
  if (folder == NULL) {
    const int error = errno;
    close(fd);
    return -error;
  }
  fi->fh = (uint64_t)(uintptr_t)folder;
  return 0;
}

// Names only: the types and inode numbers readdir gives are enough, and handing out full
// attributes here would let the kernel skip the lookups this file system exists to slow down.
static int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                   struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)path;
  (void)flags;
  DIR* folder = (DIR*)(uintptr_t)fi->fh;
  if (offset != telldir(folder)) seekdir(folder, offset);
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(folder);
    if (entry == NULL) return -errno;
    struct stat status = {.st_ino = entry->d_ino, .st_mode = (mode_t)DTTOIF(entry->d_type)};
    if (fill(buffer, entry->d_name, &status, telldir(folder), 0) != 0) return 0;
  }
}

static int ReleaseDir(const char* path, struct fuse_file_info* fi) {
  (void)path;
  closedir((DIR*)(uintptr_t)fi->fh);
  return 0;
}

static off_t Seek(const char* path, off_t offset, int whence, struct fuse_file_info* fi) {
  (void)path;
  const off_t result = lseek((int)fi->fh, offset, whence);
  return result == -1 ? -errno : result;
}

static const struct fuse_operations kOperations = {
    .init = Init,
    .getattr = GetAttr,
    .access = Access,
    .readlink = ReadLink,
    .mknod = MakeNode,
    .mkdir = MakeDir,
    .unlink = Unlink,
    .rmdir = RemoveDir,
    .symlink = Symlink,
    .rename = Rename,
    .link = Link,
    .chmod = ChangeMode,
    .chown = ChangeOwner,
    .truncate = Truncate,
    .utimens = SetTimes,
    .create = Create,
    .open = Open,
    .read = Read,
    .write = Write,
    .statfs = StatFs,
    .flush = Flush,
    .release = Release,
    .fsync = Fsync,
    .fallocate = Allocate,
    .setxattr = SetXattr,
    .getxattr = GetXattr,
    .listxattr = ListXattr,
    .removexattr = RemoveXattr,
    .opendir = OpenDir,
    .readdir = ReadDir,
    .releasedir = ReleaseDir,
    .lseek = Seek,
};

static void Usage(const char* program) {
  fprintf(stderr,
          "Usage: %s [--delay-us=N] [--threads=N] BACKING MOUNTPOINT [-f] [-s] [-d] [-o OPTIONS]\n"
          "  --delay-us=N  microseconds added to each lookup and getattr (default 200)\n"
          "  --threads=N   most requests served at once (default 128)\n",
          program);
}

int main(int argc, char** argv) {
  struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
  if (fuse_opt_parse(&args, &options, kOptionSpec, TakeBacking) != 0) return 2;
  if (options.show_help) {
    Usage(argv[0]);
    fuse_lib_help(&args);
    return 0;
  }
  if (options.backing == NULL || options.threads == 0) {
    Usage(argv[0]);
    return 2;
  }
  if (realpath(options.backing, backing_path) == NULL) {
    fprintf(stderr, "slowfs: %s: %s\n", options.backing, strerror(errno));
    return 1;
  }
  backing_fd = open(backing_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (backing_fd == -1) {
    fprintf(stderr, "slowfs: %s: %s\n", backing_path, strerror(errno));
    return 1;
  }

  // No default_permissions: with it the kernel would fetch the folder's attributes for a
  // permission check on every path walk, a third delayed request per stat. Only the mounting
  // user can reach the mount, and the backing files enforce that user's rights.
  fuse_opt_add_arg(&args, "-ofsname=slowfs");
  struct fuse_cmdline_opts cmdline;
  if (fuse_parse_cmdline(&args, &cmdline) != 0) return 2;
  if (cmdline.mountpoint == NULL) {
    Usage(argv[0]);
    return 2;
  }

  int status = 1;
  struct fuse* fuse = fuse_new(&args, &kOperations, sizeof kOperations, NULL);
  if (fuse == NULL) goto out_args;
  if (fuse_mount(fuse, cmdline.mountpoint) != 0) goto out_fuse;
  if (fuse_daemonize(cmdline.foreground) != 0) goto out_unmount;
  struct fuse_session* session = fuse_get_session(fuse);
  if (fuse_set_signal_handlers(session) != 0) goto out_unmount;

  // The default 50 µs of timer slack would lengthen every delay by a quarter; worker threads
  // inherit this.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  if (cmdline.singlethread) {
    status = fuse_loop(fuse) == 0 ? 0 : 1;
  } else {
    struct fuse_loop_config* loop = fuse_loop_cfg_create();
    fuse_loop_cfg_set_clone_fd(loop, (unsigned)cmdline.clone_fd);
    fuse_loop_cfg_set_max_threads(loop, options.threads);
    // Keep the workers once started: a burst of parallel stats should not pay for new threads.
    fuse_loop_cfg_set_idle_threads(loop, options.threads);
    status = fuse_loop_mt(fuse, loop) == 0 ? 0 : 1;
    fuse_loop_cfg_destroy(loop);
  }
  fuse_remove_signal_handlers(session);
out_unmount:
  fuse_unmount(fuse);
out_fuse:
  fuse_destroy(fuse);
out_args:
  free(cmdline.mountpoint);
  fuse_opt_free_args(&args);
  close(backing_fd);
  return status;
}
