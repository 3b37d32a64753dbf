#include "index/index_page_writer.h"

#include <algorithm>     // std::max
#include <cstdint>       // std::int64_t
#include <exception>     // std::exception
#include <new>           // std::bad_alloc
#include <optional>      // std::optional
#include <string_view>   // std::string_view
#include <system_error>  // std::system_error

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

bool IsImageExtension(std::string_view extension) {
  for (const std::string_view image : ImageExtensions) {
    if (extension == image) {
      return true;
    }
  }
  return false;
}

void CheckedAdd(std::int64_t& sum, std::int64_t value, Step step, const std::string& CurPath,
                std::string_view name) {
  if (__builtin_add_overflow(sum, value, &sum)) {
    throw Failure(step, CurPath + std::string(name));
  }
}

// One generation: the page's text is built in a buffer that goes out in large blocks.
class PageWriter {
 public:
  PageWriter(bool ShowImages, FileList& Files, const platform::Services& services,
             std::stop_token stop)
      : show_images_(ShowImages),
        files_(Files),
        services_(services),
        stop_(std::move(stop)),
        dates_(services.regional) {
    text_.reserve(kBlockSize + 64 * 1024);
  }

  void Write(const platform::Folder& folder, double t0, std::string& OutPath) {
    const std::string& CurPath = folder.Path();
    files_.ReReadFrom(folder, stop_);
    listed_ = true;
    OutPath = CurPath + IndexFileName;
    page_ = folder.CreatePage(IndexFileName);
    WriteHeader(CurPath);
    WriteEntries(folder, CurPath);
    WriteTotals();
    WriteFooter(t0);
    page_->Write(text_);
    ThrowIfStopped(CurPath);
    page_->Commit();
  }

  // The path of the entry handled last, which the list's selection is on; empty before the first.
  std::string CurFile() const {
    return listed_ && files_.Selected() >= 0 ? files_.Folder() + std::string(files_.CurrentName())
                                             : std::string();
  }

 private:
  void ThrowIfStopped(const std::string& CurPath) const {
    if (stop_.stop_requested()) {
      throw Failure(Step::kStopped, CurPath);
    }
  }

  void EndLine() {
    text_ += "\r\n";
    if (text_.size() >= kBlockSize) {
      page_->Write(text_);
      text_.clear();
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

  void WriteEntries(const platform::Folder& folder, const std::string& CurPath) {
    FactsReader facts_reader(folder, files_.Names(), stop_);
    const std::int64_t n = files_.Count();
    for (std::int64_t i = 0; i < n; ++i) {
      ThrowIfStopped(CurPath);
      files_.Select(i);
      const std::string_view name = files_.CurrentName();
      // The page itself, from an earlier run, is no entry of its own.
      if (name == IndexFileName) {
        continue;
      }
      platform::FileFacts facts;
      if (const std::error_code error = facts_reader.Get(static_cast<std::size_t>(i), facts)) {
        ThrowIfStopped(CurPath);
        throw Failure(Step::kReadFileFacts, CurPath + std::string(name), error);
      }
      const std::int64_t kb = std::max<std::int64_t>(facts.length / 1024, 1);
      WriteEntry(CurPath, name, facts, kb);
      CheckedAdd(count_, 1, Step::kCountOverflow, CurPath, name);
      CheckedAdd(total_, kb, Step::kTotalOverflow, CurPath, name);
    }
    // A stop while the last facts were read leaves them unread.
    ThrowIfStopped(CurPath);
  }

  void WriteEntry(const std::string& CurPath, std::string_view name,
                  const platform::FileFacts& facts, std::int64_t kb) {
    text_ += "<p><a href=\"";
    AppendLinkTarget(text_, name);
    text_ += "\">";
    AppendHtmlText(text_, name);
    text_ += "</a> (";
    dates_.Append(text_, facts.modified);
    text_ += ", ";
    services_.regional.AppendGrouped(text_, kb);
    Line("k)");
    if (show_images_ && IsImage(CurPath, name)) {
      text_ += "<br><img src=\"";
      AppendLinkTarget(text_, name);
      Line("\" border=1>");
    }
  }

  bool IsImage(const std::string& CurPath, std::string_view name) {
    path_.assign(CurPath).append(name);
    return IsImageExtension(GetFileExt(path_, scratch_name_, false));
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
  platform::DateTimeTexts dates_;
  std::unique_ptr<platform::PageOutput> page_;
  std::string text_;
  std::string path_;  // the picture's path, for the file name splitter
  std::string scratch_name_;
  std::int64_t count_ = 0;
  std::int64_t total_ = 0;
  bool listed_ = false;  // whether the list was read for this page
};

// Runs `write` with `writer`, which it makes, turning any failure into the failed outcome;
// `Files` is the list it walks.
template <typename Write>
GenerationOutcome Generate(const FileList& Files, std::optional<PageWriter>& writer,
                           Write&& write) {
  GenerationOutcome outcome;
  try {
    write(outcome.OutPath);
    outcome.completed = true;
  } catch (const Failure& failure) {
    outcome.failure = failure;
  } catch (const std::bad_alloc&) {
    outcome.failure.emplace(Step::kOutOfMemory, "");
  } catch (const std::system_error& failure) {
    outcome.failure.emplace(Step::kWritePage, Files.Folder() + IndexFileName, failure.code());
  } catch (const std::exception&) {
    outcome.failure.emplace(Step::kWritePage, Files.Folder() + IndexFileName);
  }
  if (!outcome.completed) {
    outcome.OutPath.clear();
  }
  if (writer) {
    outcome.CurFile = writer->CurFile();
  }
  return outcome;
}

}  // namespace

GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, FileList& Files,
                                const platform::Services& services, std::stop_token stop) {
  std::optional<PageWriter> writer;
  return Generate(Files, writer, [&](std::string& OutPath) {
    const double t0 = services.clock.MonotonicSeconds();
    if (stop.stop_requested()) {
      throw Failure(Step::kStopped, CurPath);
    }
    const auto folder = services.files.OpenFolder(CurPath);
    // The path may now lead elsewhere (a volume unmounted, a folder replaced): a page written
    // there would not be the page of the list the user sees.
    if (Files.Identity() && *Files.Identity() != folder->Identity()) {
      throw Failure(Step::kFolderChanged, CurPath);
    }
    writer.emplace(ShowImages, Files, services, stop).Write(*folder, t0, OutPath);
  });
}

GenerationOutcome MakeIndexPageIn(const platform::Folder& folder, bool ShowImages, FileList& Files,
                                  const platform::Services& services) {
  std::optional<PageWriter> writer;
  return Generate(Files, writer, [&](std::string& OutPath) {
    const double t0 = services.clock.MonotonicSeconds();
    writer.emplace(ShowImages, Files, services, std::stop_token()).Write(folder, t0, OutPath);
  });
}

}  // namespace quorvane
