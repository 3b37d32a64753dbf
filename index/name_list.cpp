#include "index/name_list.h"

#include <algorithm>  // std::sort, std::min, std::max
#include <cstring>    // std::memcmp, std::memcpy
#include <limits>     // std::numeric_limits
#include <utility>    // std::forward

#include "platform/executor.h"

namespace quorvane {
namespace {

using LowerTable = std::array<char, 128>;

// A name's lower-cased form: its own bytes mapped through the table where every byte has a
// lower-case form there, else a converted copy.
struct Key {
  const char* bytes;
  std::size_t size;
  bool mapped;
};

bool IsPlain(const LowerTable& lower, std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 128 || lower[byte] == 0) {
      return false;
    }
  }
  return true;
}

int Sign(std::size_t a, std::size_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareBytes(std::string_view a, std::string_view b) {
  const int by_bytes = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  return by_bytes != 0 ? by_bytes : Sign(a.size(), b.size());
}

unsigned char ByteOf(const LowerTable& lower, const Key& key, std::size_t i) {
  const auto byte = static_cast<unsigned char>(key.bytes[i]);
  return key.mapped ? static_cast<unsigned char>(lower[byte]) : byte;
}

int CompareKeys(const LowerTable& lower, const Key& a, const Key& b) {
  const std::size_t common = std::min(a.size, b.size);
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = ByteOf(lower, a, i);
    const unsigned char y = ByteOf(lower, b, i);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  return Sign(a.size, b.size);
}

}  // namespace

namespace {

// Blocks start small, for the many small folders of a tree, and double up to the largest.
constexpr std::size_t kFirstBlockSize = 4096;
constexpr std::size_t kBlockSize = 1 << 20;
// Lists at least this long are sorted on two threads.
constexpr std::size_t kSortedInHalves = 16384;

// How many bytes from `from` on all of `keys` have the same.
template <typename KeyOf>
std::size_t CommonStart(std::size_t count, KeyOf&& key_of, const LowerTable& lower,
                        std::size_t from) {
  if (count == 0) {
    return 0;
  }
  const Key first = key_of(0);
  std::size_t common = first.size > from ? first.size : from;
  for (std::size_t i = 1; i < count && common > from; ++i) {
    const Key other = key_of(i);
    std::size_t same = from;
    const std::size_t most = std::min(common, other.size);
    while (same < most && ByteOf(lower, first, same) == ByteOf(lower, other, same)) {
      ++same;
    }
    common = same;
  }
  return common - from;
}

// Eight bytes of the key from `from`, the first the most significant, zero past its end.
std::uint64_t PrefixOf(const LowerTable& lower, const Key& key, std::size_t from) {
  std::uint64_t prefix = 0;
  for (std::size_t i = from; i < from + 8; ++i) {
    prefix = (prefix << 8) | (i < key.size ? ByteOf(lower, key, i) : 0);
  }
  return prefix;
}

}  // namespace

void NameList::Clear() {
  blocks_.clear();
  block_used_ = 0;
  block_size_ = 0;
  entries_.clear();
}

char* NameList::Room(std::size_t size) {
  if (block_used_ + size > block_size_) {
    const std::size_t next =
        blocks_.empty() ? kFirstBlockSize : std::min(block_size_ * 2, kBlockSize);
    block_size_ = std::max(size, next);
    // Not cleared: every byte is written before it is read.
    blocks_.emplace_back(new char[block_size_]);
    block_used_ = 0;
  }
  char* room = blocks_.back().get() + block_used_;
  block_used_ += size;
  return room;
}

platform::Result<> NameList::Add(std::string_view name) {
  if (name.size() >= std::numeric_limits<std::uint32_t>::max()) {
    return platform::Failure(platform::Step::kNameTooLongToList, {});
  }
  char* copy = Room(name.size() + 1);
  std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = '\0';
  entries_.push_back({0, copy, static_cast<std::uint32_t>(name.size()), kPlain});
  return {};
}

// Sorts entries by their keys, eight bytes at a time: by the bytes where they start to differ,
// then each run that has those the same by the eight after them, and so on. Names that share a
// long start ("IMG_2023...") are told apart by what follows it without reading them again and
// again, whatever other names the folder holds.
struct NameList::Sorter {
  const LowerTable& lower;
  const std::vector<std::string>& keys;

  Key KeyOf(const Entry& entry) const {
    if (entry.key == kPlain) {
      return Key{entry.name, entry.length, true};
    }
    const std::string& key = keys[entry.key];
    return Key{key.data(), key.size(), false};
  }

  // How many bytes from `offset` on the keys of [first, last) have the same.
  std::size_t Common(const Entry* first, const Entry* last, std::size_t offset) const {
    return CommonStart(
        static_cast<std::size_t>(last - first), [&](std::size_t i) { return KeyOf(first[i]); },
        lower, offset);
  }

