#include "index/folder_listing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane {
namespace {

using testing::FakeFileSystem;
using testing::TempFolder;

std::vector<std::string> NamesOf(const FileList& list) {
  std::vector<std::string> names;
  for (std::int64_t i = 0; i < list.Count(); ++i) {
    names.emplace_back(list.Name(i));
  }
  return names;
}

TEST(FolderListingTest, SortsWithoutRegardToCaseThenByBytes) {
  FakeFileSystem files;
  for (const char* name : {"b.txt", "a.txt", "Zeta", "B.txt", "A.txt", "alpha", "_x", "10", "9"}) {
    files.Add(name, 0);
  }
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  const testing::ServicesOver services(regional, files);
  FileList list(services);
  EXPECT_TRUE(list.ReRead());
  const std::vector<std::string> expected = {"10",    "9",     "_x",    "A.txt", "a.txt",
                                             "alpha", "B.txt", "b.txt", "Zeta"};
  EXPECT_EQ(NamesOf(list), expected);
}

TEST(FolderListingTest, SortsNonAsciiNamesByTheLocalesLowerCase) {
  FakeFileSystem files;
  for (const char* name : {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89",
                           "\xC3\x89"
                           "a"}) {
    files.Add(name, 0);
  }
  platform::RegionalSettings settings = testing::UsEnglish();
  settings.locale_name = testing::kUnicodeLocale;
  const platform::Regional regional = testing::RegionalOf(settings);
  const testing::ServicesOver services(regional, files);
  FileList list(services);
  EXPECT_TRUE(list.ReRead());
  // "Éa" < "ÉTÉ" < "été": both É names lower-case to é, and the tie goes by bytes.
  const std::vector<std::string> expected = {
      "\xC3\x89"
      "a",
      "\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"};
  EXPECT_EQ(NamesOf(list), expected);
}

// Many names, long enough to be sorted in halves on two threads, sharing long starts that
// end anywhere, differing in case or not at all but in it, with a few others among them: the
// order is CompareNames', one name with the next.
TEST(FolderListingTest, LongListsSortAsNamesCompare) {
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  NameList names;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    std::string name = std::string(static_cast<std::size_t>(i % 23), 'p') + "IMG_2023_" +
                       std::to_string(i * 7919 % 5000) + (i % 3 == 0 ? ".JPG" : ".jpg");
    if (i % 1000 == 0) {
      name = "quorvane_index.html" + std::to_string(i);  // an outsider
    }
    ASSERT_TRUE(names.Add(name));
    expected.push_back(std::move(name));
  }
  names.Sort(regional, testing::TestExecutor());
  std::stable_sort(
      expected.begin(), expected.end(),
      [&](const std::string& a, const std::string& b) { return CompareNames(regional, a, b) < 0; });
  ASSERT_EQ(names.Size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(names[i], expected[i]) << i;
  }
}

struct RecordingObserver final : FileListObserver {
  std::vector<std::string> events;
  void ListAboutToChange() override { events.push_back("about to change"); }
  void ListChanged() override { events.push_back("changed"); }
  void SelectionChanged(std::int64_t position) override {
    events.push_back("selected " + std::to_string(position));
  }
};

TEST(FolderListingTest, SelectionAndReReadsAreReported) {
  FakeFileSystem files;
  files.Add("a", 0);
  files.Add("b", 0);
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  const testing::ServicesOver services(regional, files);
  FileList list(services);
  RecordingObserver observer;
  list.SetObserver(&observer);
  EXPECT_TRUE(list.ReRead());
  list.Select(1);
  EXPECT_EQ(list.CurrentName(), "b");
  list.Select(2);
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(list.CurrentName(), "");
  list.Select(0);
  EXPECT_TRUE(list.ReRead());
  EXPECT_EQ(list.Selected(), -1);
  const std::vector<std::string> expected = {"about to change", "changed",    "selected 1",
                                             "selected -1",     "selected 0", "about to change",
                                             "changed"};
  EXPECT_EQ(observer.events, expected);
}

}  // namespace
}  // namespace quorvane
