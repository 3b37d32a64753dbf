#pragma once

#include <windows.h>

#include <cstdint>  // std::uint64_t

namespace quorvane::platform {

// The Win32 calls that listing a folder and replacing its page make, each as Windows has it: a
// failure is FALSE or INVALID_HANDLE_VALUE with the reason in GetLastError(). Every one goes
// through here so that a test can make any of them fail with any error at any call; the real
// ones are these defaults. Paths are full \\?\ paths. Safe to use from several threads at once.
class SystemCalls {
 public:
  virtual ~SystemCalls() = default;

  // CreateFileW.
  virtual HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) const;
  virtual BOOL Close(HANDLE handle) const;
  // The next entries of the open folder `folder` as FILE_ID_BOTH_DIR_INFO records; FALSE with
  // ERROR_NO_MORE_FILES at the end.
  virtual BOOL ReadFolder(HANDLE folder, void* buffer, DWORD size) const;
  virtual BOOL Information(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) const;
  // The path of the open file `file` on its volume, as a FILE_NAME_INFO record.
  virtual BOOL NameOf(HANDLE file, void* buffer, DWORD size) const;
  // The attributes, length and times of `path` itself, a link's own where it is one.
  virtual BOOL Attributes(const wchar_t* path, WIN32_FILE_ATTRIBUTE_DATA* data) const;
  virtual BOOL Write(HANDLE file, const void* data, DWORD size, DWORD* written) const;
  // Up to `size` bytes from `offset`; FALSE with ERROR_HANDLE_EOF past the end.
  virtual BOOL Read(HANDLE file, void* data, DWORD size, std::uint64_t offset, DWORD* got) const;
  virtual BOOL Flush(HANDLE file) const;
  virtual BOOL SetAttributes(HANDLE file, DWORD attributes) const;
  // ReplaceFileW: `replacement` takes the place of `replaced` and its security descriptor, and
  // `replaced` is moved to `backup` on the way.
  virtual BOOL Replace(const wchar_t* replaced, const wchar_t* replacement,
                       const wchar_t* backup) const;
  // MoveFileExW.
  virtual BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) const;
  virtual BOOL Delete(const wchar_t* path) const;
  // Removes the open file `file` once its last handle is closed, whatever its name by then.
  virtual BOOL MarkForDeletion(HANDLE file) const;
  // ReadDirectoryChangesW on the open folder `folder` and everything below it, for the changes
  // `filter` names, completing through `overlapped`.
  virtual BOOL ReadChanges(HANDLE folder, void* buffer, DWORD size, DWORD filter,
                           OVERLAPPED* overlapped) const;

  // The calls as the system makes them.
  static const SystemCalls& Real();
};

}  // namespace quorvane::platform