  // Gives each of [first, last) the eight bytes of its key from `offset`.
  void SetPrefixes(Entry* first, Entry* last, std::size_t offset) const {
    for (Entry* entry = first; entry != last; ++entry) {
      entry->prefix = PrefixOf(lower, KeyOf(*entry), offset);
    }
  }

  static bool ByPrefix(const Entry& a, const Entry& b) { return a.prefix < b.prefix; }

  // Sorts [first, last), whose keys are the same before `offset`.
  void Sort(Entry* first, Entry* last, std::size_t offset) const {
    if (last - first < 2) {
      return;
    }
    offset += Common(first, last, offset);
    SetPrefixes(first, last, offset);
    std::sort(first, last, ByPrefix);
    Resolve(first, last, offset);
  }

  // Orders each run of [first, last) whose prefixes from `offset` are the same.
  void Resolve(Entry* first, Entry* last, std::size_t offset) const {
    for (Entry* run = first; run != last;) {
      Entry* end = run + 1;
      while (end != last && end->prefix == run->prefix) {
        ++end;
      }
      if (end - run > 1 && KeyOf(*run).size > offset + 8) {
        Sort(run, end, offset + 8);
      } else if (end - run > 1) {
        // The same keys, no zero byte in them: their names' bytes decide, the same way each time.
        std::sort(run, end, [](const Entry& a, const Entry& b) {
          return CompareBytes({a.name, a.length}, {b.name, b.length}) < 0;
        });
      }
      run = end;
    }
  }
};

void NameList::Sort(const platform::Regional& regional, const platform::Executor& executor) {
  const LowerTable& lower = regional.AsciiLower();
  // Only names with bytes the table cannot lower keep a converted copy while sorting.
  std::vector<std::string> keys;
  for (Entry& entry : entries_) {
    const std::string_view name(entry.name, entry.length);
    if (IsPlain(lower, name)) {
      entry.key = kPlain;
    } else {
      entry.key = static_cast<std::uint32_t>(keys.size());
      keys.push_back(regional.Lower(name));
    }
  }
  const Sorter sorter{lower, keys};
  Entry* const first = entries_.data();
  Entry* const last = first + entries_.size();
  if (entries_.size() < kSortedInHalves) {
    sorter.Sort(first, last, 0);
  } else {
    SortInHalves(sorter, first, last, executor);
  }
}

// Runs `one` and `other` at once, `other` on a thread of `executor` where one can be had.
template <typename One, typename Other>
void OnTwoThreads(const platform::Executor& executor, One&& one, Other&& other) {
  platform::TaskGroup beside(executor);
  beside.Run(std::forward<Other>(other));
  one();
}  // once `other` is done too, as `beside` ends

// A long list is sorted in two halves at once, each with its prefixes, merged, then its runs told
// apart, again in two halves: the other core is idle meanwhile.
void NameList::SortInHalves(const Sorter& sorter, Entry* first, Entry* last,
                            const platform::Executor& executor) {
  Entry* const middle = first + (last - first) / 2;
  std::size_t first_common = 0;
  std::size_t last_common = 0;
  OnTwoThreads(
      executor, [&] { first_common = sorter.Common(first, middle, 0); },
      [&] { last_common = sorter.Common(middle, last, 0); });
  const Entry starts[] = {*first, *middle};
  const std::size_t offset =
      std::min({first_common, last_common, sorter.Common(starts, starts + 2, 0)});
  const auto sort_half = [&](Entry* from, Entry* to) {
    sorter.SetPrefixes(from, to, offset);
    std::sort(from, to, Sorter::ByPrefix);
  };
  OnTwoThreads(
      executor, [&] { sort_half(first, middle); }, [&] { sort_half(middle, last); });
  std::inplace_merge(first, middle, last, Sorter::ByPrefix);
  // Split where a run ends, so that each thread has whole runs.
  Entry* split = middle;
  while (split != last && split->prefix == (split - 1)->prefix) {
    ++split;
  }
  OnTwoThreads(
      executor, [&] { sorter.Resolve(first, split, offset); },
      [&] { sorter.Resolve(split, last, offset); });
}

int CompareNames(const platform::Regional& regional, std::string_view a, std::string_view b) {
  const LowerTable& lower = regional.AsciiLower();
  std::string a_lower;
  std::string b_lower;
  Key a_key{a.data(), a.size(), true};
  Key b_key{b.data(), b.size(), true};
  if (!IsPlain(lower, a)) {
    a_lower = regional.Lower(a);
    a_key = {a_lower.data(), a_lower.size(), false};
  }
  if (!IsPlain(lower, b)) {
    b_lower = regional.Lower(b);
    b_key = {b_lower.data(), b_lower.size(), false};
  }
  if (const int by_key = CompareKeys(lower, a_key, b_key); by_key != 0) {
    return by_key;
  }
  return CompareBytes(a, b);
}

}  // namespace quorvane
