#include "index/index_page_writer.h"

#include <algorithm>    // std::max
#include <cstdint>      // std::int64_t
#include <memory>       // std::unique_ptr
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "index/facts_reader.h"
#include "index/file_name_splitter.h"
#include "index/html_text.h"
#include "index/program_version.h"
#include "platform/failure.h"

namespace quorvane {
namespace {

using platform::Failure;
using platform::Step;

// The page goes to the system in blocks of about this size.
constexpr std::size_t kBlockSize = 1 << 20;

const FolderLinks kNoFolderLinks;

bool IsImageExtension(std::string_view extension) {
  for (const std::string_view image : ImageExtensions) {
    if (extension == image) {
      return true;
    }
  }
  return false;
}

// Adds `value` to `sum`; fails with `step` at the entry `name` when the sum overflows.
platform::Result<> CheckedAdd(std::int64_t& sum, std::int64_t value, Step step,
                              const std::string& CurPath, std::string_view name) {
  if (__builtin_add_overflow(sum, value, &sum)) {
    return Failure(step, CurPath + std::string(name));
  }
  return {};
}

// One generation: the page's text is built in a buffer that goes out in large blocks.
class PageWriter {
 public:
  PageWriter(bool ShowImages, FileList& Files, const platform::Services& services,
             std::stop_token stop, const FolderLinks& links = kNoFolderLinks)
      : show_images_(ShowImages),
        files_(Files),
        services_(services),
        stop_(std::move(stop)),
        links_(links),
        dates_(services.regional) {
    text_.reserve(kBlockSize + 64 * 1024);
  }

  // Writes the page of `folder`, begun at `t0`; gives the page's path.
  platform::Result<std::string> Write(const platform::Folder& folder, double t0) {
    const std::string& CurPath = folder.Path();
    if (platform::Result<> read = files_.ReReadFrom(folder, stop_); !read) {
      return read.Error();
    }
    listed_ = true;
    platform::Result<std::unique_ptr<platform::PageOutput>> page = folder.CreatePage(IndexFileName);
    if (!page) {
      return page.Error();
    }
    page_ = std::move(*page);
    WriteHeader(CurPath);
    WriteFolderLinks();
    if (platform::Result<> entries = WriteEntries(folder, CurPath); !entries) {
      return entries.Error();
    }
    WriteTotals();
    WriteFooter(t0);
    Flush();
    if (!written_) {
      return written_.Error();
    }
    if (stop_.stop_requested()) {
      return Failure(Step::kStopped, CurPath);
    }
    if (platform::Result<> committed = page_->Commit(); !committed) {
      return committed.Error();
    }
    return CurPath + IndexFileName;
  }

  // The path of the entry handled last, which the list's selection is on; empty before the first.
  std::string CurFile() const {
    return listed_ && files_.Selected() >= 0 ? files_.Folder() + std::string(files_.CurrentName())
                                             : std::string();
  }

 private:
  // Sends what the buffer holds on to the page, unless a write has failed already: that failure
  // ends the run at the next entry or at the end.
  void Flush() {
    if (written_) {
      written_ = page_->Write(text_);
    }
    text_.clear();
  }

  void EndLine() {
    text_ += "\r\n";
    if (text_.size() >= kBlockSize) {
      Flush();
    }
  }

  void Line(std::string_view line) {
    text_ += line;
    EndLine();
  }

  void WriteHeader(const std::string& CurPath) {
    Line("<html>");
    text_ += "<head><title>";
    AppendHtmlText(text_, CurPath);
    Line("</title></head>");
    Line("<body>");
    Line("<hr>");
    text_ += "<b>";
    AppendHtmlText(text_, services_.regional.Lower(CurPath));
    text_ += " :: ";
    text_ += services_.regional.DateTimeText(services_.clock.LocalNow());
    Line("</b>");
    Line("<hr>");
  }

  // Each in the form of a file's entry, named as the folder is with a "/" after it.
  void WriteFolderLinks() {
    if (links_.up) {
      text_ += "<p><a href=\"../";
      text_ += IndexFileName;
      Line("\">../</a>");
    }
    for (const std::string& name : links_.down) {
      text_ += "<p><a href=\"";
      AppendLinkTarget(text_, name);
      text_ += '/';
      text_ += IndexFileName;
      text_ += "\">";
      AppendHtmlText(text_, name);
      Line("/</a>");
    }
  }

