#include "tests/support/temp_folder.h"

#include <fcntl.h>     // open
#include <sys/stat.h>  // lstat, mkdir, utimensat
#include <unistd.h>    // ftruncate, close
#include <algorithm>   // std::sort
#include <cstdio>      // rename
#include <cstdlib>     // std::getenv, mkdtemp
#include <filesystem>  // std::filesystem::remove_all
#include <fstream>     // std::ofstream
#include <stdexcept>   // std::runtime_error
#include <system_error>

namespace quorvane::testing {

TempFolder::TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quorvane-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code failed;
  std::filesystem::remove_all(path_, failed);
  if (failed) {
    // Deeper than a path the system takes in one call: rm goes down name by name.
    std::system(("rm -rf '" + path_ + "'").c_str());
  }
}

std::string TempFolder::operator/(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string TempFolder::AddFile(std::string_view name, std::int64_t size,
                                std::time_t modified) const {
  const std::string path = *this / name;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot create " + path);
  }
  const int sized = ftruncate(fd, size);
  const int error = errno;
  close(fd);
  if (sized != 0) {
    throw std::system_error(error, std::generic_category(), "cannot size " + path);
  }
  if (modified != 0) {
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
      throw std::system_error(errno, std::generic_category(), "cannot date " + path);
    }
  }
  return path;
}

std::string TempFolder::AddFolder(std::string_view name) const {
  const std::string path = *this / name;
  if (mkdir(path.c_str(), 0755) != 0) {
    throw std::system_error(errno, std::generic_category(), "cannot create " + path);
  }
  return path;
}

std::string TempFolder::AddDeepFolder(std::size_t length,
                                      const std::vector<std::string>& files) const {
  const std::string name(200, 'd');
  std::string deep = path_;
  int fd = open(deep.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  const auto fail = [&] {
    const int error = errno;
    close(fd);
    throw std::system_error(error, std::generic_category(), "cannot make " + deep);
  };
  while (deep.size() <= length) {
    if (mkdirat(fd, name.c_str(), 0755) != 0) {
      fail();
    }
    const int next = openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
    deep += "/" + name;
  }
  for (const std::string& file : files) {
    const int made = openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (made < 0) {
      fail();
    }
    close(made);
  }
  close(fd);
  return deep;
}

std::string ReadFile(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return text;
  }
  char buffer[65536];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return text;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> Entries(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path);
  }
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool Rename(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace quorvane::testing
