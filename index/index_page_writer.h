#pragma once

#include <string>  // std::string
#include <vector>  // std::vector

#include "index/folder_listing.h"
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
  std::string OutPath;      // the page written, when completed
  std::string description;  // why it failed, when not
};

// Writes the index page of the folder `CurPath` into it: a header, one entry per file of `Files`
// (re-read first, and its selection moved to each entry as it is handled), with an inline image
// under each picture when `ShowImages` is set, a total line and a timed footer. `CurFile` follows
// the entry being handled. The page replaces any earlier one only once complete. When `Files`
// was read from a folder that is no longer the one at `CurPath`, nothing is written. Never
// throws: any failure ends the run and comes back as the failed outcome.
GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, std::string& CurFile,
                                FileList& Files, const platform::Services& services);

// Lines a page of a published tree has before its file entries, so that a reader can walk the
// tree: a link up to the parent folder's page, and one down to each sub-folder's.
struct FolderLinks {
  bool up = false;
  std::vector<std::string> down;  // the sub-folders' names, in the order the page shows them
};

// The same for a folder already open, as a walk down a tree opens them; its path is `CurPath`.
GenerationOutcome MakeIndexPageIn(const platform::Folder& folder, bool ShowImages,
                                  std::string& CurFile, FileList& Files,
                                  const platform::Services& services,
                                  const FolderLinks& links = {});

}  // namespace quorvane
