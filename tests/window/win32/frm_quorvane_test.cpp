// The real quorvane.exe under Wine on a virtual display, read back and driven from outside as a
// user and a screen reader meet it.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>  // std::count
#include <cstdlib>    // std::abs
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/utf16.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_cases.h"
#include "tests/support/windows/running_window.h"

namespace {

using quorvane::testing::ClassOf;
using quorvane::testing::Eventually;
using quorvane::testing::RunningWindow;
using quorvane::testing::TempFolder;
using quorvane::testing::TextOf;

struct Expected {
  const char* name;
  const wchar_t* window_class;
  const wchar_t* caption;
  int left, top, width, height;  // twips
  bool tab_stop;
};

// In tab order, which is the order the controls are made in.
const Expected kControls[] = {
    {"Drive1", WC_COMBOBOXW, L"", 0, 60, 3855, 315, true},
    {"Dir1", WC_TREEVIEWW, L"", 0, 420, 3855, 3015, true},
    {"File1", WC_LISTVIEWW, L"", 3900, 60, 3015, 3405, true},
    {"lblPath", WC_STATICW, nullptr, 0, 3480, 5355, 315, false},
    {"lblFCount", WC_STATICW, nullptr, 5460, 3480, 1450, 315, false},
    {"chkImg", WC_BUTTONW, L"Show &Images in HTML Page", 60, 3900, 2355, 300, true},
    {"chkView", WC_BUTTONW, L"&View HTML", 2520, 3900, 1335, 300, true},
    {"cmdRefresh", WC_BUTTONW, L"&Refresh List", 3960, 3900, 1440, 315, true},
    {"cmdMake", WC_BUTTONW, L"Make &HTML", 5460, 3900, 1450, 315, true},
};

bool WithinAPixel(int pixels, int twips) { return std::abs(pixels * 15 - twips) <= 15; }

// A folder holding three files and two sub-folders, and the window started on it.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(window_.Window(), nullptr) << "no window came"; }

  HWND Control(std::size_t i) const { return window_.Controls().at(i); }

  static const std::string& Filled(const TempFolder& folder) {
    folder.AddFile("a.txt");
    folder.AddFile("b.jpg", 2048);
    folder.AddFile("c.html");
    folder.AddFolder("sub1");
    folder.AddFolder("sub2");
    return folder.Path();
  }
  TempFolder folder_;
  RunningWindow window_{quorvane::testing::BuiltProgram(QUORVANE_PROGRAM_FROM_TESTS),
                        Filled(folder_)};
};

TEST_F(WindowTest, TheFormAndItsNineControlsAreWhereTheTwipsPutThem) {
  RECT client{};
  GetClientRect(window_.Window(), &client);
  EXPECT_EQ(client.right, 463);
  EXPECT_EQ(client.bottom, 284);

  const std::vector<HWND> controls = window_.Controls();
  ASSERT_EQ(controls.size(), std::size(kControls));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Expected& expected = kControls[i];
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(ClassOf(controls[i]), expected.window_class);
    if (expected.caption != nullptr) {
      EXPECT_EQ(TextOf(controls[i]), expected.caption);
    }
    const RECT place = window_.PlaceOf(controls[i]);
    EXPECT_TRUE(WithinAPixel(place.left, expected.left)) << place.left;
    EXPECT_TRUE(WithinAPixel(place.top, expected.top)) << place.top;
    EXPECT_TRUE(WithinAPixel(place.right - place.left, expected.width)) << place.right;
    EXPECT_TRUE(WithinAPixel(place.bottom - place.top, expected.height)) << place.bottom;
    const LONG style = GetWindowLongW(controls[i], GWL_STYLE);
    EXPECT_EQ((style & WS_TABSTOP) != 0, expected.tab_stop);
  }
  // A drop-down list of drives; a virtual list of names that holds a million, one chosen at most.
  EXPECT_EQ(GetWindowLongW(controls[0], GWL_STYLE) & CBS_DROPDOWNLIST, CBS_DROPDOWNLIST);
  const LONG files = GetWindowLongW(controls[2], GWL_STYLE);
  EXPECT_EQ(files & (LVS_OWNERDATA | LVS_SINGLESEL | LVS_TYPEMASK),
            LVS_OWNERDATA | LVS_SINGLESEL | LVS_REPORT);
}

