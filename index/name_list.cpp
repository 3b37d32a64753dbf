#include "index/name_list.h"

#include <algorithm>  // std::sort, std::min, std::max
#include <cstring>    // std::memcmp, std::memcpy
#include <limits>     // std::numeric_limits
#include <new>        // std::bad_alloc

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

constexpr std::size_t kBlockSize = 1 << 20;

// The length of the part all of `keys` start with.
template <typename KeyOf>
std::size_t CommonStart(std::size_t count, KeyOf&& key_of, const LowerTable& lower) {
  if (count == 0) {
    return 0;
  }
  const Key first = key_of(0);
  std::size_t common = first.size;
  for (std::size_t i = 1; i < count && common > 0; ++i) {
    const Key other = key_of(i);
    std::size_t same = 0;
    const std::size_t most = std::min(common, other.size);
    while (same < most && ByteOf(lower, first, same) == ByteOf(lower, other, same)) {
      ++same;
    }
    common = same;
  }
  return common;
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
    block_size_ = std::max(size, kBlockSize);
    blocks_.push_back(std::make_unique<char[]>(block_size_));
    block_used_ = 0;
  }
  char* room = blocks_.back().get() + block_used_;
  block_used_ += size;
  return room;
}

void NameList::Add(std::string_view name) {
  if (name.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw std::bad_alloc();
  }
  char* copy = Room(name.size() + 1);
  std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = '\0';
  entries_.push_back({0, copy, static_cast<std::uint32_t>(name.size()), kPlain});
}

void NameList::Sort(const platform::Regional& regional) {
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
  const auto key_of = [&](const Entry& entry) {
    if (entry.key == kPlain) {
      return Key{entry.name, entry.length, true};
    }
    const std::string& key = keys[entry.key];
    return Key{key.data(), key.size(), false};
  };
  // Names that share a long start ("IMG_2023...") are told apart by what follows it.
  const std::size_t common = CommonStart(
      entries_.size(), [&](std::size_t i) { return key_of(entries_[i]); }, lower);
  for (Entry& entry : entries_) {
    entry.prefix = PrefixOf(lower, key_of(entry), common);
  }
  std::sort(entries_.begin(), entries_.end(), [&](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) {
      return a.prefix < b.prefix;
    }
    if (const int by_key = CompareKeys(lower, key_of(a), key_of(b)); by_key != 0) {
      return by_key < 0;
    }
    return CompareBytes({a.name, a.length}, {b.name, b.length}) < 0;
  });
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
