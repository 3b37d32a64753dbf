// floor_threads: the floor (floor.c) as a program with two cores would do it, for a yardstick
// that uses what quorvane-index uses. It reads all the folder's names first, then two threads
// ask for each entry's status and format its line, a block of names at a time, while the main
// thread writes the blocks in order through stdio. No sorting, no escaping, no page around.
//
// Usage: floor_threads FOLDER [OUTPUT]   (OUTPUT defaults to FOLDER/floor_index.txt)

#define _GNU_SOURCE
#include <dirent.h>    // fdopendir, readdir, closedir
#include <errno.h>     // errno, ENOENT
#include <fcntl.h>     // open, openat, O_*
#include <locale.h>    // setlocale
#include <pthread.h>   // pthread_*
#include <stdio.h>     // fdopen, fprintf, fwrite, fclose
#include <stdlib.h>    // malloc, realloc, free
#include <string.h>    // strcmp, strerror, strlen, memcpy
#include <sys/stat.h>  // fstatat
#include <time.h>      // localtime_r, strftime
#include <unistd.h>    // close

enum { kBlock = 256, kRing = 64, kThreads = 2, kLineMax = 512 };

static const char kDefaultOutput[] = "floor_index.txt";

struct Names {
  char* bytes;     // the names one after another, each ending in a NUL
  size_t* starts;  // where each begins in bytes
  size_t count, used, capacity, starts_capacity;
};

struct Slot {
  char* text;  // the block's lines
  size_t size;
  long block;  // the block the slot holds, -1 while it is being filled
  int failed;
};

static struct Names names;
static struct Slot ring[kRing];
static long blocks;
static long next_block;   // the next block for a thread to take
static long written = 0;  // blocks the main thread has written
static int folder_fd;
static pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;

static int Fail(const char* what, const char* name) {
  fprintf(stderr, "floor_threads: %s %s: %s\n", what, name, strerror(errno));
  return 1;
}

static int AddName(const char* name) {
  const size_t length = strlen(name) + 1;
  if (names.used + length > names.capacity) {
    names.capacity = (names.capacity + length) * 2;
    names.bytes = realloc(names.bytes, names.capacity);
  }
  if (names.count == names.starts_capacity) {
    names.starts_capacity = names.starts_capacity * 2 + 1024;
    names.starts = realloc(names.starts, names.starts_capacity * sizeof *names.starts);
  }
  if (names.bytes == NULL || names.starts == NULL) return 0;
  memcpy(names.bytes + names.used, name, length);
  names.starts[names.count++] = names.used;
  names.used += length;
  return 1;
}

// Formats the lines of `block` into its slot; 0 when a status or a date fails.
static int FormatBlock(long block, struct Slot* slot) {
  const size_t first = (size_t)block * kBlock;
  const size_t end = first + kBlock < names.count ? first + kBlock : names.count;
  slot->size = 0;
  for (size_t i = first; i < end; ++i) {
    const char* name = names.bytes + names.starts[i];
    struct stat status;
    if (fstatat(folder_fd, name, &status, 0) != 0 &&
        (errno != ENOENT || fstatat(folder_fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)) {
      return 0;
    }
    struct tm local;
    char date[128];
    if (localtime_r(&status.st_mtim.tv_sec, &local) == NULL ||
        strftime(date, sizeof date, "%x %X", &local) == 0) {
      return 0;
    }
    long long kilobytes = (long long)(status.st_size / 1024);
    if (kilobytes < 1) kilobytes = 1;
    const int length =
        snprintf(slot->text + slot->size, kLineMax, "%s (%s, %lldk)\n", name, date, kilobytes);
    if (length < 0 || length >= kLineMax) return 0;
    slot->size += (size_t)length;
  }
  return 1;
}

static void* Work(void* unused) {
  (void)unused;
  pthread_mutex_lock(&mutex);
  for (;;) {
    const long block = next_block++;
    if (block >= blocks) break;
    // The ring slot is free once the main thread has written the block that held it.
    while (block >= written + kRing) pthread_cond_wait(&changed, &mutex);
    struct Slot* slot = &ring[block % kRing];
    pthread_mutex_unlock(&mutex);
    const int ok = FormatBlock(block, slot);
    pthread_mutex_lock(&mutex);
    slot->failed = !ok;
    slot->block = block;
    pthread_cond_broadcast(&changed);
  }
  pthread_mutex_unlock(&mutex);
  return NULL;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fputs("Usage: floor_threads FOLDER [OUTPUT]\n", stderr);
    return 2;
  }
  setlocale(LC_ALL, "");
  folder_fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return Fail("cannot open", argv[1]);
  const int out_fd =
      argc == 3 ? open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                : openat(folder_fd, kDefaultOutput, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const char* out_name = argc == 3 ? argv[2] : kDefaultOutput;
  FILE* out = out_fd < 0 ? NULL : fdopen(out_fd, "w");
  if (out == NULL) return Fail("cannot create", out_name);

  DIR* folder = fdopendir(dup(folder_fd));
  if (folder == NULL) return Fail("cannot read", argv[1]);
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(folder);
    if (entry == NULL) {
      if (errno != 0) return Fail("cannot read", argv[1]);
      break;
    }
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    if (!AddName(entry->d_name)) return Fail("out of memory reading", argv[1]);
  }
  closedir(folder);

  blocks = (long)((names.count + kBlock - 1) / kBlock);
  for (int i = 0; i < kRing; ++i) {
    ring[i].text = malloc((size_t)kBlock * kLineMax);
    ring[i].block = -1;
    if (ring[i].text == NULL) return Fail("out of memory for", argv[1]);
  }
  pthread_t threads[kThreads];
  for (int i = 0; i < kThreads; ++i) pthread_create(&threads[i], NULL, Work, NULL);
  int failed = 0;
  for (long block = 0; block < blocks && !failed; ++block) {
    struct Slot* slot = &ring[block % kRing];
    pthread_mutex_lock(&mutex);
    while (slot->block != block) pthread_cond_wait(&changed, &mutex);
    pthread_mutex_unlock(&mutex);
    failed = slot->failed || fwrite(slot->text, 1, slot->size, out) != slot->size;
    pthread_mutex_lock(&mutex);
    written = block + 1;
    pthread_cond_broadcast(&changed);
    pthread_mutex_unlock(&mutex);
  }
  if (failed) {
    // Let the threads finish what they hold; they take no more.
    pthread_mutex_lock(&mutex);
    next_block = blocks;
    written = blocks;
    pthread_cond_broadcast(&changed);
    pthread_mutex_unlock(&mutex);
  }
  for (int i = 0; i < kThreads; ++i) pthread_join(threads[i], NULL);
  if (failed) return Fail("cannot stat, format or write an entry of", argv[1]);
  if (fclose(out) != 0) return Fail("cannot write", out_name);
  printf("%zu entries\n", names.count);
  return 0;
}
