#include "publish/gnu_options.h"

#include <utility>  // std::move

namespace quorvane::tool {

GnuOptions::GnuOptions(std::vector<std::string> arguments, std::string_view short_options,
                       std::span<const Long> long_options)
    : arguments_(std::move(arguments)),
      short_options_(short_options),
      long_options_(long_options) {}

int GnuOptions::Next() {
  while (cluster_.empty()) {
    if (next_ >= arguments_.size()) {
      return -1;
    }
    const std::string_view word = arguments_[next_++];
    if (ended_ || word.size() < 2 || word[0] != '-') {
      operands_.emplace_back(word);
    } else if (word == "--") {
      ended_ = true;
    } else if (word[1] == '-') {
      return LongOption(word.substr(2));
    } else {
      cluster_ = word.substr(1);
    }
  }
  return ShortOption();
}

int GnuOptions::ShortOption() {
  const char letter = cluster_.front();
  cluster_.remove_prefix(1);
  const std::size_t at = letter == ':' ? std::string_view::npos : short_options_.find(letter);
  if (at == std::string_view::npos) {
    cluster_ = {};
    return Wrong(std::string("invalid option -- '") + letter + "'");
  }
  if (at + 1 < short_options_.size() && short_options_[at + 1] == ':') {
    if (!cluster_.empty()) {
      argument_ = cluster_;
      cluster_ = {};
    } else if (next_ < arguments_.size()) {
      argument_ = arguments_[next_++];
    } else {
      return Wrong(std::string("option requires an argument -- '") + letter + "'");
    }
  }
  return letter;
}

const GnuOptions::Long* GnuOptions::FindLong(std::string_view name, std::string& others,
                                             bool& ambiguous) const {
  // An exact name wins; otherwise the one name it begins, or several that all mean the same.
  const Long* found = nullptr;
  ambiguous = false;
  for (const Long& option : long_options_) {
    if (option.name == name) {
      ambiguous = false;
      return &option;
    }
    if (option.name.substr(0, name.size()) != name) {
      continue;
    }
    others += " '--" + std::string(option.name) + "'";
    if (found == nullptr) {
      found = &option;
    } else if (found->value != option.value || found->takes_argument != option.takes_argument) {
      ambiguous = true;
    }
  }
  return found;
}

int GnuOptions::LongOption(std::string_view text) {
  const std::size_t equals = text.find('=');
  std::string others;
  bool ambiguous = false;
  const Long* found = FindLong(text.substr(0, equals), others, ambiguous);
  if (found == nullptr) {
    return Wrong("unrecognized option '--" + std::string(text) + "'");
  }
  if (ambiguous) {
    return Wrong("option '--" + std::string(text) + "' is ambiguous; possibilities:" + others);
  }
  const std::string full = "option '--" + std::string(found->name) + "'";
  if (equals != std::string_view::npos) {
    if (!found->takes_argument) {
      return Wrong(full + " doesn't allow an argument");
    }
    argument_ = text.substr(equals + 1);
  } else if (found->takes_argument) {
    if (next_ >= arguments_.size()) {
      return Wrong(full + " requires an argument");
    }
    argument_ = arguments_[next_++];
  }
  return found->value;
}

int GnuOptions::Wrong(std::string words) {
  error_ = std::move(words);
  return '?';
}

}  // namespace quorvane::tool
