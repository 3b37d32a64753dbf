// Pages quorvane-index writes, read by a real browser.

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <thread>
#include <tuple>

#include "tool_runs.h"

namespace quorvane::testing {
namespace {

// Runs headless Chromium on the file `page` and returns the document as it stands once loaded.
std::string DomOf(const std::string& page) {
  const TempFolder profile;
  const ToolRun chromium{
      profile.Path(),
      {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
       "--disable-background-networking", "--disable-component-update", "--disable-sync",
       "--user-data-dir=" + profile.Path(), "--allow-file-access-from-files",
       "--virtual-time-budget=10000", "--dump-dom", "file://" + page}};
  const TempFolder capture;
  const pid_t child = fork();
  if (child == 0) {
    const int out = open((capture / "dom").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(out, 1);
    dup2(null, 2);
    std::vector<char*> argv{const_cast<char*>("/usr/bin/chromium")};
    for (const auto& argument : chromium.arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  EXPECT_EQ(WaitFor(child), 0) << "headless Chromium did not run; scripts/setup installs it";
  return ReadFile(capture / "dom");
}

// A page over names made to break it, read by a real browser: every link and picture leads to
// its own file, and the page holds the elements the format writes and nothing else.
TEST(QuorvaneIndexToolTest, BrowserFollowsEveryLinkToItsFile) {
  const TempFolder scratch;
  const std::string folder = scratch.AddFolder("hostile");
  const std::vector<std::string> names = {"q\"uote.png",     "<script>alert(1)<\\script>.png",
                                          "#frag.png",       "%41.png",
                                          "?q.png",          "&amp;.png",
                                          " lead.png",       "trail.png ",
                                          "bad\xFF\xFE.png", "new\nline.png",
                                          "a&b c.txt",       "back\\slash.png",
                                          "plain.jpg"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    WriteFile(folder + "/" + names[i], "F" + std::to_string(i) + ".");
  }
  ASSERT_EQ(RunTool({folder, {"--images"}}).status, 0);

  // The page is looked at from a frame, so that a script of the test reads what the browser
  // made of it: its elements, and the file behind each link and picture.
  const std::string viewer = scratch / "viewer.html";
  WriteFile(viewer, R"(<html><body><pre id="out"></pre><iframe id="page" src="file://)" + folder +
                        R"(/quorvane_index.html"></iframe><script>
document.getElementById('page').onload = function () {
  const page = this.contentDocument;
  const fetched = (url) => {
    const request = new XMLHttpRequest();
    request.open('GET', url, false);
    request.send();
    return request.responseText;
  };
  const tags = new Set([...page.querySelectorAll('*')].map(e => e.tagName));
  const lines = ['TAGS ' + [...tags].sort().join(' ')];
  for (const a of page.querySelectorAll('a[href]'))
    if (!a.getAttribute('href').startsWith('https:')) lines.push('LINK ' + fetched(a.href));
  for (const img of page.querySelectorAll('img')) lines.push('IMG ' + fetched(img.src));
  lines.push('SCRIPTS ' + page.scripts.length, 'END');
  document.getElementById('out').textContent = lines.join('|');
};
</script></body></html>)");
  const std::string dom = DomOf(viewer);
  const std::size_t start = dom.find("<pre id=\"out\">TAGS ");
  ASSERT_NE(start, std::string::npos) << dom;
  const std::string report = dom.substr(start, dom.find("|END", start) - start + 1);

  EXPECT_TRUE(Contains(report, "TAGS A B BODY BR FONT HEAD HR HTML IMG P TITLE|")) << report;
  EXPECT_TRUE(Contains(report, "|SCRIPTS 0|")) << report;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string content = "F" + std::to_string(i) + ".";
    EXPECT_TRUE(Contains(report, "|LINK " + content + "|")) << names[i] << "\n" << report;
    const std::string ending = names[i].substr(names[i].size() - 4);
    const bool picture = ending == ".png" || ending == ".jpg";
    EXPECT_EQ(Contains(report, "|IMG " + content + "|"), picture) << names[i];
  }
  std::size_t links = 0;
  for (std::size_t at = 0; (at = report.find("|LINK ", at)) != std::string::npos; ++at) {
    ++links;
  }
  EXPECT_EQ(links, names.size());
}

// A tree of folders named to break links, published with links between its pages, walked in a
// real browser from the top page: every page is reached by following the links down, and each
// page's link up leads back to the page it was reached from. A folder the user cannot enter and
// one whose page fails get no link, and nothing links above the top, though a page is there.
TEST(QuorvaneIndexToolTest, BrowserWalksATreeOfPagesDownAndBackUp) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  std::vector<std::string> folders = {top, scratch.AddFolder("top/plain"),
                                      scratch.AddFolder("top/blocked"),
                                      scratch.AddFolder("top/blocked/quorvane_index.html")};
  const std::vector<std::string> names = {"q\"uote",     "<script>alert(1)<\\script>",
                                          "#frag",       "%41",
                                          "?q",          "&amp;",
                                          " lead",       "trail ",
                                          "bad\xFF\xFE", "new\nline",
                                          "back\\slash", "a&b c",
                                          "%2e%2e"};
  for (const std::string& name : names) {
    folders.push_back(scratch.AddFolder("top/" + name));
    scratch.AddFile(folders.back().substr(scratch.Path().size() + 1) + "/f.txt");
    folders.push_back(scratch.AddFolder("top/plain/" + name));
  }
  for (const std::string& folder : folders) {
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0) << folder;
  }
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(scratch.AddFolder("top/locked").c_str(), 0700), 0);
  ASSERT_EQ(RunTool({scratch.Path(), {}}).status, 0);  // the page above the top
  ToolRun publish{scratch.Path(), {"-rs", "top"}};
  publish.as_nobody = true;
  const ToolResult run = RunTool(publish);
  ASSERT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "Cannot read the folder " + top + "/locked/")) << run.err;
  EXPECT_TRUE(Contains(run.err, "Cannot write the page " + top + "/blocked/quorvane_index.html"));
  const std::size_t pages = 2 + 2 * names.size();  // all but those two folders' own

  const std::string viewer = scratch / "viewer.html";
  WriteFile(viewer, R"(<html><body><pre id="out"></pre><script>
const fetched = (url) => {
  const request = new XMLHttpRequest();
  request.open('GET', url, false);
  request.send();
  return request.responseText;
};
const parent = new Map();
const queue = [['file://)" +
                        top + R"(/quorvane_index.html', null]];
let ups = 0;
const bad = [];
while (queue.length > 0) {
  const [url, from] = queue.shift();
  if (parent.has(url)) continue;
  parent.set(url, from);
  const text = fetched(url);
  if (!text.includes('</html>')) bad.push('MISSING ' + url);
  const page = new DOMParser().parseFromString(text, 'text/html');
  for (const a of page.querySelectorAll('a[href]')) {
    const href = a.getAttribute('href');
    const target = new URL(href, url).href;
    if (href === '../quorvane_index.html') {
      if (target === from) ups++; else bad.push('UP ' + url);
    } else if (href.endsWith('/quorvane_index.html')) {
      queue.push([target, url]);
    }
  }
}
document.getElementById('out').textContent =
    'PAGES ' + parent.size + '|UPS ' + ups + '|BAD ' + bad.join(' ') + '|END';
</script></body></html>)");
  const std::string dom = DomOf(viewer);
  const std::size_t start = dom.find("PAGES ");
  ASSERT_NE(start, std::string::npos) << dom;
  EXPECT_EQ(dom.substr(start, dom.find("|END", start) - start),
            "PAGES " + std::to_string(pages) + "|UPS " + std::to_string(pages - 1) + "|BAD ");
}

}  // namespace
}  // namespace quorvane::testing
