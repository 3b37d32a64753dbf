// make_folder: fills a folder with COUNT regular files for the benchmarks, quickly enough for a
// million. Names look like file_0012345_1a2b3c4d.jpg: a sequence number and eight hex digits
// from a seeded hash, mostly pictures so that the image lines are exercised. Sizes run from 0 to
// 5 KB (sparse) and dates spread over some twenty years. The same COUNT and SEED always give the
// same names, sizes and dates, and running it again over a half-made folder finishes the job.
// With --tree it makes TOP folders of SUB folders each, every one of those holding FILES such
// files: the tree a walk down a published tree is measured on.
//
// Usage: make_folder FOLDER COUNT [SEED]
//        make_folder --tree TREE TOP SUB FILES   (scripts/bench: --tree TREE 20 1000 5)

#define _GNU_SOURCE
#include <errno.h>     // errno, EEXIST
#include <fcntl.h>     // open, openat, O_*
#include <stdint.h>    // uint64_t
#include <stdio.h>     // snprintf, fprintf
#include <stdlib.h>    // strtoll, strtoull
#include <string.h>    // strcmp, strerror
#include <sys/stat.h>  // mkdirat, futimens
#include <unistd.h>    // ftruncate, close

// splitmix64: cheap, well mixed, and the same everywhere.
static uint64_t Mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// Out of 100: 60 .jpg, 20 .png, 5 .gif, then a few that get no image.
static const char* Extension(uint64_t hash) {
  const unsigned slot = (unsigned)(hash % 100);
  if (slot < 60) return ".jpg";
  if (slot < 80) return ".png";
  if (slot < 85) return ".gif";
  if (slot < 90) return ".txt";
  if (slot < 95) return ".pdf";
  return ".tar.gz";
}

static int Fail(const char* what, const char* name) {
  fprintf(stderr, "make_folder: cannot %s %s: %s\n", what, name, strerror(errno));
  return 1;
}

static int ParseCount(const char* text, long long* value) {
  char* end = NULL;
  errno = 0;
  *value = strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && *value >= 0 && *value <= 9999999;
}

// Makes the folder `name` in `dir_fd` (or finds it made) and opens it; -1 when it cannot.
static int OpenFolder(int dir_fd, const char* name) {
  if (mkdirat(dir_fd, name, 0755) != 0 && errno != EEXIST) return -1;
  return openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Fills the open folder `folder_fd` with `count` files whose names, sizes and dates `seed` picks.
static int MakeFiles(int folder_fd, long long count, uint64_t seed) {
  const long long kTwentyYears = 20LL * 365 * 24 * 3600;
  const long long kLatest = 1767225600;  // 2026-01-01, so that the folder is the same every year
  for (long long i = 0; i < count; ++i) {
    const uint64_t hash = Mix(seed ^ Mix((uint64_t)i));
    char name[64];
    snprintf(name, sizeof name, "file_%07lld_%08x%s", i, (unsigned)(hash >> 32), Extension(hash));
    const int fd = openat(folder_fd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("create", name);
    const uint64_t size_hash = Mix(hash);
    const uint64_t date_hash = Mix(size_hash);
    const off_t size = (off_t)(size_hash % 5121);
    const struct timespec times[2] = {
        {.tv_sec = 0, .tv_nsec = UTIME_OMIT},
        {.tv_sec = (time_t)(kLatest - (long long)(date_hash % (uint64_t)kTwentyYears)),
         .tv_nsec = 0},
    };
    if (ftruncate(fd, size) != 0 || futimens(fd, times) != 0 || close(fd) != 0) {
      return Fail("write", name);
    }
  }
  return 0;
}

static int MakeTree(const char* path, long long top, long long sub, long long files) {
  const int tree = OpenFolder(AT_FDCWD, path);
  if (tree < 0) return Fail("make", path);
  for (long long t = 0; t < top; ++t) {
    char name[32];
    snprintf(name, sizeof name, "part_%02lld", t);
    const int part = OpenFolder(tree, name);
    if (part < 0) return Fail("make", name);
    for (long long s = 0; s < sub; ++s) {
      snprintf(name, sizeof name, "folder_%04lld", s);
      const int leaf = OpenFolder(part, name);
      if (leaf < 0) return Fail("make", name);
      if (MakeFiles(leaf, files, (uint64_t)(t * 100000 + s)) != 0) return 1;
      close(leaf);
    }
    close(part);
  }
  close(tree);
  return 0;
}

int main(int argc, char** argv) {
  long long count = 0;
  if (argc == 6 && strcmp(argv[1], "--tree") == 0) {
    long long top = 0, sub = 0;
    if (ParseCount(argv[3], &top) && ParseCount(argv[4], &sub) && ParseCount(argv[5], &count)) {
      return MakeTree(argv[2], top, sub, count);
    }
  } else if (argc >= 3 && argc <= 4 && ParseCount(argv[2], &count)) {
    const uint64_t seed = argc == 4 ? strtoull(argv[3], NULL, 0) : 1;
    const int folder_fd = OpenFolder(AT_FDCWD, argv[1]);
    if (folder_fd < 0) return Fail("make", argv[1]);
    const int made = MakeFiles(folder_fd, count, seed);
    close(folder_fd);
    return made;
  }
  fputs(
      "Usage: make_folder FOLDER COUNT [SEED]   (COUNT up to 9999999)\n"
      "       make_folder --tree TREE TOP SUB FILES\n",
      stderr);
  return 2;
}