  platform::Result<> WriteEntries(const platform::Folder& folder, const std::string& CurPath) {
    FactsReader facts_reader(folder, files_.Names(), stop_);
    const std::int64_t n = files_.Count();
    for (std::int64_t i = 0; i < n; ++i) {
      if (stop_.stop_requested()) {
        return Failure(Step::kStopped, CurPath);
      }
      if (!written_) {
        return written_;
      }
      files_.Select(i);
      const std::string_view name = files_.CurrentName();
      // The page itself, from an earlier run, is no entry of its own.
      if (name == IndexFileName) {
        continue;
      }
      platform::Result<platform::FileFacts> facts = facts_reader.Get(static_cast<std::size_t>(i));
      platform::Result<> entry = facts ? WriteEntry(CurPath, name, *facts) : facts.Error();
      if (!entry) {
        // A stop while the facts were read leaves them unread.
        return stop_.stop_requested() ? Failure(Step::kStopped, CurPath) : entry;
      }
    }
    // A stop while the last facts were read leaves them unread.
    if (stop_.stop_requested()) {
      return Failure(Step::kStopped, CurPath);
    }
    return {};
  }

  // Writes the entry of the file `name` and counts it.
  platform::Result<> WriteEntry(const std::string& CurPath, std::string_view name,
                                const platform::FileFacts& facts) {
    const std::int64_t kb = std::max<std::int64_t>(facts.length / 1024, 1);
    text_ += "<p><a href=\"";
    AppendLinkTarget(text_, name);
    text_ += "\">";
    AppendHtmlText(text_, name);
    text_ += "</a> (";
    dates_.Append(text_, facts.modified);
    text_ += ", ";
    services_.regional.AppendGrouped(text_, kb);
    Line("k)");
    if (show_images_) {
      // The name alone: a folder's path, however long, has no say in it.
      const platform::Result<std::string> extension = GetFileExt(name, scratch_name_, false);
      if (!extension) {
        return Failure(extension.Error().step, CurPath + std::string(name));
      }
      if (IsImageExtension(*extension)) {
        text_ += "<br><img src=\"";
        AppendLinkTarget(text_, name);
        Line("\" border=1>");
      }
    }
    platform::Result<> counted = CheckedAdd(count_, 1, Step::kCountOverflow, CurPath, name);
    return counted ? CheckedAdd(total_, kb, Step::kTotalOverflow, CurPath, name) : counted;
  }

  void WriteTotals() {
    Line("<br>&nbsp;");
    Line("<hr>");
    text_ += "<b>";
    text_ += std::to_string(count_);
    text_ += " object(s) :: ";
    services_.regional.AppendGrouped(text_, total_);
    Line("k</b>");
    Line("<hr>");
  }

  void WriteFooter(double t0) {
    Line("<font size=1>");
    const double t1 = services_.clock.MonotonicSeconds();
    text_ += "page printed in ";
    text_ += services_.regional.Fixed2(t1 - t0);
    text_ += " seconds by quorvane ";
    text_ += kProgramVersionText;
    // The credit: a space, then a link to the publisher.
    text_ += " from <a href=\"";
    AppendHtmlText(text_, kPublisherUrl);
    text_ += "\">";
    AppendHtmlText(text_, kPublisherName);
    Line("</a>");
    Line("</font>");
    Line("<hr>");
    Line("</body>");
    Line("</html>");
  }

  const bool show_images_;
  FileList& files_;
  const platform::Services& services_;
  const std::stop_token stop_;
  const FolderLinks& links_;
  platform::DateTimeTexts dates_;
  std::unique_ptr<platform::PageOutput> page_;
  std::string text_;
  platform::Result<> written_;  // whether all the text sent on was written
  std::string scratch_name_;
  std::int64_t count_ = 0;
  std::int64_t total_ = 0;
  bool listed_ = false;  // whether the list was read for this page
};

}  // namespace

GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, FileList& Files,
                                const platform::Services& services, std::stop_token stop) {
  const double t0 = services.clock.MonotonicSeconds();
  if (stop.stop_requested()) {
    return {Failure(Step::kStopped, CurPath), {}};
  }
  const platform::Result<std::unique_ptr<platform::Folder>> folder =
      services.files.OpenFolder(CurPath);
  if (!folder) {
    return {folder.Error(), {}};
  }
  // The path may now lead elsewhere (a volume unmounted, a folder replaced): a page written
  // there would not be the page of the list the user sees.
  if (Files.Identity() && *Files.Identity() != (*folder)->Identity()) {
    return {Failure(Step::kFolderChanged, CurPath), {}};
  }
  PageWriter writer(ShowImages, Files, services, std::move(stop));
  GenerationOutcome outcome{writer.Write(**folder, t0), {}};
  outcome.CurFile = writer.CurFile();
  return outcome;
}

GenerationOutcome MakeIndexPageIn(const platform::Folder& folder, bool ShowImages, FileList& Files,
                                  const platform::Services& services, const FolderLinks& links) {
  const double t0 = services.clock.MonotonicSeconds();
  PageWriter writer(ShowImages, Files, services, std::stop_token(), links);
  GenerationOutcome outcome{writer.Write(folder, t0), {}};
  outcome.CurFile = writer.CurFile();
  return outcome;
}

}  // namespace quorvane
