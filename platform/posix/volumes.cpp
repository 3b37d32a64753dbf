#include "platform/volumes.h"

#include <sys/stat.h>  // stat
#include <algorithm>   // std::sort, std::remove_if
#include <cstdlib>     // realpath, std::free
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <memory>      // std::unique_ptr
#include <utility>     // std::move

#include "platform/system_file_system.h"

namespace quorvane::platform {
namespace {

// File systems that show the kernel's state rather than hold anyone's folders.
constexpr std::string_view kPseudoTypes[] = {
    "autofs", "binfmt_misc", "bpf",        "cgroup",     "cgroup2",   "configfs", "debugfs",
    "devpts", "devtmpfs",    "efivarfs",   "fusectl",    "hugetlbfs", "mqueue",   "nsfs",
    "proc",   "pstore",      "rpc_pipefs", "securityfs", "selinuxfs", "sysfs",    "tracefs"};

// Trees of device nodes and kernel interfaces: what is mounted there is no user's volume.
constexpr std::string_view kKernelTrees[] = {"/proc", "/sys", "/dev"};

bool IsPseudoType(std::string_view type) {
  return std::find(std::begin(kPseudoTypes), std::end(kPseudoTypes), type) !=
         std::end(kPseudoTypes);
}

bool InKernelTree(std::string_view mount_point) {
  return std::any_of(std::begin(kKernelTrees), std::end(kKernelTrees),
                     [&](std::string_view tree) { return Holds(tree, mount_point); });
}

// The mount table writes space, tab, newline and backslash in a field as \ and three octal
// digits.
std::string DecodeOctalEscapes(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && field.size() - i > 3) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                 (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// udev writes the bytes of a label that are unsafe in a file name as \x and two hex digits.
std::string DecodeHexEscapes(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && name.size() - i > 3 && name[i + 1] == 'x') {
      const int high = HexValue(name[i + 2]);
      const int low = HexValue(name[i + 3]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>((high << 4) | low);
        i += 3;
        continue;
      }
    }
    out += name[i];
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    if (end > start) {
      fields.push_back(line.substr(start, end - start));
    }
    start = end + 1;
  }
  return fields;
}

// The path `path` leads to with every symlink resolved; `path` itself when it cannot be resolved.
std::string Resolved(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                             &std::free);
  return resolved ? std::string(resolved.get()) : path;
}

}  // namespace

SystemVolumeSource::SystemVolumeSource(std::string mountinfo, std::string by_label_folder)
    : mountinfo_(std::move(mountinfo)), by_label_folder_(std::move(by_label_folder)) {}

std::string SystemVolumeSource::MountInfo() const {
  std::ifstream table(mountinfo_, std::ios::binary);
  return {std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>()};
}

bool SystemVolumeSource::IsFolder(const std::string& path) const {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string SystemVolumeSource::Label(const std::string& device) const {
  // Read once for all the volumes, rather than once for each.
  if (!labels_) {
    labels_ = LabelsByDevice(by_label_folder_);
  }
  const auto found = labels_->find(Resolved(device));
  return found != labels_->end() ? found->second : std::string();
}

std::vector<Volume> ParseMountInfo(std::string_view mountinfo) {
  std::vector<Volume> volumes;
  std::size_t start = 0;
  while (start < mountinfo.size()) {
    const std::size_t end = std::min(mountinfo.find('\n', start), mountinfo.size());
    const std::vector<std::string_view> fields = SplitFields(mountinfo.substr(start, end - start));
    start = end + 1;

    // id, parent id, major:minor, root, mount point, options, optional fields..., "-", type,
    // source, super-block options.
    const auto separator = std::find(fields.begin() + std::min<std::size_t>(fields.size(), 6),
                                     fields.end(), std::string_view("-"));
    if (fields.size() < 6 || fields.end() - separator < 3) {
      continue;
    }
    Volume volume;
    volume.mount_point = DecodeOctalEscapes(fields[4]);
    volume.type = DecodeOctalEscapes(separator[1]);
    volume.source = DecodeOctalEscapes(separator[2]);
    if (volume.mount_point.empty() || volume.mount_point.front() != '/' ||
        IsPseudoType(volume.type) || InKernelTree(volume.mount_point)) {
      continue;
    }
    volumes.erase(std::remove_if(volumes.begin(), volumes.end(),
                                 [&](const Volume& earlier) {
                                   return earlier.mount_point == volume.mount_point;
                                 }),
                  volumes.end());
    volumes.push_back(std::move(volume));
  }
  return volumes;
}

std::map<std::string, std::string> LabelsByDevice(const std::string& by_label_folder) {
  // udev's links lead to devices, never folders, so the folder's file names are all of them.
  NameVector links;
  // Labels are a courtesy: without them volumes are shown by their mount points alone, and those
  // read before a failure still count.
  if (const auto folder = SystemFileSystem().OpenFolder(by_label_folder)) {
    static_cast<void>((*folder)->ReadFileNames(links));
  }
  std::map<std::string, std::string> labels;
  for (const std::string& name : links.names) {
    labels[Resolved(by_label_folder + "/" + name)] = DecodeHexEscapes(name);
  }
  return labels;
}

std::vector<Volume> MountedVolumes(const VolumeSource& source) {
  std::vector<Volume> volumes = ParseMountInfo(source.MountInfo());
  // Files bound over files (a container's /etc/hosts) are mounts too, but no volume to browse.
  volumes.erase(
      std::remove_if(volumes.begin(), volumes.end(),
                     [&](const Volume& volume) { return !source.IsFolder(volume.mount_point); }),
      volumes.end());
  for (Volume& volume : volumes) {
    // Only a device has a label; server:/export and tmpfs have none.
    if (!volume.source.empty() && volume.source.front() == '/') {
      volume.label = source.Label(volume.source);
    }
  }
  AddRootWhereMissing(volumes);
  std::sort(volumes.begin(), volumes.end(),
            [](const Volume& a, const Volume& b) { return a.mount_point < b.mount_point; });
  return volumes;
}

std::vector<Volume> SystemVolumes() { return MountedVolumes(SystemVolumeSource()); }

}  // namespace quorvane::platform
