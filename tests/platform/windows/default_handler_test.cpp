#include "platform/default_handler.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/windows/utf16.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

constexpr wchar_t kType[] = L".quorvanetest";
constexpr wchar_t kClass[] = L"quorvane.test";

bool SetDefault(const std::wstring& key, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const auto size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const bool set = RegSetValueExW(handle, nullptr, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()), size) == 0;
  RegCloseKey(handle);
  return set;
}

// Files of a type of the test's own open with a command that leaves "PATH.opened" beside the
// path it was given, while this lives.
class StandInHandler {
 public:
  StandInHandler() {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    registered_ = SetDefault(kType, kClass) &&
                  SetDefault(std::wstring(kClass) + L"\\shell\\open\\command",
                             std::wstring(system) + L"\\cmd.exe /c copy nul \"%1.opened\"");
  }
  StandInHandler(const StandInHandler&) = delete;
  StandInHandler& operator=(const StandInHandler&) = delete;
  ~StandInHandler() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClass);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kType);
  }
  bool Registered() const { return registered_; }

 private:
  bool registered_ = false;
};

TEST(WindowsDefaultHandlerTest, HandsThePathToTheHandlerOfItsType) {
  const StandInHandler handler;
  if (!handler.Registered()) {
    GTEST_SKIP() << "file types cannot be registered here (it takes an administrator)";
  }
  const testing::TempFolder folder;
  const std::string page = folder.AddFile("it's a page & caf\xC3\xA9.quorvanetest");
  EXPECT_TRUE(SystemDefaultHandler().Open(page));
  bool opened = false;
  for (int i = 0; i < 100 && !opened; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    opened = testing::Exists(page + ".opened");
  }
  EXPECT_TRUE(opened) << page;

  // A type no program is registered for: the shell says so at once.
  const std::string other = folder.AddFile("page.quorvanenone");
  const Result<> refused = SystemDefaultHandler().Open(other);
  ASSERT_FALSE(refused);
  EXPECT_EQ(Describe(refused.Error()), "No program could open the page " + other);
}

}  // namespace
}  // namespace quorvane::platform
