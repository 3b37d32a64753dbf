#pragma once

#include <atomic>
#include <deque>
#include <string>
#include <string_view>

#include "platform/windows/system_calls.h"

namespace quorvane::testing {

enum class Call {
  kOpen,
  kReadFolder,
  kInformation,
  kAttributes,
  kWrite,
  kRead,
  kFlush,
  kSetAttributes,
  kReplace,
  kMove,
  kDelete,
  kMarkForDeletion,
};

// Windows' own calls, but for those a test makes fail: the `nth` call of a kind (counted among
// those whose path ends in the rule's name) fails with the rule's error code. Counts are kept
// across threads.
class FailingCalls : public platform::SystemCalls {
 public:
  struct Rule {
    Call call;
    DWORD error;
    int nth = 1;
    std::wstring name = {};  // the last name of the call's path must be this, where not empty
  };

  void Fail(const Rule& rule) { rules_.emplace_back(rule); }

  HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
              DWORD flags) const override {
    return Check(Call::kOpen, path) ? SystemCalls::Open(path, access, share, disposition, flags)
                                    : INVALID_HANDLE_VALUE;
  }
  BOOL ReadFolder(HANDLE folder, void* buffer, DWORD size) const override {
    return Check(Call::kReadFolder) && SystemCalls::ReadFolder(folder, buffer, size);
  }
  BOOL Information(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) const override {
    return Check(Call::kInformation) && SystemCalls::Information(file, information);
  }
  BOOL Attributes(const wchar_t* path, WIN32_FILE_ATTRIBUTE_DATA* data) const override {
    return Check(Call::kAttributes, path) && SystemCalls::Attributes(path, data);
  }
  BOOL Write(HANDLE file, const void* data, DWORD size, DWORD* written) const override {
    return Check(Call::kWrite) && SystemCalls::Write(file, data, size, written);
  }
  BOOL Read(HANDLE file, void* data, DWORD size, std::uint64_t offset, DWORD* got) const override {
    return Check(Call::kRead) && SystemCalls::Read(file, data, size, offset, got);
  }
  BOOL Flush(HANDLE file) const override { return Check(Call::kFlush) && SystemCalls::Flush(file); }
  BOOL SetAttributes(HANDLE file, DWORD attributes) const override {
    return Check(Call::kSetAttributes) && SystemCalls::SetAttributes(file, attributes);
  }
  BOOL Replace(const wchar_t* replaced, const wchar_t* replacement,
               const wchar_t* backup) const override {
    return Check(Call::kReplace, replaced) && SystemCalls::Replace(replaced, replacement, backup);
  }
  BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) const override {
    return Check(Call::kMove, to) && SystemCalls::Move(from, to, flags);
  }
  BOOL Delete(const wchar_t* path) const override {
    return Check(Call::kDelete, path) && SystemCalls::Delete(path);
  }
  BOOL MarkForDeletion(HANDLE file) const override {
    return Check(Call::kMarkForDeletion) && SystemCalls::MarkForDeletion(file);
  }

 private:
  struct Armed {
    explicit Armed(Rule armed) : rule(std::move(armed)) {}
    Rule rule;
    mutable std::atomic<int> seen{0};
  };

  static bool EndsInName(const wchar_t* path, const std::wstring& name) {
    const std::wstring_view whole = path != nullptr ? path : L"";
    return whole.size() > name.size() && whole.substr(whole.size() - name.size()) == name &&
           whole[whole.size() - name.size() - 1] == L'\\';
  }

  // Whether the call goes ahead; otherwise the last error is set to the failing rule's.
  bool Check(Call call, const wchar_t* path = nullptr) const {
    for (const Armed& armed : rules_) {
      const Rule& rule = armed.rule;
      if (rule.call != call || (!rule.name.empty() && !EndsInName(path, rule.name))) {
        continue;
      }
      if (armed.seen.fetch_add(1) + 1 == rule.nth) {
        SetLastError(rule.error);
        return false;
      }
    }
    return true;
  }

  std::deque<Armed> rules_;  // a deque: the counters never move
};

}  // namespace quorvane::testing