// Started with no folder in the root of a drive, the window shows that root: with three files
// and two sub-folders, its path, 3 and generation on; with only a folder, 0 and only "Refresh
// List" on. The drive is Q:, an empty folder the tests' Wine gives them for it.
TEST(DriveRootTest, StartsInTheRootOfTheWorkingFoldersDrive) {
  if (GetFileAttributesW(L"Q:\\") == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no drive Q: of the tests' own";
  }
  // First the root holds only a folder; then three files and another folder besides.
  const struct {
    bool files;
    const wchar_t* count;
    std::vector<const wchar_t*> added_files;
    const wchar_t* added_folder;
  } roots[] = {{false, L"0", {}, L"Q:\\sub1"},
               {true, L"3", {L"Q:\\a.txt", L"Q:\\b.jpg", L"Q:\\c.html"}, L"Q:\\sub2"}};
  for (const auto& root : roots) {
    ASSERT_TRUE(CreateDirectoryW(root.added_folder, nullptr));
    for (const wchar_t* file : root.added_files) {
      CloseHandle(CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    }
    const RunningWindow window(quorvane::testing::BuiltProgram(QUORVANE_PROGRAM_FROM_TESTS), "Q:\\",
                               false);
    ASSERT_NE(window.Window(), nullptr);
    const auto control = [&](std::size_t i) { return window.Controls().at(i); };
    ASSERT_TRUE(Eventually([&] { return !TextOf(control(4)).empty(); }));
    EXPECT_EQ(TextOf(control(3)), L"Q:\\");
    EXPECT_EQ(TextOf(control(4)), root.count);
    for (const std::size_t generation : {5, 6, 8}) {
      EXPECT_EQ(IsWindowEnabled(control(generation)) != FALSE, root.files) << generation;
    }
    EXPECT_TRUE(IsWindowEnabled(control(7)));
  }
}

// `page` without the two lines that change with every run: the date and time, and the seconds.
std::string Timeless(std::string page) {
  const std::size_t date = page.find(" :: ");
  page.erase(date, page.find("</b>", date) - date);
  const std::size_t seconds = page.find("page printed in ");
  page.erase(seconds, page.find(" seconds by", seconds) - seconds);
  return page;
}

// The page quorvane-index.exe writes of `folder`, without its date and seconds.
std::string ToolsPage(const std::string& folder, const std::string& into) {
  const std::wstring tool = quorvane::testing::BuiltProgram(QUORVANE_TOOL_FROM_TESTS).substr(0);
  std::wstring command = L"\"" + tool + L"\" -O \"" + quorvane::platform::ToWide(into) + L"\" \"" +
                         quorvane::platform::ToWide(folder) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(tool.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    return "cannot start the tool";
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Timeless(quorvane::testing::ReadFile(into));
}

// "Make HTML", pressed with the mouse or by Alt+H, writes the page the tool writes of the folder;
// the count waits for "Refresh List" to take the page in.
TEST_F(WindowTest, MakeHtmlByTheMouseOrAltHWritesTheToolsPage) {
  const TempFolder elsewhere;
  const std::string page = folder_.Path() + "\\quorvane_index.html";
  const HWND make = Control(8);
  for (const bool mouse : {true, false}) {
    DeleteFileW(quorvane::platform::ToWide(page).c_str());
    if (mouse) {
      PostMessageW(make, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
      PostMessageW(make, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    } else {
      window_.PressAlt(L'h');
    }
    ASSERT_TRUE(Eventually([&] {
      return GetFileAttributesW(quorvane::platform::ToWide(page).c_str()) !=
                 INVALID_FILE_ATTRIBUTES &&
             IsWindowEnabled(Control(7));
    })) << (mouse ? "the mouse" : "Alt+H");
    EXPECT_EQ(Timeless(quorvane::testing::ReadFile(page)),
              ToolsPage(folder_.Path(), elsewhere.Path() + "\\tool.html"));
    EXPECT_EQ(TextOf(Control(4)), L"3");
  }
  window_.PressAlt(L'r');
  EXPECT_TRUE(Eventually([&] { return TextOf(Control(4)) == L"4"; }));
}

// A page that cannot be replaced (read-only) is reported in the message box; the old page stays
// byte for byte, nothing is left beside it, and the window goes on answering.
TEST_F(WindowTest, APageThatCannotBeReplacedIsReportedAndKept) {
  const std::string page = folder_.AddFile("quorvane_index.html");
  quorvane::testing::WriteFile(page, "the old page");
  const std::wstring wide = quorvane::platform::ToWide(page);
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::vector<std::string> before = quorvane::testing::Entries(folder_.Path());
  window_.PressAlt(L'h');
  ASSERT_TRUE(Eventually([&] { return window_.MessageBoxShown() != nullptr; }));
  const HWND box = window_.MessageBoxShown();
  EXPECT_NE(quorvane::platform::ToUtf8(TextOf(GetDlgItem(box, 0xFFFF)))
                .find("Cannot write the page " + page),
            std::string::npos);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Eventually([&] { return window_.MessageBoxShown() == nullptr; }));
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(quorvane::testing::ReadFile(page), "the old page");
  EXPECT_EQ(quorvane::testing::Entries(folder_.Path()), before);
  // Still answering: "Refresh List" counts the page in.
  PostMessageW(Control(7), BM_CLICK, 0, 0);
  EXPECT_TRUE(Eventually([&] { return TextOf(Control(4)) == L"4"; }));
}

TEST_F(WindowTest, FocusStartsOnDrive1AndTabAndTheAccessKeysMoveItAsInADialog) {
  const std::vector<HWND> c = window_.Controls();
  ASSERT_EQ(c.size(), std::size(kControls));
  EXPECT_TRUE(Eventually([&] { return window_.Focus() == c[0]; }));
  // The labels are passed over, and after the last control the first comes again.
  for (const std::size_t next : {1, 2, 5, 6, 7, 8, 0}) {
    window_.Press(VK_TAB);
    EXPECT_TRUE(Eventually([&] { return window_.Focus() == c[next]; })) << kControls[next].name;
  }
  window_.PressAlt(L'i');
  EXPECT_TRUE(Eventually([&] { return SendMessageW(c[5], BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  EXPECT_EQ(window_.Focus(), c[5]);
  window_.PressAlt(L'v');
  EXPECT_TRUE(Eventually([&] { return SendMessageW(c[6], BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  window_.PressAlt(L'r');
  EXPECT_TRUE(Eventually([&] { return window_.Focus() == c[7]; }));
}

TEST_F(WindowTest, TabThenTheArrowsAndEnterGoIntoASubFolderAndShowIt) {
  const std::vector<HWND> c = window_.Controls();
  ASSERT_TRUE(Eventually([&] { return window_.Focus() == c[0] && !TextOf(c[4]).empty(); }));
  window_.Press(VK_TAB);
  ASSERT_TRUE(Eventually([&] { return window_.Focus() == c[1]; }));
  window_.Press(VK_DOWN);  // from the folder to its first sub-folder
  window_.Press(VK_RETURN);
  const std::wstring sub1 = quorvane::platform::ToWide(folder_ / "sub1") + L"\\";
  EXPECT_TRUE(Eventually([&] { return TextOf(c[3]) == sub1; })) << TextOf(c[3]);
  EXPECT_EQ(TextOf(c[4]), L"0");
}

TEST_F(WindowTest, Drive1ListsTheDrivesWithTheFoldersOwnChosenAndDir1TheWayDownToIt) {
  const HWND drives = Control(0);
  const LRESULT count = SendMessageW(drives, CB_GETCOUNT, 0, 0);
  EXPECT_GE(count, 2);  // Wine's C: and Z:
  const LRESULT chosen = SendMessageW(drives, CB_GETCURSEL, 0, 0);
  ASSERT_GE(chosen, 0);
  wchar_t text[MAX_PATH] = L"";
  SendMessageW(drives, CB_GETLBTEXT, static_cast<WPARAM>(chosen), reinterpret_cast<LPARAM>(text));
  const std::string drive = folder_.Path().substr(0, 2);
  EXPECT_EQ(std::wstring(text).substr(0, 2), std::wstring(drive.begin(), drive.end()));

  // The root, each folder down to the one started on, and its two sub-folders.
  const std::string& path = folder_.Path();
  const auto names_below_root = std::count(path.begin(), path.end(), '\\');
  EXPECT_EQ(SendMessageW(Control(1), TVM_GETCOUNT, 0, 0), 1 + names_below_root + 2);
}

TEST_F(WindowTest, AScreenReaderNamesTheListsByWhatTheyHold) {
  const struct {
    std::size_t control;
    const wchar_t* name;
  } lists[] = {{0, L"Drive"}, {1, L"Folders"}, {2, L"Files"}};
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  for (const auto& list : lists) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(Control(list.control), OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
      CoUninitialize();
      GTEST_SKIP() << "this system gives no accessible object for a list (Wine 8 has none)";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name != nullptr ? name : L""), list.name);
    SysFreeString(name);
    accessible->Release();
  }
  CoUninitialize();
}

// The desktop's scale for the programs started while this lives, as Windows' display settings
// set it.
class DesktopScale {
 public:
  explicit DesktopScale(DWORD dpi) {
    RegGetValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &before_,
                 &size_);
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
  }
  ~DesktopScale() {
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &before_,
                    sizeof(before_));
  }

 private:
  static constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";
  DWORD before_ = 96;
  DWORD size_ = sizeof(DWORD);
};

TEST(ScaledWindowTest, AtOneAndAHalfTimesTheDotsPerInchEverythingIsOneAndAHalfTimesAsLarge) {
  const TempFolder folder;
  const DesktopScale scale(144);
  const RunningWindow window(quorvane::testing::BuiltProgram(QUORVANE_PROGRAM_FROM_TESTS),
                             folder.Path());
  ASSERT_NE(window.Window(), nullptr);
  RECT client{};
  GetClientRect(window.Window(), &client);
  EXPECT_EQ(client.right, 695);
  EXPECT_EQ(client.bottom, 426);
  const std::vector<HWND> controls = window.Controls();
  ASSERT_EQ(controls.size(), std::size(kControls));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const RECT place = window.PlaceOf(controls[i]);
    EXPECT_LE(std::abs(place.left * 10 - kControls[i].left), 10) << kControls[i].name;
    EXPECT_LE(std::abs(place.right * 10 - (kControls[i].left + kControls[i].width)), 20)
        << kControls[i].name;
    EXPECT_LE(std::abs(place.bottom * 10 - (kControls[i].top + kControls[i].height)), 20)
        << kControls[i].name;
  }
}

// A folder of many files, whose page takes a while to make, with a page made before.
class StoppedRunTest : public ::testing::TestWithParam<bool> {
 protected:
  // Made once for both cases: many files take a while to make under Wine.
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    for (int i = 0; i < 10000; ++i) {
      folder_->AddFile("file" + std::to_string(i) + ".txt");
    }
  }
  static void TearDownTestSuite() { delete folder_; }
  void SetUp() override {
    quorvane::testing::WriteFile(*folder_ / "quorvane_index.html", "the page made before");
  }
  static TempFolder* folder_;
};
TempFolder* StoppedRunTest::folder_ = nullptr;

TEST_P(StoppedRunTest, EscapeOrClosingStopsTheRunAndKeepsTheOldPage) {
  const bool closing = GetParam();
  const std::vector<std::string> before = quorvane::testing::Entries(folder_->Path());
  {
    const RunningWindow window(quorvane::testing::BuiltProgram(QUORVANE_PROGRAM_FROM_TESTS),
                               folder_->Path());
    ASSERT_NE(window.Window(), nullptr);
    const HWND count = window.Controls().at(4);
    ASSERT_TRUE(Eventually([&] { return TextOf(count) == L"10001"; }));
    const HWND make = window.Controls().at(8);
    const HWND images = window.Controls().at(5);
    // The key comes right after Make HTML, which the window handles first: well before the
    // run, on a thread of its own, has read the facts of so many files.
    window.PressAlt(L'h');
    if (closing) {
      PostMessageW(window.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
      EXPECT_TRUE(Eventually([&] { return window.Status() == 0; }));
    } else {
      window.Press(VK_ESCAPE);
      // Ticked once the window has come past both keys; stopped, it takes input again.
      PostMessageW(images, BM_SETCHECK, BST_CHECKED, 0);
      EXPECT_TRUE(Eventually([&] { return SendMessageW(images, BM_GETCHECK, 0, 0) != 0; }));
      EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(make) != FALSE; }));
      EXPECT_EQ(window.MessageBoxShown(), nullptr);  // a stopped run says nothing
    }
  }
  // Compared whole, without printing a page of thousands of lines where it differs.
  EXPECT_TRUE(quorvane::testing::ReadFile(*folder_ / "quorvane_index.html") ==
              "the page made before");
  EXPECT_TRUE(quorvane::testing::Entries(folder_->Path()) == before);  // no hidden name left
}

INSTANTIATE_TEST_SUITE_P(EscapeAndClosing, StoppedRunTest, ::testing::Bool());

TEST_F(WindowTest, ClosingTheWindowEndsTheProgram) {
  PostMessageW(window_.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(Eventually([&] { return window_.Status() == 0; }));
}

// quorvane.exe as the table of both windows' cases drives it: from outside, by its access keys.
class Win32Window final : public quorvane::testing::WindowUnderTest {
 public:
  bool Start(const TempFolder& folder) override {
    page_ = quorvane::platform::ToWide(folder / "quorvane_index.html");
    window_.emplace(quorvane::testing::BuiltProgram(QUORVANE_PROGRAM_FROM_TESTS), folder.Path());
    return window_->Window() != nullptr && Eventually([&] { return !TextOf(Control(4)).empty(); });
  }
  void Refresh() override {
    // The count is shown anew once the folder has been read again.
    SetWindowTextW(Control(4), L"");
    window_->PressAlt(L'r');
    Eventually([&] { return !TextOf(Control(4)).empty(); });
  }
  void Make() override {
    window_->PressAlt(L'h');
    // The page is in place, and once the run has ended the controls take input again; or a
    // message box says why not.
    Eventually([&] {
      const DWORD page = GetFileAttributesW(page_.c_str());
      const bool placed = page != INVALID_FILE_ATTRIBUTES && (page & FILE_ATTRIBUTE_DIRECTORY) == 0;
      return Box() != nullptr || (placed && IsWindowEnabled(Control(7)));
    });
  }
  std::string PathText() const override { return Utf8(TextOf(Control(3))); }
  std::string CountText() const override { return Utf8(TextOf(Control(4))); }
  bool GenerationEnabled() const override {
    return IsWindowEnabled(Control(8)) && IsWindowEnabled(Control(6)) &&
           IsWindowEnabled(Control(5));
  }
  bool RefreshEnabled() const override { return IsWindowEnabled(Control(7)); }
  std::string Reported() override {
    const HWND box = Box();
    if (box == nullptr) {
      return {};
    }
    // Titled with the program's name, with one button, OK.
    EXPECT_EQ(TextOf(box), L"quorvane");
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    const std::string words = Utf8(TextOf(GetDlgItem(box, 0xFFFF)));  // a message box's text
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    Eventually([&] { return Box() == nullptr; });
    return words;
  }

 private:
  HWND Control(std::size_t i) const { return window_->Controls().at(i); }
  // The program's message box, while one shows.
  HWND Box() const { return window_->MessageBoxShown(); }
  static std::string Utf8(const std::wstring& text) { return quorvane::platform::ToUtf8(text); }

  std::wstring page_;
  std::optional<RunningWindow> window_;
};

TEST(BothWindowsTest, TheCasesBothWindowsShare) {
  for (const quorvane::testing::WindowCase& c : quorvane::testing::kWindowCases) {
    Win32Window window;
    const std::vector<std::string> mismatches = Mismatches(c, window);
    EXPECT_TRUE(mismatches.empty()) << c.name << ": " << ::testing::PrintToString(mismatches);
  }
}

}  // namespace
