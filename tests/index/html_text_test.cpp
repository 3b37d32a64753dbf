#include "index/html_text.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

struct NameCase {
  std::string name;
  std::string link;
  std::string text;
};

TEST(HtmlTextTest, NamesAreSafeAsLinksAndAsText) {
  const NameCase cases[] = {
      {"sea.jpg", "sea.jpg", "sea.jpg"},
      {"My Holiday (2).JPG", "My Holiday (2).JPG", "My Holiday (2).JPG"},
      {"-._~!$'()*+,;=@", "-._~!$'()*+,;=@", "-._~!$'()*+,;=@"},
      {"a&b #1.txt", "a%26b %231.txt", "a&amp;b #1.txt"},
      {"<script>alert(1)</script>.txt", "%3Cscript%3Ealert(1)%3C%2Fscript%3E.txt",
       "&lt;script&gt;alert(1)&lt;/script&gt;.txt"},
      {"say \"hi\".txt", "say %22hi%22.txt", "say &quot;hi&quot;.txt"},
      {"100% ?.txt", "100%25 %3F.txt", "100% ?.txt"},
      {"&amp;.txt", "%26amp;.txt", "&amp;amp;.txt"},
      {"caf\xC3\xA9.jpg", "caf%C3%A9.jpg", "caf\xC3\xA9.jpg"},
      {"bad\xFF.txt", "bad%FF.txt", "bad\xFF.txt"},
      {"two\nlines\t\x7F.txt", "two%0Alines%09%7F.txt", "two&#10;lines&#9;&#127;.txt"},
      {" edges ", "%20edges%20", " edges "},
      {" ", "%20", " "},
      {"javascript:x", "javascript%3Ax", "javascript:x"},
  };
  for (const auto& c : cases) {
    std::string link;
    AppendLinkTarget(link, c.name);
    EXPECT_EQ(link, c.link) << c.name;
    std::string text;
    AppendHtmlText(text, c.name);
    EXPECT_EQ(text, c.text) << c.name;
  }
}

}  // namespace
}  // namespace quorvane
