// make_folder: fills a folder with COUNT regular files for the benchmarks, quickly enough for a
// million. Names look like file_0012345_1a2b3c4d.jpg: a sequence number and eight hex digits
// from a seeded hash, mostly pictures so that the image lines are exercised. Sizes run from 0 to
// 5 KB (sparse) and dates spread over some twenty years. The same COUNT and SEED always give the
// same names, sizes and dates, and running it again over a half-made folder finishes the job.
//
// Usage: make_folder FOLDER COUNT [SEED]

#define _GNU_SOURCE
#include <errno.h>     // errno, EEXIST
#include <fcntl.h>     // open, openat, O_*
#include <stdint.h>    // uint64_t
#include <stdio.h>     // snprintf, fprintf
#include <stdlib.h>    // strtoll, strtoull
#include <string.h>    // strerror
#include <sys/stat.h>  // mkdir, futimens
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

static int ParseCount(const char* text, long long* value) {
  char* end = NULL;
  errno = 0;
  *value = strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && *value >= 0 && *value <= 9999999;
}

int main(int argc, char** argv) {
  long long count = 0;
  if (argc < 3 || argc > 4 || !ParseCount(argv[2], &count)) {
    fputs("Usage: make_folder FOLDER COUNT [SEED]   (COUNT up to 9999999)\n", stderr);
    return 2;
  }
  const uint64_t seed = argc == 4 ? strtoull(argv[3], NULL, 0) : 1;
  const char* folder_path = argv[1];

  if (mkdir(folder_path, 0755) != 0 && errno != EEXIST) {
    fprintf(stderr, "make_folder: cannot make %s: %s\n", folder_path, strerror(errno));
    return 1;
  }
  const int folder_fd = open(folder_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) {
    fprintf(stderr, "make_folder: cannot open %s: %s\n", folder_path, strerror(errno));
    return 1;
  }

  const long long kTwentyYears = 20LL * 365 * 24 * 3600;
  const long long kLatest = 1767225600;  // 2026-01-01, so that the folder is the same every year
  for (long long i = 0; i < count; ++i) {
    const uint64_t hash = Mix(seed ^ Mix((uint64_t)i));
    char name[64];
    snprintf(name, sizeof name, "file_%07lld_%08x%s", i, (unsigned)(hash >> 32), Extension(hash));
    const int fd = openat(folder_fd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      fprintf(stderr, "make_folder: cannot create %s: %s\n", name, strerror(errno));
      return 1;
    }
    const uint64_t size_hash = Mix(hash);
    const uint64_t date_hash = Mix(size_hash);
    const off_t size = (off_t)(size_hash % 5121);
    const struct timespec times[2] = {
        {.tv_sec = 0, .tv_nsec = UTIME_OMIT},
        {.tv_sec = (time_t)(kLatest - (long long)(date_hash % (uint64_t)kTwentyYears)),
         .tv_nsec = 0},
    };
    if (ftruncate(fd, size) != 0 || futimens(fd, times) != 0) {
      fprintf(stderr, "make_folder: cannot write %s: %s\n", name, strerror(errno));
      return 1;
    }
    if (close(fd) != 0) {
      fprintf(stderr, "make_folder: cannot write %s: %s\n", name, strerror(errno));
      return 1;
    }
  }
  close(folder_fd);
  return 0;
}
