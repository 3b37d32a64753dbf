#include "bench/bench_folder.h"

#include <fcntl.h>     // open
#include <unistd.h>    // ftruncate, close
#include <cstdio>      // std::perror
#include <cstdlib>     // std::getenv, std::exit, std::atexit, mkdtemp
#include <filesystem>  // std::filesystem::remove_all
#include <map>         // std::map

namespace quorvane::bench {
namespace {

std::map<int, std::string>& Made() {
  static std::map<int, std::string> made;
  return made;
}

void RemoveAll() {
  for (const auto& [count, folder] : Made()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
}

}  // namespace

const std::string& FolderOf(int count) {
  static std::map<int, std::string> kept;
  // The folders scripts/bench keeps, where they are complete: the same files as its runs.
  if (const char* base = std::getenv("QUORVANE_BENCH_DIR"); base != nullptr) {
    const std::string folder = std::string(base) + "/files_" + std::to_string(count);
    if (std::filesystem::exists(folder + ".done")) {
      return kept[count] = folder;
    }
  }
  std::string& path = Made()[count];
  if (!path.empty()) {
    return path;
  }
  const char* base = std::getenv("QUORVANE_BENCH_DIR");
  if (base == nullptr) base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/quorvane-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  static const bool removed_at_exit = std::atexit(RemoveAll) == 0;
  static_cast<void>(removed_at_exit);
  static const char* const kExtensions[] = {".jpg", ".TXT", ".png", ".tar.gz", ".html"};
  for (int i = 0; i < count; ++i) {
    const std::string name = pattern + "/" + (i % 2 == 0 ? "Photo " : "note_") +
                             std::to_string(i * 7919 % count) + kExtensions[i % 5];
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, i % 4096 * 1000) != 0) {
      std::perror(name.c_str());
      std::exit(1);
    }
    close(fd);
  }
  path = pattern;
  return path;
}

}  // namespace quorvane::bench
