// Any path at all: the splitter either splits it into parts of the path or, for a path too long
// for 16-bit positions, fails with its own words.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "index/file_name_splitter.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const bool AddPath = (data[0] & 1) != 0;
  const std::string_view PathIn(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string NomeOut = "stale";
  const quorvane::platform::Result<std::string> split =
      quorvane::GetFileExt(PathIn, NomeOut, AddPath);
  if (!split) {
    if (PathIn.size() <= 32765 || split.Error().step != quorvane::platform::Step::kNameTooLong) {
      std::abort();  // short paths never fail
    }
    return 0;
  }
  const std::string& extension = *split;
  const std::size_t name_start = AddPath ? 0 : PathIn.find_last_of("\\/") + 1;
  const bool parts_of_the_path =
      PathIn.substr(name_start).rfind(NomeOut, 0) == 0 &&
      (extension.empty() || PathIn.substr(PathIn.size() - extension.size()) == extension);
  const bool no_separator_after_the_name =
      extension.find_first_of("\\/.") == std::string::npos &&
      (AddPath || NomeOut.find_first_of("\\/") == std::string::npos);
  if (!parts_of_the_path || !no_separator_after_the_name) {
    std::abort();
  }
  return 0;
}
