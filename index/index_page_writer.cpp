#include "index/index_page_writer.h"

#include <algorithm>  // std::max
#include <cstdint>    // std::int64_t
#include <memory>     // std::unique_ptr
#include <utility>    // std::move

#include "index/facts_reader.h"
#include "index/file_name_splitter.h"
#include "index/html_text.h"
#include "index/program_version.h"

namespace quorvane {
namespace {

using platform::Failure;
using platform::Result;
using platform::Step;

// The page goes to its sink in pieces of about this size.
constexpr std::size_t kPieceSize = 1 << 20;

const FolderLinks kNoFolderLinks;

bool IsImageExtension(std::string_view extension) {
  for (const std::string_view image : ImageExtensions) {
    if (extension == image) {
      return true;
    }
  }
  return false;
}

// One page: its text is built in a buffer that goes to the sink in large pieces.
class PageWriter {
 public:
  PageWriter(const PageRequest& request, PageSink& sink, const platform::Services& services)
      : request_(request),
        links_(request.links != nullptr ? *request.links : kNoFolderLinks),
        sink_(sink),
        services_(services),
        dates_(services.regional) {
    text_.reserve(kPieceSize + 64 * 1024);
  }

  Result<PageEnd> Write(PageProgress& progress, std::stop_token stop) {
    WriteHeader();
    WriteFolderLinks();
    QUORVANE_TRY(WriteEntries(progress, stop));
    WriteTotals();
    WriteFooter();
    Flush();
    QUORVANE_TRY(written_);
    if (stop.stop_requested()) {
      return Stopped();
    }
    return sink_.Finish();
  }

 private:
  Failure Stopped() const { return Failure(Step::kStopped, request_.CurPath); }

  // Sends what the buffer holds on to the sink, unless a write has failed already: that failure
  // ends the run at the next entry or at the end.
  void Flush() {
    if (written_) {
      written_ = sink_.Write(text_);
    }
    text_.clear();
  }

  void Line(std::string_view line) {
    text_ += line;
    text_ += "\r\n";
    if (text_.size() >= kPieceSize) {
      Flush();
    }
  }

