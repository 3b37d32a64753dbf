// Runs the built quorvane-index.exe as a Windows user would: wide arguments, Windows paths,
// standard output and error in files.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace {

using quorvane::platform::ToUtf8;
using quorvane::platform::ToWide;
using quorvane::platform::WindowsError;
using quorvane::testing::LocalTime;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;

struct ToolResult {
  DWORD status = 0;
  std::string out;
  std::string err;
};

// `argument` quoted so that CommandLineToArgvW gives it back whole.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring ToolPath() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.rfind(L'\\') + 1) + ToWide(QUORVANE_INDEX_TOOL_FROM_TESTS);
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(ToWide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs the tool in `folder` with `arguments`, standard output and error going to files; with
// `readonly_out`, standard output is a file opened only for reading.
ToolResult RunTool(const std::string& folder, const std::vector<std::string>& arguments,
                   bool readonly_out = false) {
  const TempFolder capture;
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";
  if (readonly_out) {
    quorvane::testing::WriteFile(out_path, "");
  }
  const HANDLE out = Inheritable(out_path, readonly_out ? GENERIC_READ : GENERIC_WRITE,
                                 readonly_out ? OPEN_EXISTING : CREATE_ALWAYS);
  const HANDLE err = Inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  std::wstring command = Quoted(ToolPath());
  for (const std::string& argument : arguments) {
    command += L" " + Quoted(ToWide(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  ToolResult result;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     ToWide(folder).c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    ADD_FAILURE() << "cannot start " << ToUtf8(command) << ": " << GetLastError();
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = readonly_out ? "" : ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

constexpr char kTryHelp[] = "Try 'quorvane-index --help' for more information.\n";

TEST(WindowsToolTest, AnswersHelpVersionAndBadUsageAsOnLinux) {
  const TempFolder scratch;
  const struct {
    std::vector<std::string> arguments;
    DWORD status;
    std::string out_start;
    std::string err;
  } cases[] = {
      {{"--version"}, 0, std::string("quorvane-index (quorvane) ") + QUORVANE_VERSION + "\n", ""},
      {{"--vers"}, 0, "quorvane-index (quorvane) ", ""},
      {{"-h"}, 0, "Usage: quorvane-index [OPTION]... [FOLDER]...\n", ""},
      {{"--bogus"},
       2,
       "",
       std::string("quorvane-index: unrecognized option '--bogus'\n") + kTryHelp},
      {{"-iz"}, 2, "", std::string("quorvane-index: invalid option -- 'z'\n") + kTryHelp},
      {{"--images=yes"},
       2,
       "",
       std::string("quorvane-index: option '--images' doesn't allow an argument\n") + kTryHelp},
  };
  for (const auto& c : cases) {
    const ToolResult result = RunTool(scratch.Path(), c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << c.arguments[0];
    EXPECT_EQ(result.err, c.err) << c.arguments[0];
  }
  EXPECT_EQ(quorvane::testing::Entries(scratch.Path()), std::vector<std::string>{});
}

TEST(WindowsToolTest, WritesThePagesOfTheClassicExamples) {
  const TempFolder scratch;
  const std::string photos = scratch.AddFolder("photos");
  scratch.AddFile("photos/sea.jpg", 153600, LocalTime(2002, 8, 21, 23, 25, 18));
  scratch.AddFile("photos/midnight.txt", 10, LocalTime(2002, 8, 21, 0, 0, 0));
  scratch.AddFile("photos/big.zip", 1234 * 1024, LocalTime(2003, 1, 15, 12, 0, 0));
  scratch.AddFile("photos/a#b 100% caf\xC3\xA9.txt", 2048, LocalTime(2002, 8, 21, 23, 25, 18));
  const std::string unicode = scratch.AddFolder("caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC");

  // Folders as given, relative to the working folder, and a name beyond ASCII: each page's path
  // comes out whole, in UTF-8, one to a line.
  const ToolResult result = RunTool(scratch.Path(), {"-i", "photos\\..\\photos", unicode});
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, photos + "\\quorvane_index.html\n" + unicode + "\\quorvane_index.html\n");
  const std::string page = ReadFile(photos + "\\quorvane_index.html");
  for (const std::string& line : std::vector<std::string>{
           "<head><title>" + photos + "\\</title></head>\r\n",
           "<p><a href=\"a%23b 100%25 caf%C3%A9.txt\">a#b 100% caf\xC3\xA9.txt</a> "
           "(8/21/2002 11:25:18 PM, 2k)\r\n",
           std::string("<p><a href=\"big.zip\">big.zip</a> (1/15/2003 12:00:00 PM, 1,234k)\r\n"),
           std::string("<p><a href=\"midnight.txt\">midnight.txt</a> (8/21/2002, 1k)\r\n"),
           std::string("<p><a href=\"sea.jpg\">sea.jpg</a> (8/21/2002 11:25:18 PM, 150k)\r\n"
                       "<br><img src=\"sea.jpg\" border=1>\r\n"),
           std::string("<b>4 object(s) :: 1,387k</b>\r\n"),
       }) {
    EXPECT_NE(page.find(line), std::string::npos) << line;
  }
  // No folder given: the working folder.
  EXPECT_EQ(RunTool(photos, {}).out, photos + "\\quorvane_index.html\n");
}

TEST(WindowsToolTest, ADriveRootAndAFolderOnItAsTheClassicExamplesShowThem) {
  if (std::getenv("QUORVANE_TESTS_OWN_DRIVE_C") == nullptr) {
    GTEST_SKIP() << "pages at the root of drive C: are written only where the tests own it "
                    "(QUORVANE_TESTS_OWN_DRIVE_C, as under wine-run)";
  }
  ASSERT_FALSE(quorvane::testing::Exists("C:\\quorvane_index.html"));
  ASSERT_TRUE(CreateDirectoryW(L"C:\\photos", nullptr));
  const TempFolder scratch;
  const ToolResult result = RunTool(scratch.Path(), {"C:\\", "c:\\photos\\..\\photos"});
  const std::string root = ReadFile("C:\\quorvane_index.html");
  const std::string photos = ReadFile("C:\\photos\\quorvane_index.html");
  quorvane::testing::RemoveFile("C:\\quorvane_index.html");
  quorvane::testing::RemoveFile("C:\\photos\\quorvane_index.html");
  RemoveDirectoryW(L"C:\\photos");
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(result.out, "C:\\quorvane_index.html\nc:\\photos\\quorvane_index.html\n");
  EXPECT_NE(root.find("<head><title>C:\\</title></head>\r\n"), std::string::npos);
  EXPECT_NE(root.find("<b>c:\\ :: "), std::string::npos);
  EXPECT_NE(photos.find("<b>c:\\photos\\ :: "), std::string::npos);
}

TEST(WindowsToolTest, AReadOnlyPageIsKeptAndTheRunExitsOne) {
  const TempFolder scratch;
  const std::string kept = scratch.AddFolder("kept");
  const std::string done = scratch.AddFolder("done");
  const std::string page = kept + "\\quorvane_index.html";
  quorvane::testing::WriteFile(page, "the old page");
  ASSERT_TRUE(SetFileAttributesW(ToWide(page).c_str(), FILE_ATTRIBUTE_READONLY));
  const ToolResult result = RunTool(scratch.Path(), {kept, done, "missing"});
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.out, done + "\\quorvane_index.html\n");
  EXPECT_EQ(result.err, "quorvane-index: Cannot write the page " + page + ": " +
                            WindowsError(ERROR_ACCESS_DENIED).message() +
                            "\nquorvane-index: Cannot read the folder " + scratch.Path() +
                            "\\missing\\: " + WindowsError(ERROR_FILE_NOT_FOUND).message() + "\n");
  EXPECT_EQ(ReadFile(page), "the old page");
  EXPECT_EQ(quorvane::testing::Entries(kept), std::vector<std::string>{"quorvane_index.html"});
  SetFileAttributesW(ToWide(page).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsToolTest, OutputThatCannotBeWrittenIsAFailure) {
  const TempFolder scratch;
  const ToolResult result = RunTool(scratch.Path(), {}, true);
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.err, "quorvane-index: Cannot write the standard output: " +
                            WindowsError(ERROR_ACCESS_DENIED).message() + "\n");
  EXPECT_NE(ReadFile(scratch / "quorvane_index.html"), "");
}

}  // namespace
