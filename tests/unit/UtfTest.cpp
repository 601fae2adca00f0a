#include <gtest/gtest.h>

#include "platform/Utf.h"

using namespace updater;

TEST(Utf, RoundTripsKoreanAndAstral) {
  const std::string text = "업데이트 \xF0\x9F\x98\x80 ok";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 5u + 2u + 3u);  // a surrogate pair for the emoji
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("\xFF"), std::u16string(1, u'\xFFFD'));
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80"), (std::u16string{u'\xFFFD', u'\xFFFD'}));  // truncated at the end
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{u'\xFFFD', u'\xFFFD'}));  // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");          // lone surrogate
}
