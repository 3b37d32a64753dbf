#pragma once

// The publishing options tried on small trees, and what each run of them does: the same on every
// system, where each system's tool test runs them. That test defines QUORVANE_VERSION, the
// version the build gives the tool.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/path_separator.h"
#include "tests/support/temp_folder.h"

namespace quorvane::testing {

// The lines of `text`, sorted.
inline std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Replaces the first `from` in the file at `path` by `to`.
inline void Edit(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = ReadFile(path);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << path;
  WriteFile(path, text.replace(at, from.size(), to));
}

// `page` with the date and seconds of a run long ago, nothing else changed.
inline std::string Unstamped(std::string page) {
  const std::size_t date = page.find(" :: ") + 4;
  page.replace(date, page.find("</b>", date) - date, "1/2/1999 3:04:05 AM");
  const std::size_t seconds = page.find("page printed in ") + 16;
  page.replace(seconds, page.find(" seconds by ", seconds) - seconds, "12,345.67");
  return page;
}

// Gives the page at `path` the date and seconds of a run long ago, changing nothing else.
inline void Restamp(const std::string& path) { WriteFile(path, Unstamped(ReadFile(path))); }

// `run(folder, arguments)` runs the tool in `folder` and gives back its status, out and err;
// `pages_under(root)` lists the pages below `root` by their paths from it, "/" between names,
// sorted. Each case runs on a fresh copy of the tree.
template <typename Run, typename PagesUnder>
void CheckPublishingOptions(const Run& run, const PagesUnder& pages_under) {
  using Lines = std::vector<std::string>;
  using Checks = std::vector<std::pair<std::string, std::string>>;  // a page, and a text in it
  const Lines all_pages = {"quorvane_index.html", "old.tmp/quorvane_index.html",
                           "sub/deep/quorvane_index.html", "sub/quorvane_index.html"};
  const Lines with_hidden = {".hidden/quorvane_index.html", "quorvane_index.html",
                             "old.tmp/quorvane_index.html", "sub/deep/quorvane_index.html",
                             "sub/quorvane_index.html"};
  const std::string top_page = "top/quorvane_index.html";
  const std::string sub_page = "top/sub/quorvane_index.html";
  const std::string up = "<p><a href=\"../quorvane_index.html\">../</a>";
  const struct {
    Lines before;     // a run made first
    Lines arguments;  // run in the scratch folder, "/" standing for the system's separator
    Lines printed;    // pages, from top
    Lines on_disk;    // pages under top afterwards
    Checks has;
    Checks lacks;
    Lines made = {};  // besides the tree: folders, ending in "/", and files not of ours
    int status = 0;
    std::string err = {};  // when the status is 0
  } cases[] = {
      {{},
       {"-r", "top"},
       all_pages,
       all_pages,
       {{top_page, "href=\".dot.txt\""}, {top_page, "href=\"skip.tmp\""}},
       {{top_page, "sub/</a>"}}},
      {{}, {"-ra", "top"}, with_hidden, with_hidden, {}, {}},
      {{},
       {"-r", "-x", "*.tmp", "top"},
       {"quorvane_index.html", "sub/deep/quorvane_index.html", "sub/quorvane_index.html"},
       {"quorvane_index.html", "sub/deep/quorvane_index.html", "sub/quorvane_index.html"},
       {{top_page, "href=\"a.txt\""}},
       {{top_page, "skip.tmp"}}},
      {{},
       {"-ra", "--exclude=.*", "top"},
       all_pages,
       all_pages,
       {},
       {{top_page, ".dot.txt"}, {top_page, ".hidden"}}},
      // Sub-folders first, then the files, each in name order; no way up from the top.
      {{},
       {"-rs", "top"},
       all_pages,
       all_pages,
       {{top_page,
         "<hr>\r\n<p><a href=\"old.tmp/quorvane_index.html\">old.tmp/</a>\r\n"
         "<p><a href=\"sub/quorvane_index.html\">sub/</a>\r\n<p><a href=\".dot.txt\">"},
        {sub_page, "<hr>\r\n" + up +
                       "\r\n<p><a href=\"deep/quorvane_index.html\">deep/</a>\r\n"
                       "<p><a href=\"b.jpg\">"},
        {top_page, "<b>3 object(s) :: 3k</b>"}},
       {{top_page, "../"}}},
      // Never a way up from the top, even where the folder above has a page.
      {{"."}, {"-rs", "top"}, all_pages, all_pages, {}, {{top_page, "../"}}},
      // No link to a sub-folder whose page failed (a folder where it goes), nor up from below it.
      {{},
       {"-rs", "-x", "quorvane_index.html", "top"},
       // The page below it is written again without its way up, once that leads nowhere.
       {"quorvane_index.html", "old.tmp/quorvane_index.html", "sub/deep/quorvane_index.html",
        "sub/deep/quorvane_index.html"},
       {"quorvane_index.html", "old.tmp/quorvane_index.html", "sub/deep/quorvane_index.html"},
       {{top_page, "\"old.tmp/quorvane_index.html\""}},
       {{top_page, "\"sub/"}, {"top/sub/deep/quorvane_index.html", "../"}},
       {"top/sub/quorvane_index.html/"},
       1},
      // Paths below the top: that one folder or file, the top's own, folders only.
      {{},
       {"-r", "-x", "sub/deep", "-x", "sub/b.jpg", "top"},
       {"quorvane_index.html", "old.tmp/quorvane_index.html", "sub/quorvane_index.html",
        "deep/quorvane_index.html"},
       {"quorvane_index.html", "old.tmp/quorvane_index.html", "sub/quorvane_index.html",
        "deep/quorvane_index.html"},
       {{"top/deep/quorvane_index.html", "c.txt"}},
       {{sub_page, "b.jpg"}},
       {"top/deep/", "top/deep/c.txt"}},
      {{}, {"-r", "-x", "/deep", "top"}, all_pages, all_pages, {}, {}, {"top/deep/"}},
      {{},
       {"-r", "--exclude=deep/", "-x", "*.txt/", "-x", "no/such", "top"},
       {"quorvane_index.html", "old.tmp/quorvane_index.html", "sub/quorvane_index.html"},
       {"quorvane_index.html", "old.tmp/quorvane_index.html", "sub/quorvane_index.html"},
       {{top_page, "a.txt"}},
       {},
       {"top/deep/"},
       0,
       "quorvane-index: No file or folder matched -x '*.txt/' or -x 'no/such'\n"},
      // What a web site's readers see, in the title and the header.
      {{},
       {"-rs", "--root=/", "top"},
       all_pages,
       all_pages,
       {{top_page, "<title>/</title>"},
        {top_page, "<b>/ :: "},
        {sub_page, "<title>/sub/</title>"},
        {"top/sub/deep/quorvane_index.html", "<title>/sub/deep/</title>"}},
       {}},
      {{},
       {"--root=/Pub", "top/sub"},
       {"sub/quorvane_index.html"},
       {"sub/quorvane_index.html"},
       {{sub_page, "<title>/Pub/</title>"}, {sub_page, "<b>/pub/ :: "}},
       {}},
      // Without a walk, only links to pages there are, and up only to a page of ours.
      {{},
       {"-s", "top/sub"},
       {"sub/quorvane_index.html"},
       {"quorvane_index.html", "sub/quorvane_index.html"},
       {},
       {{sub_page, "../"}},
       {"top/quorvane_index.html"}},
      {{},
       {"-s", "top/sub"},
       {"sub/quorvane_index.html"},
       {"sub/quorvane_index.html"},
       {},
       {{sub_page, "../"}, {sub_page, "deep/"}}},
      {{"-r", "top"},
       {"-s", "top/sub"},
       {"sub/quorvane_index.html"},
       all_pages,
       {{sub_page, up}, {sub_page, "\"deep/quorvane_index.html\""}},
       {}},
      {{}, {"-rn", "top"}, all_pages, {}, {}, {}},
      {{}, {"--output=out.html", "top/sub"}, {"../out.html"}, {}, {{"out.html", "b.jpg"}}, {}},
      {{"-r", "top"},
       {"-sO", "top/sub/list.html", "top/sub"},
       {"sub/list.html"},
       all_pages,
       {{"top/sub/list.html", "\"deep/quorvane_index.html\""}},
       {{"top/sub/list.html", "list.html<"}}},
      {{"-r", "top"}, {"-ru", "top"}, {}, all_pages, {}, {}},
      {{"-ra", "top"},
       {"--clean", "-r", "top"},
       all_pages,
       {".hidden/quorvane_index.html"},
       {},
       {}},
      {{"-ra", "top"},
       {"--clean", "top/sub"},
       {"sub/quorvane_index.html"},
       {".hidden/quorvane_index.html", "quorvane_index.html", "old.tmp/quorvane_index.html",
        "sub/deep/quorvane_index.html"},
       {},
       {}},
  };
  for (const auto& c : cases) {
    const TempFolder scratch;
    const std::string top = scratch.AddFolder("top");
    for (const char* folder : {"top/sub", "top/sub/deep", "top/.hidden", "top/old.tmp"}) {
      scratch.AddFolder(folder);
    }
    for (const char* file : {"top/a.txt", "top/.dot.txt", "top/skip.tmp", "top/sub/b.jpg",
                             "top/sub/deep/c.txt", "top/.hidden/h.txt", "top/old.tmp/x.txt"}) {
      scratch.AddFile(file, 100);
    }
    for (const std::string& made : c.made) {
      if (made.back() == '/') {
        scratch.AddFolder(made.substr(0, made.size() - 1));
      } else {
        scratch.AddFile(made, 100);
      }
    }
    Lines arguments = c.arguments;
    std::string shown;
    for (std::string& argument : arguments) {
      // Paths only: patterns and what the pages show take "/" everywhere.
      if (argument.rfind("top", 0) == 0) {
        std::replace(argument.begin(), argument.end(), '/', platform::kPathSeparator);
      }
      shown += argument + " ";
    }
    if (!c.before.empty()) {
      const auto before = run(scratch.Path(), c.before);
      ASSERT_EQ(before.status, decltype(before.status){0}) << shown;
    }
    const auto result = run(scratch.Path(), arguments);
    EXPECT_EQ(result.status, decltype(result.status)(c.status)) << shown << result.err;
    if (c.status == 0) {
      EXPECT_EQ(result.err, c.err) << shown;
    }
    Lines printed;
    for (const std::string& page : c.printed) {
      printed.push_back(page.rfind("../", 0) == 0 ? scratch / page.substr(3)
                                                  : scratch / ("top/" + page));
    }
    std::sort(printed.begin(), printed.end());
    EXPECT_EQ(SortedLines(result.out), printed) << shown;
    Lines on_disk = c.on_disk;
    std::sort(on_disk.begin(), on_disk.end());
    EXPECT_EQ(pages_under(top), on_disk) << shown;
    for (const auto& [page, text] : c.has) {
      EXPECT_TRUE(Contains(ReadFile(scratch / page), text)) << shown << ": " << page << " " << text;
    }
    for (const auto& [page, text] : c.lacks) {
      EXPECT_FALSE(Contains(ReadFile(scratch / page), text))
          << shown << ": " << page << " " << text;
    }
  }
}

// When only the date and the seconds would change, the page is left as it was: the same file, the
// same time, its folder untouched; any other change writes it. `run` is as above; `stamp(path)`
// tells which file or folder is at `path` and when it last changed.
template <typename Run, typename Stamp>
void CheckUpdateLeavesUnchangedPages(const Run& run, const Stamp& stamp) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  scratch.AddFolder("top/sub");
  scratch.AddFile("top/a.txt", 10);
  scratch.AddFile("top/sub/b.txt", 10);
  const std::string top_page = scratch / "top/quorvane_index.html";
  const std::string sub_page = scratch / "top/sub/quorvane_index.html";
  const auto first = run(scratch.Path(), {"-rs", "top"});
  ASSERT_EQ(first.status, decltype(first.status){0}) << first.err;
  // Pages made at another time: their headers' dates and footers' seconds are not this run's.
  for (const std::string& page : {top_page, sub_page}) {
    Restamp(page);
  }
  const auto top_before = stamp(top_page);
  const auto sub_before = stamp(sub_page);
  const auto folder_before = stamp(top);
  const std::string text_before = ReadFile(top_page);
  const auto same = run(scratch.Path(), {"-rsu", "top"});
  EXPECT_EQ(same.status, decltype(same.status){0}) << same.err;
  EXPECT_EQ(same.out, "");
  EXPECT_EQ(stamp(top_page), top_before);
  EXPECT_EQ(stamp(sub_page), sub_before);
  EXPECT_EQ(stamp(top), folder_before);
  EXPECT_EQ(ReadFile(top_page), text_before);

