#pragma once

// What both windows do alike, as one table: each case fills a folder, starts the window on it,
// does one thing as a user does it, and says what the window then shows. Each window's tests
// run the table through a WindowUnderTest of their own.

#include <string>  // std::string
#include <vector>  // std::vector

#include "platform/path_separator.h"
#include "tests/support/temp_folder.h"

namespace quorvane::testing {

// A window, driven as a user drives it. Each action returns once the window has done it.
class WindowUnderTest {
 public:
  virtual ~WindowUnderTest() = default;
  // Starts the window on `folder`; false when no window came.
  virtual bool Start(const TempFolder& folder) = 0;
  virtual void Refresh() = 0;
  virtual void Make() = 0;
  virtual std::string PathText() const = 0;
  virtual std::string CountText() const = 0;
  // Whether cmdMake, chkView and chkImg take input; and cmdRefresh.
  virtual bool GenerationEnabled() const = 0;
  virtual bool RefreshEnabled() const = 0;
  // The words of the message box the last action showed, which is closed; empty for none.
  virtual std::string Reported() = 0;
};

enum class Then { kNothing, kAddAFileAndRefresh, kMake, kMakeAndRefresh };

struct WindowCase {
  const char* name;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  Then then;
  const char* count;  // lblFCount then
  bool generation_enabled;
  const char* page;       // a line of the page then, "" where there is none
  bool reports_the_page;  // whether a message box names the page
};

inline const WindowCase kWindowCases[] = {
    {"start-up on three files and two folders",
     {"a.txt", "b.jpg", "c.html"},
     {"sub1", "sub2"},
     Then::kNothing,
     "3",
     true,
     "",
     false},
    {"a folder holding only a folder", {}, {"only"}, Then::kNothing, "0", false, "", false},
    {"refresh shows a file added since",
     {"a.txt"},
     {},
     Then::kAddAFileAndRefresh,
     "2",
     true,
     "",
     false},
    {"make writes the page, and the count stays",
     {"a.txt", "b.jpg", "c.html"},
     {},
     Then::kMake,
     "3",
     true,
     "<b>3 object(s) :: 3k</b>",
     false},
    {"refresh after make counts the page",
     {"a.txt", "b.jpg", "c.html"},
     {},
     Then::kMakeAndRefresh,
     "4",
     true,
     "<b>3 object(s) :: 3k</b>",
     false},
    {"a folder in the page's place is reported, nothing written",
     {"a.txt"},
     {"quorvane_index.html"},
     Then::kMake,
     "1",
     true,
     "",
     true},
};

// What the window shows otherwise than the case says, a line for each difference.
inline std::vector<std::string> Mismatches(const WindowCase& c, WindowUnderTest& window) {
  const TempFolder folder;
  for (const std::string& name : c.files) {
    folder.AddFile(name, 1024);
  }
  for (const std::string& name : c.folders) {
    folder.AddFolder(name);
  }
  if (!window.Start(folder)) {
    return {"no window came"};
  }
  if (c.then == Then::kAddAFileAndRefresh) {
    folder.AddFile("added.txt");
    window.Refresh();
  } else if (c.then == Then::kMake || c.then == Then::kMakeAndRefresh) {
    window.Make();
  }
  const std::string reported = window.Reported();
  if (c.then == Then::kMakeAndRefresh) {
    window.Refresh();
  }
  std::vector<std::string> differences;
  const auto differ = [&](bool same, const std::string& what) {
    if (!same) {
      differences.push_back(what);
    }
  };
  const std::string name = folder.Path().substr(folder.Path().find_last_of("/\\") + 1);
  const std::string path = window.PathText();
  differ(path.size() > name.size() && path.compare(path.size() - name.size() - 1, std::string::npos,
                                                   name + platform::kPathSeparator) == 0,
         "lblPath shows " + path);
  differ(window.CountText() == c.count, "lblFCount shows " + window.CountText());
  differ(window.GenerationEnabled() == c.generation_enabled, "generation enabled wrongly");
  differ(window.RefreshEnabled(), "Refresh List disabled");
  const std::string page = ReadFile(folder / "quorvane_index.html");
  differ(*c.page == '\0' ? page.empty() : page.find(c.page) != std::string::npos,
         "the page holds: " + page);
  differ(c.reports_the_page ? reported.find("quorvane_index.html") != std::string::npos
                            : reported.empty(),
         "the message box said: " + reported);
  return differences;
}

}  // namespace quorvane::testing
