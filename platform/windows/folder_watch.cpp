#include "platform/folder_watch.h"

#include <windows.h>

#include <algorithm>    // std::clamp, std::sort, std::unique
#include <chrono>       // std::chrono::steady_clock
#include <cstddef>      // offsetof, std::ptrdiff_t, std::size_t
#include <cstring>      // std::memcpy
#include <memory>       // std::make_unique, std::unique_ptr
#include <string>       // std::string, std::wstring
#include <string_view>  // std::string_view, std::wstring_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "platform/windows/system_calls.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kListingChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                  FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                  FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION;
// The most a watch of a network share takes.
constexpr DWORD kBufferSize = 64 * 1024;

// One tree watched: its top folder, open to read its changes, with a read under way.
struct Tree {
  Tree(const SystemCalls& calls, std::string path, std::wstring extended, Handle folder,
       Handle done)
      : calls(calls),
        path(std::move(path)),
        extended(std::move(extended)),
        folder(std::move(folder)),
        done(std::move(done)),
        buffer(kBufferSize / sizeof(DWORD)) {
    overlapped.hEvent = this->done.Get();
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  // The read under way writes here until it has ended.
  ~Tree() {
    DWORD bytes = 0;
    if (CancelIoEx(folder.Get(), &overlapped) || GetLastError() != ERROR_NOT_FOUND) {
      GetOverlappedResult(folder.Get(), &overlapped, &bytes, TRUE);
    }
  }

  // Starts the next read; false, with the reason in GetLastError(), where it cannot.
  bool Read() {
    ResetEvent(done.Get());
    return calls.ReadChanges(folder.Get(), buffer.data(), kBufferSize, kListingChanges,
                             &overlapped);
  }

  const SystemCalls& calls;
  std::string path;       // as shown, ending in the separator
  std::wstring extended;  // its \\?\ path, ending in \ too
  Handle folder;
  Handle done;  // an event, set when the read has ended
  OVERLAPPED overlapped{};
  std::vector<DWORD> buffer;  // aligned as the records are
};

// How long a wait may take: once something is told, only the reads ended already come with it.
DWORD WaitTime(const WatchReport& report, const std::optional<Clock::time_point>& deadline) {
  if (!report.Empty()) {
    return 0;
  }
  if (!deadline) {
    return INFINITE;
  }
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
  return static_cast<DWORD>(
      std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INFINITE - 1));
}

class ChangesWatch final : public FolderWatch {
 public:
  ChangesWatch(const SystemCalls& calls, std::string_view page_name, Handle stop)
      : calls_(calls), page_name_(page_name), stop_(std::move(stop)) {}

  Result<Added> Add(const Folder& folder) override;
  void Forget(std::string_view path) override;
  Result<WatchReport> Wait(std::optional<std::chrono::milliseconds> timeout) override;
  void Stop() override { SetEvent(stop_.Get()); }

 private:
  Result<> Collect(std::size_t tree, WatchReport& report);
  void Take(const Tree& tree, std::wstring_view entry, DWORD action, WatchReport& report) const;

  const SystemCalls& calls_;
  const std::string page_name_;
  Handle stop_;  // an event that stays set from the first Stop() on
  std::vector<std::unique_ptr<Tree>> trees_;
};

Result<FolderWatch::Added> ChangesWatch::Add(const Folder& folder) {
  const std::string& path = folder.Path();
  for (const auto& tree : trees_) {
    if (std::string_view(path).starts_with(tree->path)) {
      return Added::kWatched;  // below a tree watched whole
    }
  }
  // One wait takes the stop and every tree.
  if (trees_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) {
    return Added::kOutOfWatches;
  }
  QUORVANE_TRY_ASSIGN(std::wstring extended, ExtendedPath(path));
  Handle handle(calls_,
                calls_.Open(extended.c_str(), FILE_LIST_DIRECTORY,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED));
  if (!handle.IsOpen()) {
    return Failure(Step::kWatchFolder, path, LastError());
  }
  Handle done(calls_, CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (done.Get() == nullptr) {
    return Failure(Step::kWatchFolder, path, LastError());
  }
  auto tree =
      std::make_unique<Tree>(calls_, path, std::move(extended), std::move(handle), std::move(done));
  if (!tree->Read()) {
    return Failure(Step::kWatchFolder, path, LastError());
  }
  trees_.push_back(std::move(tree));
  return Added::kWatched;
}

void ChangesWatch::Forget(std::string_view path) {
  std::erase_if(trees_, [&](const auto& tree) { return tree->path.starts_with(path); });
}

Result<WatchReport> ChangesWatch::Wait(std::optional<std::chrono::milliseconds> timeout) {
  const std::optional<Clock::time_point> deadline =
      timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
  WatchReport report;
  for (;;) {
    std::vector<HANDLE> events = {stop_.Get()};
    for (const auto& tree : trees_) {
      events.push_back(tree->done.Get());
    }
    const DWORD ended = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(),
                                               FALSE, WaitTime(report, deadline));
    if (ended == WAIT_OBJECT_0) {
      return WatchReport::Stopped();
    }
    if (ended == WAIT_TIMEOUT) {
      break;
    }
    if (ended == WAIT_FAILED || ended - WAIT_OBJECT_0 >= events.size()) {
      return Failure(Step::kWatch, {}, LastError());
    }
    QUORVANE_TRY(Collect(ended - WAIT_OBJECT_0 - 1, report));
  }
  for (auto* paths : {&report.changed, &report.gone}) {
    std::sort(paths->begin(), paths->end());
    paths->erase(std::unique(paths->begin(), paths->end()), paths->end());
  }
  return report;
}