  scratch.AddFile("top/sub/new.txt");
  EXPECT_EQ(run(scratch.Path(), {"-rsun", "top"}).out, sub_page + "\n");
  EXPECT_EQ(stamp(sub_page), sub_before);
  EXPECT_EQ(run(scratch.Path(), {"-rsu", "top"}).out, sub_page + "\n");
  EXPECT_NE(stamp(sub_page), sub_before);
  EXPECT_EQ(stamp(top_page), top_before);
  // Without the links, and from another version, the page is another.
  EXPECT_EQ(run(scratch.Path(), {"-u", "top"}).out, top_page + "\n");
  EXPECT_EQ(run(scratch.Path(), {"-u", "top"}).out, "");
  Edit(top_page, std::string("quorvane ") + QUORVANE_VERSION + " from", "quorvane 0.9 from");
  EXPECT_EQ(run(scratch.Path(), {"-u", "top"}).out, top_page + "\n");
}

// The path of `name` in the folder `folder`, "/" in `name` standing for the system's separator.
inline std::string Below(const std::string& folder, std::string name) {
  std::replace(name.begin(), name.end(), '/', platform::kPathSeparator);
  return folder + platform::kPathSeparator + name;
}

// The pages under `top`, found by `pages_under`, each by its path from `top` with its text but
// for its date and seconds.
template <typename PagesUnder>
std::map<std::string, std::string> PageTexts(const std::string& top,
                                             const PagesUnder& pages_under) {
  std::map<std::string, std::string> texts;
  for (const std::string& page : pages_under(top)) {
    texts[page] = Unstamped(ReadFile(Below(top, page)));
  }
  return texts;
}

