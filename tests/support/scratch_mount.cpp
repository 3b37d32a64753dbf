#include "tests/support/scratch_mount.h"

#include <sched.h>      // unshare
#include <sys/mount.h>  // mount, umount2
#include <unistd.h>     // access
#include <cerrno>       // errno
#include <cstdio>       // popen
#include <cstdlib>      // std::system
#include <cstring>      // std::strerror

namespace quorvane::testing {
namespace {

// Makes the process's mounts its own, once; returns why not, or an empty text.
std::string MakeMountsPrivate() {
  static const std::string failure = []() -> std::string {
    if (unshare(CLONE_NEWNS) != 0) {
      return std::string("cannot make a mount namespace of its own: ") + std::strerror(errno);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("cannot make the mounts private: ") + std::strerror(errno);
    }
    return {};
  }();
  return failure;
}

std::string Missing(std::initializer_list<const char*> programs) {
  for (const char* program : programs) {
    if (access(program, X_OK) != 0) {
      return std::string(program) + " is missing (scripts/setup installs it)";
    }
  }
  return {};
}

}  // namespace

ScratchMount::ScratchMount(Kind kind) : mount_point_(scratch_.AddFolder("mount")) {
  if (geteuid() != 0) {
    unavailable_ = "mounting needs root";
  } else if (kind != Kind::kTmpfs && access("/dev/fuse", R_OK | W_OK) != 0) {
    unavailable_ = "the kernel offers no FUSE (/dev/fuse)";
  } else {
    unavailable_ = MakeMountsPrivate();
  }
  if (unavailable_.empty()) {
    Mount(kind);
  }
}

ScratchMount::~ScratchMount() {
  // The FUSE daemon ends once its file system is unmounted.
  if (mounted_ && umount2(mount_point_.c_str(), 0) != 0) {
    umount2(mount_point_.c_str(), MNT_DETACH);
  }
  if (!loop_device_.empty()) {
    Run("losetup -d " + loop_device_, "");
  }
}

const char* ScratchMount::Name(Kind kind) {
  switch (kind) {
    case Kind::kTmpfs:
      return "tmpfs";
    case Kind::kExfat:
      return "exFAT";
    case Kind::kFat:
      return "FAT";
  }
  return "";
}

void ScratchMount::Mount(Kind kind) {
  const std::string image = scratch_ / "image";
  if (kind == Kind::kTmpfs) {
    mounted_ = mount("tmpfs", mount_point_.c_str(), "tmpfs", 0, "size=64m") == 0;
    unavailable_ = mounted_ ? "" : std::string("cannot mount tmpfs: ") + std::strerror(errno);
    return;
  }
  if (kind == Kind::kFat) {
    unavailable_ = Missing({"/usr/sbin/mkfs.fat", "/usr/bin/fusefat"});
    mounted_ = unavailable_.empty() &&
               Run("mkfs.fat -C -F 32 " + image + " 65536", "mkfs.fat failed") &&
               Run("fusefat -o rw+ " + image + " " + mount_point_, "fusefat failed");
    return;
  }
  unavailable_ = Missing({"/usr/sbin/mkfs.exfat", "/usr/sbin/mount.exfat-fuse"});
  if (!unavailable_.empty() ||
      !Run("truncate -s 64M " + image + " && mkfs.exfat " + image, "mkfs.exfat failed")) {
    return;
  }
  // exfat-fuse mounts only block devices when run as root.
  if (FILE* losetup = popen(("losetup -f --show " + image + " 2>/dev/null").c_str(), "r")) {
    char device[256] = {};
    if (std::fgets(device, sizeof device, losetup) != nullptr) {
      loop_device_ = std::string(device, std::strcspn(device, "\n"));
    }
    pclose(losetup);
  }
  if (loop_device_.empty()) {
    unavailable_ = "no loop device for the exFAT image (losetup failed)";
    return;
  }
  mounted_ = Run("mount.exfat-fuse " + loop_device_ + " " + mount_point_, "exfat-fuse failed");
}

bool ScratchMount::Run(const std::string& command, const std::string& failure) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) == 0) {
    return true;
  }
  if (unavailable_.empty()) {
    unavailable_ = failure + ": " + command;
  }
  return false;
}

}  // namespace quorvane::testing