// Takes what the ended read of the tree `index` found, and starts the next. A tree whose top
// is gone is no longer watched.
Result<> ChangesWatch::Collect(std::size_t index, WatchReport& report) {
  Tree& tree = *trees_[index];
  DWORD bytes = 0;
  const bool read = GetOverlappedResult(tree.folder.Get(), &tree.overlapped, &bytes, FALSE);
  const DWORD error = read ? ERROR_SUCCESS : GetLastError();
  if (error == ERROR_ACCESS_DENIED || error == ERROR_DELETE_PENDING ||
      error == ERROR_FILE_NOT_FOUND) {
    report.gone.push_back(tree.path);
    trees_.erase(trees_.begin() + static_cast<std::ptrdiff_t>(index));
    return {};
  }
  if (error != ERROR_SUCCESS && error != ERROR_NOTIFY_ENUM_DIR) {
    return Failure(Step::kWatch, {}, WindowsError(error));
  }
  // No record at all: more changed than the buffer holds, and which is not known.
  report.rescan = report.rescan || bytes == 0;
  const auto* records = reinterpret_cast<const char*>(tree.buffer.data());
  for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
    FILE_NOTIFY_INFORMATION record;
    std::memcpy(&record, records + at, sizeof record);
    const wchar_t* name = reinterpret_cast<const wchar_t*>(
        records + at + offsetof(FILE_NOTIFY_INFORMATION, FileName));
    Take(tree, std::wstring_view(name, record.FileNameLength / sizeof(wchar_t)), record.Action,
         report);
    if (record.NextEntryOffset == 0) {
      break;
    }
    at += record.NextEntryOffset;
  }
  if (!tree.Read()) {
    return Failure(Step::kWatchFolder, tree.path, LastError());
  }
  return {};
}

// Takes the change `action` of `entry`, a path below the top of `tree`.
void ChangesWatch::Take(const Tree& tree, std::wstring_view entry, DWORD action,
                        WatchReport& report) const {
  const std::size_t slash = entry.rfind(L'\\');
  const std::string name =
      ToUtf8(slash == std::wstring_view::npos ? entry : entry.substr(slash + 1));
  if (name == page_name_ || IsTemporaryPageName(name)) {
    return;
  }
  // A folder's own time changes with its listing, whose entries tell of that already.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (action == FILE_ACTION_MODIFIED &&
      calls_.Attributes((tree.extended + std::wstring(entry)).c_str(), &data) &&
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return;
  }
  report.changed.push_back(slash == std::wstring_view::npos
                               ? tree.path
                               : tree.path + ToUtf8(entry.substr(0, slash)) + '\\');
}

}  // namespace

Result<std::unique_ptr<FolderWatch>> WatchFolders(std::string_view page_name,
                                                  const SystemCalls& calls) {
  Handle stop(calls, CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (stop.Get() == nullptr) {
    return Failure(Step::kWatch, {}, LastError());
  }
  return std::unique_ptr<FolderWatch>(
      std::make_unique<ChangesWatch>(calls, page_name, std::move(stop)));
}

Result<std::unique_ptr<FolderWatch>> WatchFolders(std::string_view page_name) {
  return WatchFolders(page_name, SystemCalls::Real());
}

}  // namespace quorvane::platform