// Changes made in a tree that a watch keeps current, and the pages each writes again: those and
// no others are written, each the page a run of its own would write. `start(folder, arguments)`
// starts the tool watching in `folder`, giving a pointer to what has Printed(lines), which waits
// until each of the lines has been printed and gives all that was, and Stop(), which ends it and
// gives its status and the rest of what it printed and wrote as errors; `run`, `pages_under` and
// `stamp` are as above.
template <typename Start, typename Run, typename PagesUnder, typename Stamp>
void CheckWatchKeepsPagesCurrent(const Start& start, const Run& run, const PagesUnder& pages_under,
                                 const Stamp& stamp) {
  using Lines = std::vector<std::string>;
  namespace fs = std::filesystem;
  const Lines rs = {"-rs"};
  const struct {
    const char* what;
    Lines options;
    std::function<void(const TempFolder&)> change;
    Lines written;  // folders from top, "" for top
    const char* settle = "--settle=0";
  } cases[] = {
      {"a file added", rs, [](const TempFolder& t) { t.AddFile("top/a/new.txt"); }, {"a"}},
      {"a file removed",
       rs,
       [](const TempFolder& t) { ASSERT_TRUE(RemoveFile(t / "top/a/old.txt")); },
       {"a"}},
      {"a file renamed",
       rs,
       [](const TempFolder& t) { ASSERT_TRUE(Rename(t / "top/b/kept.txt", t / "top/b/k.txt")); },
       {"b"}},
      {"a file's time changed",
       rs,
       [](const TempFolder& t) {
         fs::last_write_time(fs::u8path(t / "top/a/deep/x.txt"),
                             fs::file_time_type::clock::now() - std::chrono::hours(30));
       },
       {"a/deep"}},
      {"a sub-tree added",
       rs,
       [](const TempFolder& t) {
         t.AddFolder("top/new");
         t.AddFolder("top/new/sub");
         t.AddFile("top/new/sub/n.txt", 3000);
       },
       {"", "new", "new/sub"}},
      // A second to settle: no page is written in a folder while it is being emptied.
      {"a sub-tree removed",
       rs,
       [](const TempFolder& t) { fs::remove_all(fs::u8path(t / "top/a")); },
       {""},
       "--settle=1"},
      {"a folder renamed",
       rs,
       [](const TempFolder& t) { ASSERT_TRUE(Rename(t / "top/a", t / "top/z")); },
       {"", "z", "z/deep"}},
      // Neither is walked nor linked, and the page above stays as it was.
      {"a dot-folder and an excluded one added",
       {"-rsu", "-x", "kept*"},
       [](const TempFolder& t) {
         t.AddFolder("top/.dot");
         t.AddFile("top/.dot/d.txt");
         t.AddFolder("top/kept.d");
         t.AddFile("top/kept.d/k.txt");
       },
       {}},
  };
  for (const auto& c : cases) {
    const TempFolder scratch;
    const std::string top = scratch.AddFolder("top");
    for (const char* folder : {"top/a", "top/a/deep", "top/b", "top/s"}) {
      scratch.AddFolder(folder);
    }
    for (const char* file : {"top/a/old.txt", "top/a/deep/x.txt", "top/b/kept.txt"}) {
      scratch.AddFile(file, 100);
    }
    // The pages' paths as the tool prints them, of the folders `folders` from top.
    const auto printed = [&](const Lines& folders) {
      std::set<std::string> paths;
      for (const std::string& folder : folders) {
        paths.insert(
            Below(top, folder.empty() ? "quorvane_index.html" : folder + "/quorvane_index.html"));
      }
      return paths;
    };
    Lines options = c.options;
    for (const char* argument : {"--watch", c.settle, "top"}) {
      options.push_back(argument);
    }
    auto tool = start(scratch.Path(), options);
    tool->Printed(printed({"", "a", "a/deep", "b", "s"}));
    std::map<std::string, decltype(stamp(top))> before;
    for (const std::string& page : pages_under(top)) {
      before.emplace(Below(top, page), stamp(Below(top, page)));
    }
    c.change(scratch);
    // Changed after the others, its page comes after theirs.
    scratch.AddFile("top/s/last.txt");
    Lines written = c.written;
    written.push_back("s");
    Lines lines = tool->Printed(printed(written));
    const auto end = tool->Stop();
    EXPECT_EQ(end.status, decltype(end.status){0}) << c.what << ": " << end.err;
    EXPECT_EQ(end.err, "") << c.what;
    for (const std::string& line : SortedLines(end.out)) {
      lines.push_back(line);
    }
    const std::set<std::string> expected = printed(written);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected) << c.what;
    for (const auto& [page, was] : before) {
      if (!expected.contains(page) && Exists(page)) {
        EXPECT_EQ(stamp(page), was) << c.what << ": " << page;
      }
    }
    const std::map<std::string, std::string> watched = PageTexts(top, pages_under);
    Lines again = c.options;
    again.push_back("top");
    ASSERT_EQ(run(scratch.Path(), again).status, decltype(end.status){0}) << c.what;
    EXPECT_EQ(watched, PageTexts(top, pages_under)) << c.what;
  }
}

}  // namespace quorvane::testing
