#include "platform/windows/system_calls.h"

namespace quorvane::platform {

HANDLE SystemCalls::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                         DWORD flags) const {
  return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL SystemCalls::Close(HANDLE handle) const { return CloseHandle(handle); }

BOOL SystemCalls::ReadFolder(HANDLE folder, void* buffer, DWORD size) const {
  return GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo, buffer, size);
}

BOOL SystemCalls::Information(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) const {
  return GetFileInformationByHandle(file, information);
}

BOOL SystemCalls::NameOf(HANDLE file, void* buffer, DWORD size) const {
  return GetFileInformationByHandleEx(file, FileNameInfo, buffer, size);
}

BOOL SystemCalls::Attributes(const wchar_t* path, WIN32_FILE_ATTRIBUTE_DATA* data) const {
  return GetFileAttributesExW(path, GetFileExInfoStandard, data);
}

BOOL SystemCalls::Write(HANDLE file, const void* data, DWORD size, DWORD* written) const {
  return WriteFile(file, data, size, written, nullptr);
}

BOOL SystemCalls::Read(HANDLE file, void* data, DWORD size, std::uint64_t offset,
                       DWORD* got) const {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ReadFile(file, data, size, got, &at);
}

BOOL SystemCalls::Flush(HANDLE file) const { return FlushFileBuffers(file); }

BOOL SystemCalls::SetAttributes(HANDLE file, DWORD attributes) const {
  FILE_BASIC_INFO basic{};  // times of 0 are left as they are
  basic.FileAttributes = attributes;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

BOOL SystemCalls::Replace(const wchar_t* replaced, const wchar_t* replacement,
                          const wchar_t* backup) const {
  // No flags: where the old page's security cannot be merged the call fails, and the old page
  // stays.
  return ReplaceFileW(replaced, replacement, backup, 0, nullptr, nullptr);
}

BOOL SystemCalls::Move(const wchar_t* from, const wchar_t* to, DWORD flags) const {
  return MoveFileExW(from, to, flags);
}

BOOL SystemCalls::Delete(const wchar_t* path) const { return DeleteFileW(path); }

BOOL SystemCalls::MarkForDeletion(HANDLE file) const {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

BOOL SystemCalls::ReadChanges(HANDLE folder, void* buffer, DWORD size, DWORD filter,
                              OVERLAPPED* overlapped) const {
  return ReadDirectoryChangesW(folder, buffer, size, TRUE, filter, nullptr, overlapped, nullptr);
}

const SystemCalls& SystemCalls::Real() {
  static const SystemCalls real;
  return real;
}

}  // namespace quorvane::platform
