#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint32_t, std::uint64_t
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/executor.h"
#include "platform/file_system.h"
#include "platform/regional.h"

namespace quorvane {

// Names kept compactly: packed one after another in large blocks, each ending in a NUL so that
// it can be handed to the system as it is, and found by position. No name has a heap block of
// its own, and the blocks never move, so a list of a million names is not copied as it grows.
class NameList final : public platform::NameSink {
 public:
  void Clear();
  // Fails (kNameTooLongToList) for a name of 4 GiB or more.
  platform::Result<> Add(std::string_view name) override;

  std::size_t Size() const { return entries_.size(); }
  std::string_view operator[](std::size_t i) const {
    return {entries_[i].name, entries_[i].length};
  }
  // The name at `i`, NUL-terminated.
  const char* CString(std::size_t i) const { return entries_[i].name; }

  // Puts the names in name order (see CompareNames); a long list on two threads, the other one
  // from `executor`.
  void Sort(const platform::Regional& regional, const platform::Executor& executor);

 private:
  struct Entry {
    // Eight bytes of the lower-cased name, from where the names start to differ, to compare
    // without reading the names themselves; filled in by Sort().
    std::uint64_t prefix;
    const char* name;
    std::uint32_t length;
    std::uint32_t key;  // which converted lower-case form it has, or kPlain for none
  };
  static constexpr std::uint32_t kPlain = 0xFFFFFFFF;

  char* Room(std::size_t size);
  struct Sorter;
  static void SortInHalves(const Sorter& sorter, Entry* first, Entry* last,
                           const platform::Executor& executor);

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t block_used_ = 0;
  std::size_t block_size_ = 0;
  std::vector<Entry> entries_;
};

// The order of names in the file list and the folder tree: by their lower-cased forms, then by
// their bytes, so that names equal apart from case still sort the same way every time. Negative,
// zero or positive, as a is before, the same as or after b.
int CompareNames(const platform::Regional& regional, std::string_view a, std::string_view b);

}  // namespace quorvane
