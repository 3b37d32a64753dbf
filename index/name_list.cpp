#include "index/name_list.h"

#include <algorithm>  // std::sort, std::min
#include <cstring>    // std::memcmp
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

int CompareKeys(const LowerTable& lower, const Key& a, const Key& b) {
  const std::size_t common = std::min(a.size, b.size);
  for (std::size_t i = 0; i < common; ++i) {
    auto x = static_cast<unsigned char>(a.bytes[i]);
    auto y = static_cast<unsigned char>(b.bytes[i]);
    if (a.mapped) x = static_cast<unsigned char>(lower[x]);
    if (b.mapped) y = static_cast<unsigned char>(lower[y]);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  return Sign(a.size, b.size);
}

}  // namespace

void NameList::Clear() {
  bytes_.clear();
  entries_.clear();
}

void NameList::Add(std::string_view name) {
  if (name.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::bad_alloc();
  }
  entries_.push_back({bytes_.size(), static_cast<std::uint32_t>(name.size()), kPlain});
  bytes_.append(name).push_back('\0');
}

void NameList::Sort(const platform::Regional& regional) {
  const LowerTable& lower = regional.AsciiLower();
  // Only names with bytes the table cannot lower keep a converted copy while sorting.
  std::vector<std::string> keys;
  for (Entry& entry : entries_) {
    const std::string_view name(bytes_.data() + entry.offset, entry.length);
    if (IsPlain(lower, name)) {
      entry.key = kPlain;
    } else {
      entry.key = static_cast<std::uint32_t>(keys.size());
      keys.push_back(regional.Lower(name));
    }
  }
  const auto key_of = [&](const Entry& entry) {
    if (entry.key == kPlain) {
      return Key{bytes_.data() + entry.offset, entry.length, true};
    }
    const std::string& key = keys[entry.key];
    return Key{key.data(), key.size(), false};
  };
  std::sort(entries_.begin(), entries_.end(), [&](const Entry& a, const Entry& b) {
    if (const int by_key = CompareKeys(lower, key_of(a), key_of(b)); by_key != 0) {
      return by_key < 0;
    }
    return CompareBytes({bytes_.data() + a.offset, a.length},
                        {bytes_.data() + b.offset, b.length}) < 0;
  });
}

void NameList::Swap(NameList& other) noexcept {
  bytes_.swap(other.bytes_);
  entries_.swap(other.entries_);
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
