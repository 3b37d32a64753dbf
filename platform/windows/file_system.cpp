#include <algorithm>  // std::min, std::none_of
#include <map>        // std::map
#include <memory>     // std::make_unique
#include <mutex>      // std::mutex, std::lock_guard
#include <string>     // std::string, std::wstring
#include <utility>    // std::move
#include <vector>     // std::vector

#include "platform/path_separator.h"
#include "platform/system_file_system.h"
#include "platform/windows/leftover_pages.h"
#include "platform/windows/page_output.h"
#include "platform/windows/page_reader.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {
namespace {

constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kEntryBufferSize = 64 * 1024;

bool IsDot(std::wstring_view name) { return name == L"." || name == L".."; }

// A folder's path as it is shown, ending in the separator; an empty one is shown as such.
std::string EndingInSeparator(std::string path) {
  if (!path.empty() && path.back() != kPathSeparator) {
    path += kPathSeparator;
  }
  return path;
}

// What a folder listing tells of an entry.
struct Entry {
  std::wstring_view name;
  DWORD attributes;
  FileFacts facts;
};

// Whether Win32 can open a file by `name`: not where it holds a character Windows keeps for
// paths and patterns, or a control character, as a name written by another system onto a disk
// Windows reads may. Such a file's facts come from its folder's listing.
bool OpenableByName(std::string_view name) {
  return std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
  });
}

FileFacts FactsOf(const FILE_ID_BOTH_DIR_INFO& record) {
  FILETIME written{};
  written.dwLowDateTime = record.LastWriteTime.LowPart;
  written.dwHighDateTime = static_cast<DWORD>(record.LastWriteTime.HighPart);
  return {record.EndOfFile.QuadPart, ToTimeT(written)};
}

class WindowsFolder final : public ListingFolder {
 public:
  // Takes `handle`, an open folder at `extended` (a \\?\ path ending in \), shown as `path`
  // (ending in the separator), of the file information `information`.
  WindowsFolder(const SystemCalls& calls, Handle&& handle, std::wstring extended, std::string path,
                const BY_HANDLE_FILE_INFORMATION& information)
      : calls_(calls),
        handle_(std::move(handle)),
        extended_(std::move(extended)),
        path_(std::move(path)),
        identity_{information.dwVolumeSerialNumber,
                  (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow} {}

  // The folder `handle` opened at `extended`, shown as `path`; with `refuse_link`, a link or
  // junction opened in its place is refused rather than followed later.
  static Result<std::unique_ptr<Folder>> Of(const SystemCalls& calls, Handle handle,
                                            std::wstring extended, std::string path,
                                            bool refuse_link = false) {
    path = EndingInSeparator(std::move(path));
    if (extended.back() != L'\\') {
      extended += L'\\';
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!calls.Information(handle.Get(), &information)) {
      return Failure(Step::kReadFolder, path, LastError());
    }
    // A file opens with the rights asked for a folder: only its attributes tell them apart. Its
    // path is shown as a file's, with no separator after it.
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return Failure(Step::kReadFolder, std::string_view(path).substr(0, path.size() - 1),
                     WindowsError(ERROR_DIRECTORY));
    }
    if (refuse_link && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Failure(Step::kReadFolder, path, WindowsError(ERROR_CANT_RESOLVE_FILENAME));
    }
    // Where the allocation throws, `handle` still closes it.
    return std::make_unique<WindowsFolder>(calls, std::move(handle), std::move(extended),
                                           std::move(path), information);
  }

  const std::string& Path() const override { return path_; }
  FolderIdentity Identity() const override { return identity_; }

