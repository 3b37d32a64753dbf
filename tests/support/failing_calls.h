#pragma once

#include <atomic>
#include <cerrno>
#include <deque>
#include <string>

#include "platform/posix/system_calls.h"

namespace quorvane::testing {

enum class Call {
  kOpenAt,
  kGetEntries,
  kStatAt,
  kStatxAt,
  kWrite,
  kSync,
  kSyncFileSystem,
  kClose,
  kLinkAt,
  kRenameAt,
  kRenameNoReplace,
  kUnlinkAt,
  kAccessAt,
  kChangeOwner,
  kChangeMode,
  kGetAttribute,
  kSetAttribute,
  kRemoveAttribute,
  kListAttributes,
  kWatchInit,
  kAddWatch,
};

// The system's own calls, but for those a test makes fail: the `nth` call of a kind (counted
// among those that match the rule's path and flags) fails with the rule's error number. Counts
// are kept across threads.
class FailingCalls : public platform::SystemCalls {
 public:
  struct Rule {
    Call call;
    int error;
    int nth = 1;
    std::string path = {};  // the call's name argument must be this, where not empty
    int all_flags = 0;      // OpenAt: the flags must include these
  };

  void Fail(const Rule& rule) { rules_.emplace_back(rule); }

  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    return Check(Call::kOpenAt, path, flags) ? SystemCalls::OpenAt(dir, path, flags, mode) : -1;
  }
  ssize_t GetEntries(int fd, void* buffer, std::size_t size) const override {
    return Check(Call::kGetEntries) ? SystemCalls::GetEntries(fd, buffer, size) : -1;
  }
  int StatAt(int dir, const char* path, struct stat* st, int flags) const override {
    return Check(Call::kStatAt, path) ? SystemCalls::StatAt(dir, path, st, flags) : -1;
  }
  int StatxAt(int dir, const char* path, int flags, unsigned mask,
              struct statx* st) const override {
    return Check(Call::kStatxAt, path) ? SystemCalls::StatxAt(dir, path, flags, mask, st) : -1;
  }
  ssize_t Write(int fd, const void* data, std::size_t size) const override {
    return Check(Call::kWrite) ? SystemCalls::Write(fd, data, size) : -1;
  }
  int Sync(int fd) const override { return Check(Call::kSync) ? SystemCalls::Sync(fd) : -1; }
  int SyncFileSystem(int fd) const override {
    return Check(Call::kSyncFileSystem) ? SystemCalls::SyncFileSystem(fd) : -1;
  }
  int Close(int fd) const override {
    // The descriptor is closed all the same, as the system does when close reports an error.
    const int closed = SystemCalls::Close(fd);
    return Check(Call::kClose) ? closed : -1;
  }
  int LinkAt(int from_dir, const char* from, int to_dir, const char* to, int flags) const override {
    return Check(Call::kLinkAt) ? SystemCalls::LinkAt(from_dir, from, to_dir, to, flags) : -1;
  }
  int RenameAt(int from_dir, const char* from, int to_dir, const char* to) const override {
    return Check(Call::kRenameAt) ? SystemCalls::RenameAt(from_dir, from, to_dir, to) : -1;
  }
  int RenameNoReplace(int from_dir, const char* from, int to_dir, const char* to) const override {
    return Check(Call::kRenameNoReplace, to)
               ? SystemCalls::RenameNoReplace(from_dir, from, to_dir, to)
               : -1;
  }
  int UnlinkAt(int dir, const char* path, int flags) const override {
    return Check(Call::kUnlinkAt, path) ? SystemCalls::UnlinkAt(dir, path, flags) : -1;
  }
  int AccessAt(int dir, const char* path, int mode, int flags) const override {
    return Check(Call::kAccessAt, path) ? SystemCalls::AccessAt(dir, path, mode, flags) : -1;
  }
  int ChangeOwner(int fd, uid_t owner, gid_t group) const override {
    return Check(Call::kChangeOwner) ? SystemCalls::ChangeOwner(fd, owner, group) : -1;
  }
  int ChangeMode(int fd, mode_t mode) const override {
    return Check(Call::kChangeMode) ? SystemCalls::ChangeMode(fd, mode) : -1;
  }
  ssize_t GetAttribute(int fd, const char* name, void* value, std::size_t size) const override {
    return Check(Call::kGetAttribute, name) ? SystemCalls::GetAttribute(fd, name, value, size) : -1;
  }
  int SetAttribute(int fd, const char* name, const void* value, std::size_t size) const override {
    return Check(Call::kSetAttribute, name) ? SystemCalls::SetAttribute(fd, name, value, size) : -1;
  }
  int RemoveAttribute(int fd, const char* name) const override {
    return Check(Call::kRemoveAttribute, name) ? SystemCalls::RemoveAttribute(fd, name) : -1;
  }
  ssize_t ListAttributes(int fd, char* names, std::size_t size) const override {
    return Check(Call::kListAttributes) ? SystemCalls::ListAttributes(fd, names, size) : -1;
  }
  int WatchInit(int flags) const override {
    return Check(Call::kWatchInit) ? SystemCalls::WatchInit(flags) : -1;
  }
  int AddWatch(int inotify, const char* path, std::uint32_t mask) const override {
    return Check(Call::kAddWatch) ? SystemCalls::AddWatch(inotify, path, mask) : -1;
  }

 private:
  struct Armed {
    explicit Armed(Rule armed) : rule(std::move(armed)) {}
    Rule rule;
    mutable std::atomic<int> seen{0};
  };

  // Whether the call goes ahead; otherwise errno is set to the failing rule's error.
  bool Check(Call call, const char* path = nullptr, int flags = 0) const {
    for (const Armed& armed : rules_) {
      const Rule& rule = armed.rule;
      if (rule.call != call || (!rule.path.empty() && (path == nullptr || rule.path != path)) ||
          (flags & rule.all_flags) != rule.all_flags) {
        continue;
      }
      if (armed.seen.fetch_add(1) + 1 == rule.nth) {
        errno = rule.error;
        return false;
      }
    }
    return true;
  }

  std::deque<Armed> rules_;  // a deque: the counters never move
};

}  // namespace quorvane::testing
