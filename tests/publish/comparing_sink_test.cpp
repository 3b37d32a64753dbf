#include "publish/comparing_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "index/program_version.h"
#include "tests/support/platform_probes.h"

namespace quorvane::tool {
namespace {

// A page in place held in memory, read a few bytes at a time so that lines cross every read;
// from `readable` on, reading it fails. Unless `in_place`, it has gone from its place since.
class OldPage final : public platform::PageReader {
 public:
  explicit OldPage(std::string text, std::size_t readable = std::string::npos, bool in_place = true)
      : text_(std::move(text)), readable_(readable), in_place_(in_place) {}
  std::uint64_t Size() const override { return text_.size(); }
  platform::Result<std::size_t> ReadAt(std::uint64_t offset, char* buffer,
                                       std::size_t size) const override {
    if (offset >= readable_) {
      return platform::Failure(platform::Step::kReadPage, "/srv/page", EIO);
    }
    if (offset >= text_.size()) {
      return 0;
    }
    const std::size_t count = std::min({size, std::size_t{7}, text_.size() - offset});
    text_.copy(buffer, count, offset);
    return count;
  }
  platform::Result<> Remove() const override { return {}; }
  platform::Result<> CheckRemoval() const override { return {}; }
  platform::Result<bool> InPlace() const override { return in_place_; }

 private:
  std::string text_;
  std::size_t readable_;
  bool in_place_;
};

std::string Page(const std::string& path, const std::string& date, const std::string& entries,
                 const std::string& seconds, const std::string& version = kProgramVersionText) {
  return "<html>\r\n<head><title>" + path + "</title></head>\r\n<body>\r\n<hr>\r\n<b>" + path +
         " :: " + date + "</b>\r\n<hr>\r\n" + entries +
         "<br>&nbsp;\r\n<hr>\r\n<b>1 object(s) :: 1k</b>\r\n" +
         "<hr>\r\n<font size=1>\r\npage printed in " + seconds + " seconds by quorvane " + version +
         " from <a href=\"https://quorvane.org/\">the quorvane project</a>\r\n</font>\r\n<hr>\r\n"
         "</body>\r\n</html>\r\n";
}

// The sink the page goes to once it differs: what it was given.
class Recorded final : public PageSink {
 public:
  explicit Recorded(std::string& bytes) : bytes_(bytes) {}
  platform::Result<> Write(std::string_view piece) override {
    bytes_.append(piece);
    return {};
  }
  platform::Result<PageEnd> Finish() override { return PageEnd::kPlaced; }

 private:
  std::string& bytes_;
};

// Gives `page` to a comparing sink over `old` in the pieces `pieces` cuts it into; returns how it
// ended and what was written, "(unchanged)" when nothing was.
std::string Compared(const std::string& page, const std::string& old, std::size_t readable,
                     const std::vector<std::size_t>& cuts, bool in_place = true) {
  std::string written;
  bool opened = false;
  ComparingSink sink(std::make_unique<OldPage>(old, readable, in_place), "/srv/page", [&] {
    opened = true;
    return platform::Result<std::unique_ptr<PageSink>>(std::make_unique<Recorded>(written));
  });
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    if (const platform::Result<> piece =
            sink.Write(std::string_view(page).substr(from, cut - from));
        !piece) {
      return testing::FailureOf(piece);
    }
    from = cut;
  }
  const platform::Result<PageEnd> end = sink.Finish();
  if (!end) {
    return testing::FailureOf(end);
  }
  EXPECT_EQ(opened, *end == PageEnd::kPlaced);
  return *end == PageEnd::kUnchanged ? std::string("(unchanged)") : written;
}

const std::string kEntry = "<p><a href=\"a.txt\">a.txt</a> (12/07/26 09:30:00, 1k)\r\n";

// A page the same but for its date and seconds is never written; any other is written whole, the
// bytes held back meanwhile taken from the old page but for its date and seconds.
TEST(ComparingSinkTest, WritesThePageWholeOnlyWhenMoreThanItsDateAndSecondsChange) {
  const std::string path = "/srv/a :: b/";  // a path that holds the date's separator itself
  const std::string page = Page(path, "12/07/26 09:30:00", kEntry, "0.01");
  const struct {
    const char* name;
    std::string old_page;
    bool same;
  } cases[] = {
      {"the same", page, true},
      {"another date and time", Page(path, "1/1/2030 11:59:59 PM", kEntry, "0.01"), true},
      {"other seconds", Page(path, "12/07/26 09:30:00", kEntry, "1,234.50"), true},
      {"both", Page(path, "", kEntry, ""), true},
      {"another path", Page("/srv/a :: c/", "12/07/26 09:30:00", kEntry, "0.01"), false},
      {"another entry", Page(path, "12/07/26 09:30:00", "<p>x\r\n", "0.01"), false},
      {"an entry more", Page(path, "12/07/26 09:30:00", kEntry + kEntry, "0.01"), false},
      {"no entry", Page(path, "12/07/26 09:30:00", "", "0.01"), false},
      {"another version", Page(path, "12/07/26 09:30:00", kEntry, "0.01", "1.0.5"), false},
      {"another date and version", Page(path, "1/1/2030", kEntry, "0.01", "1.0.5"), false},
      {"more after its end", page + "\r\n", false},
      {"cut short", page.substr(0, page.size() - 2), false},
      {"a line end only", page.substr(0, 40) + "\n" + page.substr(40), false},
      {"one long line", std::string(1 << 20, 'x'), false},
      {"nothing", "", false},
  };
  const std::string expected_unchanged = "(unchanged)";
  for (const auto& c : cases) {
    const std::string& expected = c.same ? expected_unchanged : page;
    // The new page comes in two pieces, split anywhere, and in pieces of one byte.
    for (std::size_t split = 0; split <= page.size(); split += 17) {
      EXPECT_EQ(Compared(page, c.old_page, std::string::npos, {split, page.size()}), expected)
          << c.name << " split at " << split;
    }
    std::vector<std::size_t> bytes(page.size());
    for (std::size_t i = 0; i < page.size(); ++i) {
      bytes[i] = i + 1;
    }
    EXPECT_EQ(Compared(page, c.old_page, std::string::npos, bytes), expected) << c.name;
  }
  // The same page, gone from its place since it was read (another run's --clean, a user's rm),
  // is written again, as a first page.
  EXPECT_EQ(Compared(page, page, std::string::npos, {page.size()}, false), page);
  // An old page that cannot be read to its end, at its end or at its start, fails: it is not
  // known to differ.
  for (const std::size_t readable : {std::size_t{0}, std::size_t{100}, page.size()}) {
    EXPECT_EQ(Compared(page, page, readable, {page.size()}),
              "Cannot read the page /srv/page: " + std::generic_category().message(EIO));
  }
}

}  // namespace
}  // namespace quorvane::tool
