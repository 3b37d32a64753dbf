#pragma once

#include <optional>     // std::optional
#include <stop_token>   // std::stop_token
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "index/folder_listing.h"
#include "index/name_list.h"
#include "index/page_sink.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace quorvane {

// The name of the page, written into the folder it lists.
inline constexpr char IndexFileName[] = "quorvane_index.html";

// The file extensions, compared exactly and with letter case, of the files shown as pictures.
inline constexpr const char* ImageExtensions[] = {"jpeg", "jpg",  "gif", "bmp",
                                                  "tif",  "tiff", "png"};

// Lines a page of a published tree has before its file entries, so that a reader can walk the
// tree: a link up to the parent folder's page, and one down to each sub-folder's.
struct FolderLinks {
  bool up = false;
  std::vector<std::string> down;  // the sub-folders' names, in the order the page shows them
};

// What one page is made of.
struct PageRequest {
  std::string_view CurPath;            // the folder's path as the page shows it, with its separator
  const NameList& names;               // the files, in name order
  const platform::FactsSource& facts;  // their lengths and last changes
  bool ShowImages = false;             // an inline image under each picture's entry
  const FolderLinks* links = nullptr;  // none for a page on its own
  double t0 = 0;                       // when the run began, on the clock's monotonic seconds
  // What the title and the header show in place of CurPath, such as the path a web site's
  // readers see; CurPath when none.
  std::optional<std::string_view> shown = std::nullopt;
};

// Writes the index page of `request` into `sink`: a header, one entry per name (the page itself,
// from an earlier run, is no entry of its own), each picture's image when asked, a total line and
// a timed footer; `progress` is told of each entry as the writer comes to it. Any failure ends the
// run, and so does `stop` (kStopped), before the sink is finished; running out of memory throws
// std::bad_alloc, as it does anywhere.
platform::Result<PageEnd> WriteIndexPage(const PageRequest& request, PageSink& sink,
                                         PageProgress& progress, const platform::Services& services,
                                         std::stop_token stop = {});

// The end of one page generation from the window.
struct GenerationOutcome {
  // The page written, once completed; why the run failed, when it did not.
  platform::Result<std::string> OutPath;
  // The path of the entry handled last: the list's last entry once completed, whether or not
  // it got an entry of its own. Empty when no entry was handled.
  std::string CurFile{};
};

// Writes the index page of the folder `CurPath` into it, from `Files`, which is re-read first and
// its selection moved to each entry as it is handled, with an inline image under each picture
// when `ShowImages` is set. The page replaces any earlier one only once complete. When `Files`
// was read from a folder that is no longer the one at `CurPath`, nothing is written. Once `stop`
// is requested the run ends (kStopped) and the earlier page stays.
GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, FileList& Files,
                                const platform::Services& services, std::stop_token stop = {});

}  // namespace quorvane
