#pragma once

#include <stop_token>  // std::stop_token
#include <string>      // std::string
#include <vector>      // std::vector

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
  // The page written, once completed; why the run failed, when it did not.
  platform::Result<std::string> OutPath;
  // The path of the entry handled last: the list's last entry once completed, whether or not
  // it got an entry of its own. Empty when no entry was handled.
  std::string CurFile;
};

// Writes the index page of the folder `CurPath` into it: a header, one entry per file of `Files`
// (re-read first, and its selection moved to each entry as it is handled), with an inline image
// under each picture when `ShowImages` is set, a total line and a timed footer. The page
// replaces any earlier one only once complete. When `Files` was read from a folder that is no
// longer the one at `CurPath`, nothing is written. Once `stop` is requested the run ends, as a
// failure of step kStopped, and the earlier page stays. Any failure ends the run and comes back
// as the failed outcome; only running out of memory throws (std::bad_alloc), as it does anywhere.
GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, FileList& Files,
                                const platform::Services& services, std::stop_token stop = {});

// Lines a page of a published tree has before its file entries, so that a reader can walk the
// tree: a link up to the parent folder's page, and one down to each sub-folder's.
struct FolderLinks {
  bool up = false;
  std::vector<std::string> down;  // the sub-folders' names, in the order the page shows them
};

// The same for a folder already open, as a walk down a tree opens them; its path is `CurPath`.
GenerationOutcome MakeIndexPageIn(const platform::Folder& folder, bool ShowImages, FileList& Files,
                                  const platform::Services& services,
                                  const FolderLinks& links = {});

}  // namespace quorvane
