#pragma once

#include <cstddef>      // std::size_t
#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace quorvane::tool {

// A command line read the GNU way, as glibc's getopt_long reads it, and with its words for what
// is wrong, on every system (the Windows C library's getopt words them otherwise): short options
// alone or together (-io), an argument after one or in the next word (-xGLOB, -x GLOB), long
// options abbreviated while that is not ambiguous, with =ARGUMENT or the next word, options
// after operands, and "--" ending the options.
class GnuOptions {
 public:
  struct Long {
    std::string_view name;
    bool takes_argument;
    int value;
  };

  // `arguments` start with the program's name. In `short_options` a letter followed by ':' takes
  // an argument.
  GnuOptions(std::vector<std::string> arguments, std::string_view short_options,
             std::span<const Long> long_options);

  // The next option's letter or value, its argument in Argument(); -1 once the options end, and
  // '?' for one that is wrong, the words in Error().
  int Next();
  const std::string& Argument() const { return argument_; }
  // What is wrong, as glibc says it: "unrecognized option '--bogus'".
  const std::string& Error() const { return error_; }
  // The arguments that are no options, in order; all of them once Next() has given -1.
  const std::vector<std::string>& Operands() const { return operands_; }

 private:
  int ShortOption();
  int LongOption(std::string_view text);
  // The long option `name` names, whole or abbreviated; `others` gets each it could be, and
  // `ambiguous` whether they mean different things. None when it names none.
  const Long* FindLong(std::string_view name, std::string& others, bool& ambiguous) const;
  int Wrong(std::string words);

  std::vector<std::string> arguments_;
  std::string_view short_options_;
  std::span<const Long> long_options_;
  std::size_t next_ = 1;
  std::string_view cluster_;  // the letters still to read of a word like -io
  bool ended_ = false;        // "--" was met
  std::string argument_;
  std::string error_;
  std::vector<std::string> operands_;
};

}  // namespace quorvane::tool
