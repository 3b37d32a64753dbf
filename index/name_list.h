#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint32_t, std::uint64_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/file_system.h"
#include "platform/regional.h"

namespace quorvane {

// Names kept compactly: all in one buffer, each ending in a NUL so that it can be handed to the
// system as it is, and found by position.
class NameList final : public platform::NameSink {
 public:
  void Clear();
  void Add(std::string_view name) override;

  std::size_t Size() const { return entries_.size(); }
  std::string_view operator[](std::size_t i) const {
    return {bytes_.data() + entries_[i].offset, entries_[i].length};
  }
  // The name at `i`, NUL-terminated.
  const char* CString(std::size_t i) const { return bytes_.data() + entries_[i].offset; }

  // Puts the names in name order (see CompareNames).
  void Sort(const platform::Regional& regional);

  void Swap(NameList& other) noexcept;

 private:
  struct Entry {
    std::uint64_t offset;
    std::uint32_t length;
    std::uint32_t key;  // where the lower-cased form is kept, or kPlain for a plain name
  };
  static constexpr std::uint32_t kPlain = 0xFFFFFFFF;

  std::string bytes_;
  std::vector<Entry> entries_;
};

// The order of names in the file list and the folder tree: by their lower-cased forms, then by
// their bytes, so that names equal apart from case still sort the same way every time. Negative,
// zero or positive, as a is before, the same as or after b.
int CompareNames(const platform::Regional& regional, std::string_view a, std::string_view b);

}  // namespace quorvane
