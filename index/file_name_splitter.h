#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"

namespace quorvane {

// Splits `PathIn`, a file's name or its path, into the file's name and its extension, which it
// returns. `NomeOut` receives the name, with the folder part in front when `AddPath` is set.
// Neither includes the dot that separates them; only the last dot after the last separator ("\"
// or "/") counts, and letter case is kept. Positions are counted in 16-bit signed arithmetic, so
// an input of more than 32,767 bytes (or of 32,766 with no dot after its last separator) fails
// (kNameTooLong); no file's name is that long, so give it the name where the path does not
// matter.
platform::Result<std::string> GetFileExt(std::string_view PathIn, std::string& NomeOut,
                                         bool AddPath);

}  // namespace quorvane
