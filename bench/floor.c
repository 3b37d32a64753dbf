// floor: the least work any program must do to index one folder, as a yardstick for
// quorvane-index. It reads the folder's entries, asks for each entry's status once (relative to
// the open folder, following symlinks), formats its date in the user's locale and writes one
// plain line per entry through stdio. No sorting, no escaping, no page around the lines.
//
// Usage: floor FOLDER [OUTPUT]   (OUTPUT defaults to FOLDER/floor_index.txt)

#define _GNU_SOURCE
#include <dirent.h>    // fdopendir, readdir, closedir
#include <errno.h>     // errno, ENOENT
#include <fcntl.h>     // open, openat, O_*
#include <locale.h>    // setlocale
#include <stdio.h>     // fdopen, fprintf, fclose
#include <string.h>    // strcmp, strerror
#include <sys/stat.h>  // fstatat
#include <time.h>      // localtime_r, strftime
#include <unistd.h>    // close

static const char kDefaultOutput[] = "floor_index.txt";

static int Fail(const char* what, const char* name) {
  fprintf(stderr, "floor: %s %s: %s\n", what, name, strerror(errno));
  return 1;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fputs("Usage: floor FOLDER [OUTPUT]\n", stderr);
    return 2;
  }
  setlocale(LC_ALL, "");
  const char* folder_path = argv[1];

  const int folder_fd = open(folder_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return Fail("cannot open", folder_path);

  // Relative OUTPUT paths mean the same as they would to any other program: from the current
  // folder, not from FOLDER.
  const int out_fd =
      argc == 3 ? open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                : openat(folder_fd, kDefaultOutput, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const char* out_name = argc == 3 ? argv[2] : kDefaultOutput;
  if (out_fd < 0) return Fail("cannot create", out_name);
  FILE* out = fdopen(out_fd, "w");
  if (out == NULL) return Fail("cannot create", out_name);

  // fdopendir takes over folder_fd; fstatat keeps using it, which is allowed while the stream
  // is open.
  DIR* folder = fdopendir(folder_fd);
  if (folder == NULL) return Fail("cannot read", folder_path);

  long long count = 0;
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(folder);
    if (entry == NULL) {
      if (errno != 0) return Fail("cannot read", folder_path);
      break;
    }
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;

    struct stat status;
    if (fstatat(folder_fd, name, &status, 0) != 0) {
      // A dangling symlink still has a date and size of its own.
      if (errno != ENOENT || fstatat(folder_fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail("cannot read the status of", name);
      }
    }

    struct tm local;
    char date[128];
    if (localtime_r(&status.st_mtim.tv_sec, &local) == NULL ||
        strftime(date, sizeof date, "%x %X", &local) == 0) {
      fprintf(stderr, "floor: cannot format the date of %s\n", name);
      return 1;
    }
    long long kilobytes = (long long)(status.st_size / 1024);
    if (kilobytes < 1) kilobytes = 1;
    if (fprintf(out, "%s (%s, %lldk)\n", name, date, kilobytes) < 0) {
      return Fail("cannot write", out_name);
    }
    ++count;
  }
  closedir(folder);

  if (fclose(out) != 0) return Fail("cannot write", out_name);
  printf("%lld entries\n", count);
  return 0;
}