  Result<FileFacts> ReadFacts(const char* name) const override {
    if (!OpenableByName(name)) {
      const std::lock_guard lock(listed_mutex_);
      if (const auto listed = listed_facts_.find(name); listed != listed_facts_.end()) {
        return listed->second;
      }
    }
    const std::wstring path = extended_ + ToWide(name);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!calls_.Attributes(path.c_str(), &data)) {
      const std::error_code error = LastError();
      return Failure(Step::kReadFileFacts, path_ + name, error);
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      FollowLink(path, data);
    }
    return FileFacts{
        static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow),
        ToTimeT(data.ftLastWriteTime)};
  }

  // A link put in the folder's place since it was listed is not followed.
  Result<std::unique_ptr<Folder>> OpenSubFolder(std::string_view name) const override {
    return Open(calls_, extended_ + ToWide(name), path_ + std::string(name),
                FILE_FLAG_OPEN_REPARSE_POINT);
  }

  // By the path that led here, which still names this folder's parent: Windows moves no folder
  // while something inside it is open, and a walk checks the folder it finds anyway.
  Result<std::unique_ptr<Folder>> OpenParent() const override {
    const std::wstring parent = ParentOf(extended_);
    if (parent.empty()) {
      return Failure(Step::kReadFolder, path_ + "..", WindowsError(ERROR_PATH_NOT_FOUND));
    }
    const std::string shown = ToUtf8(ParentOf(ToWide(path_)));
    return Open(calls_, parent, shown.empty() ? path_ + ".." : shown, 0);
  }

  bool HasFile(std::string_view path) const override {
    const std::wstring found = Beside(path);
    BY_HANDLE_FILE_INFORMATION information{};
    const Handle file(calls_, found.empty()
                                  ? INVALID_HANDLE_VALUE
                                  : calls_.Open(found.c_str(), FILE_READ_ATTRIBUTES, kAnyShare,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    return file.IsOpen() && calls_.Information(file.Get(), &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  Result<std::unique_ptr<PageOutput>> CreatePage(std::string_view name) const override {
    return CreateSystemPage(calls_, extended_, path_, name);
  }

  Result<> CheckPage(std::string_view name) const override {
    return CheckSystemPage(calls_, extended_, path_, name);
  }

  Result<std::unique_ptr<PageReader>> ReadPage(std::string_view name) const override {
    return ReadSystemPage(calls_, extended_, path_, name);
  }

  // Opens the folder at `extended` (a \\?\ path), shown as `path`, with `flags` besides; one
  // opened as a reparse point (FILE_FLAG_OPEN_REPARSE_POINT) is refused where it is a link.
  static Result<std::unique_ptr<Folder>> Open(const SystemCalls& calls, std::wstring extended,
                                              std::string path, DWORD flags) {
    Handle handle(calls, calls.Open(extended.c_str(), FILE_LIST_DIRECTORY, kFolderShare,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags));
    if (!handle.IsOpen()) {
      const std::error_code error = LastError();
      return Failure(Step::kReadFolder, EndingInSeparator(std::move(path)), error);
    }
    return Of(calls, std::move(handle), std::move(extended), std::move(path),
              (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0);
  }

 private:
  // A symbolic link's facts are its target's, where it leads anywhere.
  void FollowLink(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA& data) const {
    const Handle target(calls_, calls_.Open(path.c_str(), FILE_READ_ATTRIBUTES, kAnyShare,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION information{};
    if (target.IsOpen() && calls_.Information(target.Get(), &information)) {
      data.nFileSizeHigh = information.nFileSizeHigh;
      data.nFileSizeLow = information.nFileSizeLow;
      data.ftLastWriteTime = information.ftLastWriteTime;
    }
  }

  // Calls `visit` with each entry but "." and "..", read through a handle of its own so that
  // listings never share a read position; a failure of `visit` ends it.
  template <typename Visit>
  Result<> ForEachEntry(Visit&& visit) const {
    const Handle folder(calls_, calls_.Open(extended_.c_str(), FILE_LIST_DIRECTORY, kAnyShare,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!folder.IsOpen()) {
      return Failure(Step::kReadFolder, path_, LastError());
    }
    std::vector<DWORD> buffer(kEntryBufferSize / sizeof(DWORD));  // records are DWORD-aligned
    while (calls_.ReadFolder(folder.Get(), buffer.data(), kEntryBufferSize)) {
      const auto* bytes = reinterpret_cast<const char*>(buffer.data());
      for (DWORD at = 0;;) {
        const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + at);
        const std::wstring_view name(record->FileName, record->FileNameLength / sizeof(wchar_t));
        if (!IsDot(name)) {
          QUORVANE_TRY(visit(Entry{name, record->FileAttributes, FactsOf(*record)}));
        }
        if (record->NextEntryOffset == 0) {
          break;
        }
        at += record->NextEntryOffset;
      }
    }
    if (GetLastError() != ERROR_NO_MORE_FILES) {
      return Failure(Step::kReadFolder, path_, LastError());
    }
    return {};
  }

  // Gives `files` the entries that are not folders, and `folders` the folders that are not reparse
  // points: symbolic links, junctions and mounted volumes are never followed.
  Result<> List(NameSink* files, NameSink* folders) const override {
    return ForEachEntry([&](const Entry& entry) -> Result<> {
      if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const std::string name = ToUtf8(entry.name);
        if (NotedAsHidden(name) || files == nullptr) {
          return {};
        }
        if (!OpenableByName(name)) {
          const std::lock_guard lock(listed_mutex_);
          listed_facts_[name] = entry.facts;
        }
        return files->Add(name);
      }
      if (folders != nullptr && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return folders->Add(ToUtf8(entry.name));
      }
      return {};
    });
  }

  void RemoveIfLeftOver(const std::string& name) const override {
    RemoveLeftOverPage(calls_, extended_, name);
  }

  // The \\?\ path of `relative` ("../x", "sub\\x") from this folder; empty where it goes above
  // the root.
  std::wstring Beside(std::string_view relative) const {
    std::wstring path = extended_;
    while (!relative.empty()) {
      const std::size_t end = std::min(relative.find_first_of("/\\"), relative.size());
      const std::string_view name = relative.substr(0, end);
      relative.remove_prefix(std::min(end + 1, relative.size()));
      if (name == "..") {
        path = ParentOf(path);
        if (path.empty()) {
          return path;
        }
      } else if (!name.empty() && name != ".") {
        if (path.back() != L'\\') {
          path += L'\\';
        }
        path += ToWide(name);
      }
    }
    return path;
  }

  const SystemCalls& calls_;
  Handle handle_;  // held without sharing deletion, so the folder cannot be renamed meanwhile
  std::wstring extended_;
  std::string path_;
  FolderIdentity identity_;
  mutable std::mutex listed_mutex_;
  mutable std::map<std::string, FileFacts> listed_facts_;  // of the files not openable by name
};

}  // namespace

bool NamesIgnoreCase() { return true; }

// Windows sets no such limit on a process's handles that a walk could reach.
std::size_t OpenFilesAllowed() { return std::size_t{1} << 14; }

SystemFileSystem::SystemFileSystem(const SystemCalls& calls) : calls_(calls) {}

SystemFileSystem::SystemFileSystem() : SystemFileSystem(SystemCalls::Real()) {}

Result<std::unique_ptr<Folder>> SystemFileSystem::OpenFolder(std::string_view path) const {
  // The folder is shown by its full path, which is how a path given as C: or ..\x is read.
  const Result<std::wstring> full = FullPath(path);
  if (!full) {
    return Failure(Step::kReadFolder, EndingInSeparator(std::string(path)), full.Error().error);
  }
  QUORVANE_TRY_ASSIGN(std::wstring extended, ExtendedPath(path));
  return WindowsFolder::Open(calls_, std::move(extended), ToUtf8(*full), 0);
}

}  // namespace quorvane::platform
