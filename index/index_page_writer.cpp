#include "index/index_page_writer.h"

#include <algorithm>    // std::max
#include <cstdint>      // std::int64_t
#include <exception>    // std::exception
#include <new>          // std::bad_alloc
#include <string_view>  // std::string_view

#include "index/file_name_splitter.h"
#include "index/html_text.h"
#include "index/program_version.h"
#include "platform/failure.h"
#include "platform/text_file.h"

namespace quorvane {
namespace {

std::int64_t CheckedAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    throw platform::Failure("Overflow");
  }
  return sum;
}

bool IsImageExtension(std::string_view extension) {
  for (const std::string_view image : ImageExtensions) {
    if (extension == image) {
      return true;
    }
  }
  return false;
}

// The footer's credit: a space, then a link to the publisher.
std::string PublisherCredit() {
  std::string credit = " from <a href=\"";
  AppendHtmlText(credit, kPublisherUrl);
  credit += "\">";
  AppendHtmlText(credit, kPublisherName);
  credit += "</a>";
  return credit;
}

void WritePage(bool ShowImages, const std::string& CurPath, std::string& CurFile, FileList& Files,
               const platform::Services& services, std::string& OutPath) {
  const platform::Regional& regional = services.regional;
  const double t0 = services.clock.MonotonicSeconds();

  if (std::string error = Files.ReRead(); !error.empty()) {
    throw platform::Failure(error);
  }
  OutPath = CurPath + IndexFileName;
  platform::TextFile page(OutPath);

  std::string line;
  page.WriteLine("<html>");
  line = "<head><title>";
  AppendHtmlText(line, CurPath);
  line += "</title></head>";
  page.WriteLine(line);
  page.WriteLine("<body>");
  page.WriteLine("<hr>");
  line = "<b>";
  AppendHtmlText(line, regional.Lower(CurPath));
  line += " :: ";
  line += regional.DateTimeText(services.clock.LocalNow());
  line += "</b>";
  page.WriteLine(line);
  page.WriteLine("<hr>");

  std::int64_t count = 0;
  std::int64_t total = 0;
  std::string scratch_name;
  const std::int64_t n = Files.Count();
  for (std::int64_t i = 0; i < n; ++i) {
    Files.Select(i);
    const std::string& name = Files.CurrentName();
    CurFile.assign(CurPath).append(name);
    // The page itself, from an earlier run, is no entry of its own.
    if (CurFile == OutPath) {
      continue;
    }
    const platform::FileFacts facts = services.files.Facts(CurFile);
    const std::int64_t kb = std::max<std::int64_t>(facts.Length / 1024, 1);

    line = "<p><a href=\"";
    AppendLinkTarget(line, name);
    line += "\">";
    AppendHtmlText(line, name);
    line += "</a> (";
    line += regional.DateTimeText(platform::ToLocalTime(facts.Modified));
    line += ", ";
    line += regional.Grouped(kb);
    line += "k)";
    page.WriteLine(line);

    if (ShowImages && IsImageExtension(GetFileExt(CurFile, scratch_name, false))) {
      line = "<br><img src=\"";
      AppendLinkTarget(line, name);
      line += "\" border=1>";
      page.WriteLine(line);
    }
    count = CheckedAdd(count, 1);
    total = CheckedAdd(total, kb);
  }

  page.WriteLine("<br>&nbsp;");
  page.WriteLine("<hr>");
  line = "<b>";
  line += std::to_string(count);
  line += " object(s) :: ";
  line += regional.Grouped(total);
  line += "k</b>";
  page.WriteLine(line);
  page.WriteLine("<hr>");
  page.WriteLine("<font size=1>");

  const double t1 = services.clock.MonotonicSeconds();
  line = "page printed in ";
  line += regional.Fixed2(t1 - t0);
  line += " seconds by quorvane ";
  line += kProgramVersionText;
  line += PublisherCredit();
  page.WriteLine(line);

  page.WriteLine("</font>");
  page.WriteLine("<hr>");
  page.WriteLine("</body>");
  page.WriteLine("</html>");
  page.Close();
}

}  // namespace

GenerationOutcome MakeIndexPage(bool ShowImages, const std::string& CurPath, std::string& CurFile,
                                FileList& Files, const platform::Services& services) {
  GenerationOutcome outcome;
  try {
    WritePage(ShowImages, CurPath, CurFile, Files, services, outcome.OutPath);
    outcome.Completed = true;
  } catch (const std::bad_alloc&) {
    outcome.Description = "Out of memory";
  } catch (const std::exception& failure) {
    outcome.Description = failure.what();
  } catch (...) {
    outcome.Description = "Unknown failure";
  }
  if (!outcome.Completed) {
    outcome.OutPath.clear();
  }
  return outcome;
}

}  // namespace quorvane
