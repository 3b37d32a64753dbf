#include "platform/volumes.h"

#include <algorithm>  // std::equal, std::max, std::min, std::none_of

namespace quorvane::platform {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A path that starts as Windows names them: "C:\" or "\\server\share".
bool IsWindowsPath(std::string_view path) {
  return (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' &&
          (path[2] == '\\' || path[2] == '/')) ||
         path.substr(0, 2) == "\\\\";
}

bool IsSeparator(char c, bool windows) { return c == '/' || (windows && c == '\\'); }

// A Windows path's character as it compares: either separator, and either case of a letter.
char Folded(char c) {
  if (c == '/') {
    return '\\';
  }
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows tells no letter case apart in its paths, so neither do its drives and shares here.
bool SameNames(std::string_view a, std::string_view b, bool windows) {
  if (!windows) {
    return a == b;
  }
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Folded(x) == Folded(y); });
}

// Where the name that starts at `from` ends.
std::size_t NameEnd(std::string_view path, std::size_t from) {
  while (from < path.size() && !IsSeparator(path[from], true)) {
    ++from;
  }
  return from;
}

}  // namespace

std::size_t RootLength(std::string_view path) {
  if (!IsWindowsPath(path)) {
    return !path.empty() && path.front() == '/' ? 1 : 0;
  }
  if (path[0] != '\\') {
    return 3;
  }
  const std::size_t server_end = NameEnd(path, 2);
  if (server_end == 2 || server_end == path.size()) {
    return 0;  // "\\" or "\\server" alone names no share
  }
  const std::size_t share_end = NameEnd(path, server_end + 1);
  if (share_end == server_end + 1) {
    return 0;
  }
  return std::min(share_end + 1, path.size());
}

std::string WithoutTrailingSeparator(std::string_view path) {
  const bool windows = IsWindowsPath(path);
  const std::size_t root = RootLength(path);
  std::string folder(path);
  while (folder.size() > std::max<std::size_t>(root, 1) && IsSeparator(folder.back(), windows)) {
    folder.pop_back();
  }
  if (root > 0 && folder.size() == root && !IsSeparator(folder.back(), windows)) {
    folder += '\\';  // a share's root, as its drives' roots are written
  }
  return folder;
}

std::string ParentFolder(std::string_view folder) {
  const bool windows = IsWindowsPath(folder);
  const std::size_t root = RootLength(folder);
  std::size_t end = folder.size();
  while (end > root && !IsSeparator(folder[end - 1], windows)) {
    --end;
  }
  while (end > root && IsSeparator(folder[end - 1], windows)) {
    --end;
  }
  return std::string(folder.substr(0, std::max(end, root)));
}

bool Holds(std::string_view folder, std::string_view path) {
  const bool windows = IsWindowsPath(folder);
  if (folder.size() > path.size() || !SameNames(folder, path.substr(0, folder.size()), windows)) {
    return false;
  }
  return path.size() == folder.size() || (!folder.empty() && IsSeparator(folder.back(), windows)) ||
         IsSeparator(path[folder.size()], windows);
}

void AddRootWhereMissing(std::vector<Volume>& volumes) {
  // Each of Windows' drives is a top of its own; only a system with one root has it to add.
  if (std::none_of(volumes.begin(), volumes.end(), [](const Volume& volume) {
        return volume.mount_point == "/" || IsWindowsPath(volume.mount_point);
      })) {
    volumes.push_back(Volume{"/", {}, {}, {}});
  }
}

void AddShareHolding(std::vector<Volume>& volumes, std::string_view path) {
  const std::size_t root = RootLength(path);
  if (root > 2 && path.substr(0, 2) == "\\\\" && VolumeHolding(volumes, path) == volumes.size()) {
    volumes.push_back(Volume{WithoutTrailingSeparator(path.substr(0, root)), {}, {}, {}});
  }
}

std::size_t VolumeHolding(const std::vector<Volume>& volumes, std::string_view path) {
  std::size_t holder = volumes.size();
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    if (Holds(volumes[i].mount_point, path) &&
        (holder == volumes.size() ||
         volumes[i].mount_point.size() > volumes[holder].mount_point.size())) {
      holder = i;
    }
  }
  return holder;
}

}  // namespace quorvane::platform