  void WriteHeader() {
    const std::string_view shown = request_.shown.value_or(request_.CurPath);
    Line("<html>");
    text_ += "<head><title>";
    AppendHtmlText(text_, shown);
    Line("</title></head>");
    Line("<body>");
    Line("<hr>");
    text_ += "<b>";
    AppendHtmlText(text_, services_.regional.Lower(shown));
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

  Result<> WriteEntries(PageProgress& progress, const std::stop_token& stop) {
    FactsReader facts(request_.facts, request_.names, services_.executor, stop);
    const std::size_t n = request_.names.Size();
    for (std::size_t i = 0; i < n; ++i) {
      if (stop.stop_requested()) {
        return Stopped();
      }
      QUORVANE_TRY(written_);
      progress.At(static_cast<std::int64_t>(i));
      const std::string_view name = request_.names[i];
      // The page itself, from an earlier run, is no entry of its own.
      if (name == IndexFileName) {
        continue;
      }
      Result<platform::FileFacts> file = facts.Get(i);
      Result<> entry = file ? WriteEntry(name, *file) : std::move(file).Error();
      if (!entry) {
        // A stop while the facts were read leaves them unread.
        return stop.stop_requested() ? Stopped() : std::move(entry).Error();
      }
    }
    // A stop while the last facts were read leaves them unread.
    return stop.stop_requested() ? Result<>(Stopped()) : Result<>();
  }

  // Adds `value` to `sum`; fails with `step` at the entry `name` when the sum overflows.
  Result<> CheckedAdd(std::int64_t& sum, std::int64_t value, Step step,
                      std::string_view name) const {
    if (__builtin_add_overflow(sum, value, &sum)) {
      return Failure(step, std::string(request_.CurPath) + std::string(name));
    }
    return {};
  }

  // Writes the entry of the file `name` and counts it.
  Result<> WriteEntry(std::string_view name, const platform::FileFacts& facts) {
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
    if (request_.ShowImages) {
      QUORVANE_TRY(WriteImage(name));
    }
    QUORVANE_TRY(CheckedAdd(count_, 1, Step::kCountOverflow, name));
    return CheckedAdd(total_, kb, Step::kTotalOverflow, name);
  }

  Result<> WriteImage(std::string_view name) {
    // The name alone: a folder's path, however long, has no say in it.
    const Result<std::string> extension = GetFileExt(name, scratch_name_, false);
    if (!extension) {
      return Failure(extension.Error().step, std::string(request_.CurPath) + std::string(name));
    }
    if (IsImageExtension(*extension)) {
      text_ += "<br><img src=\"";
      AppendLinkTarget(text_, name);
      Line("\" border=1>");
    }
    return {};
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

  void WriteFooter() {
    Line("<font size=1>");
    const double t1 = services_.clock.MonotonicSeconds();
    text_ += "page printed in ";
    text_ += services_.regional.Fixed2(t1 - request_.t0);
    text_ += " seconds by quorvane ";
    text_ += kProgramVersionText;
    // The credit: a space, then a link to the publisher.
    text_ += " from <a href=\"";
    AppendHtmlText(text_, kPublisherUrl);
    text_ += "\">";
    AppendHtmlText(text_, kPublisherName);
    Line("</a>");
    for (const char* line : {"</font>", "<hr>", "</body>", "</html>"}) {
      Line(line);
    }
  }

  const PageRequest& request_;
  const FolderLinks& links_;
  PageSink& sink_;
  const platform::Services& services_;
  platform::DateTimeTexts dates_;
  std::string text_;
  Result<> written_;  // whether all the text sent on was written
  std::string scratch_name_;
  std::int64_t count_ = 0;
  std::int64_t total_ = 0;
};

// Moves the window's list's selection with the writer, as the user sees it step.
class SelectionFollows final : public PageProgress {
 public:
  explicit SelectionFollows(FileList& files) : files_(files) {}
  void At(std::int64_t position) override {
    files_.Select(position);
    moved_ = true;
  }
  // The path of the entry the writer came to last; empty before the first.
  std::string CurFile() const {
    return moved_ ? files_.Folder() + std::string(files_.CurrentName()) : std::string();
  }

 private:
  FileList& files_;
  bool moved_ = false;
};

Result<std::string> MakePage(bool ShowImages, const std::string& CurPath, FileList& Files,
                             SelectionFollows& selection, const platform::Services& services,
                             std::stop_token stop) {
  const double t0 = services.clock.MonotonicSeconds();
  if (stop.stop_requested()) {
    return Failure(Step::kStopped, CurPath);
  }
  QUORVANE_TRY_ASSIGN(const std::unique_ptr<platform::Folder> folder,
                      services.files.OpenFolder(CurPath));
  // The path may now lead elsewhere (a volume unmounted, a folder replaced): a page written
  // there would not be the page of the list the user sees.
  if (Files.Identity() && *Files.Identity() != folder->Identity()) {
    return Failure(Step::kFolderChanged, CurPath);
  }
  QUORVANE_TRY(Files.ReReadFrom(*folder, stop));
  folder->RemoveLeftovers();
  QUORVANE_TRY_ASSIGN(std::unique_ptr<platform::PageOutput> output,
                      folder->CreatePage(IndexFileName));
  PlacedPage page(std::move(output));
  const PageRequest request{folder->Path(), Files.Names(), *folder, ShowImages, nullptr, t0};
  QUORVANE_TRY(WriteIndexPage(request, page, selection, services, std::move(stop)));
  return folder->Path() + IndexFileName;
}

}  // namespace

Result<PageEnd> WriteIndexPage(const PageRequest& request, PageSink& sink, PageProgress& progress,
                               const platform::Services& services, std::stop_token stop) {
  return PageWriter(request, sink, services).Write(progress, std::move(stop));
}

GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, FileList& Files,
                                const platform::Services& services, std::stop_token stop) {
  SelectionFollows selection(Files);
  GenerationOutcome outcome{
      MakePage(ShowImages, CurPath, Files, selection, services, std::move(stop)), {}};
  outcome.CurFile = selection.CurFile();
  return outcome;
}

}  // namespace quorvane
