#include "platform/volumes.h"

#include <windows.h>

#include "platform/windows/utf16.h"

namespace quorvane::platform {
namespace {

// "C:\", "D:\"... as GetLogicalDriveStringsW gives them.
std::vector<std::wstring> DriveRoots() {
  std::wstring text(128, L'\0');
  for (;;) {
    const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(text.size()), text.data());
    if (length < text.size()) {
      text.resize(length);
      break;
    }
    text.resize(length + 1);
  }
  std::vector<std::wstring> roots;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find(L'\0', at);
    roots.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return roots;
}

Volume DriveVolume(const std::wstring& root) {
  Volume volume;
  volume.mount_point = ToUtf8(root);
  wchar_t label[MAX_PATH + 1] = L"";
  wchar_t type[MAX_PATH + 1] = L"";
  if (GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, type,
                            MAX_PATH + 1)) {
    volume.label = ToUtf8(label);
    volume.type = ToUtf8(type);
  }
  wchar_t name[MAX_PATH + 1] = L"";
  if (GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH + 1)) {
    volume.source = ToUtf8(name);
  }
  return volume;
}

}  // namespace

std::vector<Volume> SystemVolumes() {
  // A drive without a disc in it is simply shown without a label, never asked for.
  DWORD previous = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous);
  std::vector<Volume> volumes;
  for (const std::wstring& root : DriveRoots()) {
    volumes.push_back(DriveVolume(root));
  }
  SetThreadErrorMode(previous, nullptr);
  return volumes;
}

}  // namespace quorvane::platform
