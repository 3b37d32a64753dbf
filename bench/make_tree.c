// make_tree: a tree of folders for the benchmarks: TOP folders, each holding SUB folders, every
// one of those holding FILES small files (0 to 5 KB, sparse) with dates spread over some twenty
// years. The same arguments always give the same tree, and running it again over a half-made
// tree finishes the job.
//
// Usage: make_tree TREE TOP SUB FILES   (scripts/bench: make_tree TREE 20 1000 5)

#define _GNU_SOURCE
#include <errno.h>     // errno, EEXIST
#include <fcntl.h>     // open, openat, O_*
#include <stdint.h>    // uint64_t
#include <stdio.h>     // snprintf, fprintf
#include <stdlib.h>    // strtol
#include <string.h>    // strerror
#include <sys/stat.h>  // mkdirat, futimens
#include <unistd.h>    // ftruncate, close

static uint64_t Mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

static int Fail(const char* what, const char* name) {
  fprintf(stderr, "make_tree: cannot %s %s: %s\n", what, name, strerror(errno));
  return 1;
}

// Makes the folder `name` in `dir_fd` (or finds it made) and opens it.
static int Folder(int dir_fd, const char* name) {
  if (mkdirat(dir_fd, name, 0755) != 0 && errno != EEXIST) return -1;
  return openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

static int Files(int dir_fd, uint64_t seed, long files) {
  const long long kLatest = 1767225600;  // 2026-01-01
  const long long kTwentyYears = 20LL * 365 * 24 * 3600;
  for (long i = 0; i < files; ++i) {
    const uint64_t hash = Mix(seed ^ Mix((uint64_t)i));
    char name[32];
    snprintf(name, sizeof name, "file_%ld_%08x.%s", i, (unsigned)(hash >> 32),
             hash % 3 == 0 ? "txt" : "jpg");
    const int fd = openat(dir_fd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("create", name);
    const struct timespec times[2] = {
        {.tv_sec = 0, .tv_nsec = UTIME_OMIT},
        {.tv_sec = (time_t)(kLatest - (long long)(Mix(hash) % (uint64_t)kTwentyYears)),
         .tv_nsec = 0},
    };
    if (ftruncate(fd, (off_t)(hash % 5121)) != 0 || futimens(fd, times) != 0 || close(fd) != 0) {
      return Fail("write", name);
    }
  }
  return 0;
}

static int Number(const char* text, long* value) {
  char* end = NULL;
  errno = 0;
  *value = strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && *value >= 0 && *value <= 100000;
}

int main(int argc, char** argv) {
  long top = 0, sub = 0, files = 0;
  if (argc != 5 || !Number(argv[2], &top) || !Number(argv[3], &sub) || !Number(argv[4], &files)) {
    fputs("Usage: make_tree TREE TOP SUB FILES\n", stderr);
    return 2;
  }
  const int tree = Folder(AT_FDCWD, argv[1]);
  if (tree < 0) return Fail("make", argv[1]);
  for (long t = 0; t < top; ++t) {
    char name[32];
    snprintf(name, sizeof name, "part_%02ld", t);
    const int part = Folder(tree, name);
    if (part < 0) return Fail("make", name);
    for (long s = 0; s < sub; ++s) {
      char leaf_name[32];
      snprintf(leaf_name, sizeof leaf_name, "folder_%04ld", s);
      const int leaf = Folder(part, leaf_name);
      if (leaf < 0) return Fail("make", leaf_name);
      if (Files(leaf, (uint64_t)(t * 100000 + s), files) != 0) return 1;
      close(leaf);
    }
    close(part);
  }
  close(tree);
  return 0;
}
