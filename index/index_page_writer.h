#pragma once

#include <optional>    // std::optional
#include <stop_token>  // std::stop_token
#include <string>      // std::string

#include "index/folder_listing.h"
#include "platform/failure.h"
#include "platform/services.h"

namespace quorvane {

// The name of the page, written into the folder it lists.
inline constexpr char IndexFileName[] = "quorvane_index.html";

// The file extensions, compared exactly and with letter case, of the files shown as pictures.
inline constexpr const char* ImageExtensions[] = {"jpeg", "jpg",  "gif", "bmp",
                                                  "tif",  "tiff", "png"};

// The end of one page generation.
struct GenerationOutcome {
  bool completed = false;
  std::string OutPath;  // the page written, when completed
  // The path of the entry handled last: the list's last entry once completed, whether or not
  // it got an entry of its own. Empty when no entry was handled.
  std::string CurFile;
  std::optional<platform::Failure> failure;  // why it failed, when not completed
};

// Writes the index page of the folder `CurPath` into it: a header, one entry per file of `Files`
// (re-read first, and its selection moved to each entry as it is handled), with an inline image
// under each picture when `ShowImages` is set, a total line and a timed footer. The page
// replaces any earlier one only once complete. When `Files` was read from a folder that is no
// longer the one at `CurPath`, nothing is written. Once `stop` is requested the run ends, as a
// failure of step kStopped, and the earlier page stays. Never throws: any failure ends the run
// and comes back as the failed outcome.
GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, FileList& Files,
                                const platform::Services& services, std::stop_token stop = {});

// The same for a folder already open, as a walk down a tree opens them; its path is `CurPath`.
GenerationOutcome MakeIndexPageIn(const platform::Folder& folder, bool ShowImages, FileList& Files,
                                  const platform::Services& services);

}  // namespace quorvane
