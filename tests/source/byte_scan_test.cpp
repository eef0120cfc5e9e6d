#include "source/byte_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrin {
namespace {

TEST(ByteScanTest, FindsTheFirstOfThreeBytesWithinTheRange) {
  // Every place of the byte around the sixteen-byte steps, and every range end around it.
  for (std::size_t length = 0; length <= 40; ++length) {
    for (std::size_t at = 0; at <= length; ++at) {
      std::string text(length, 'x');
      if (at < length) text[at] = '\r';
      for (std::size_t from = 0; from <= length; from += 3) {
        for (std::size_t to = from; to <= length; to += 5) {
          const std::size_t expected = at >= from && at < to ? at : to;
          ASSERT_EQ(FindFirstOf(text.data(), from, to, '\n', '\r', '\x1A'), expected)
              << length << " " << at << " " << from << " " << to;
        }
      }
    }
  }
  const std::string text = std::string(20, 'a') + "\xA4<\r" + std::string(20, 'b');
  EXPECT_EQ(FindFirstOf(text.data(), 0, text.size(), '<', '\xA4', '\r'), 20u);
  EXPECT_EQ(FindFirstOf(text.data(), 21, text.size(), '\r', '\r', '<'), 21u);
  EXPECT_EQ(FindByte(text.data(), 0, text.size(), '\r'), 22u);
  EXPECT_EQ(FindByte(text.data(), 0, text.size(), '\0'), text.size());
  for (std::size_t from = 0; from < text.size(); ++from) {
    const std::size_t expected = from <= 20 ? 20 : (from <= 22 ? from : text.size());
    EXPECT_EQ(FindFirstOf(text.data(), from, text.size(), '\0', '<', '\xA4', '\r'), expected);
  }
}

TEST(ByteScanTest, FindsTheFirstPairWithinTheRange) {
  // A pair at every place around the sixteen-byte steps, its halves alone elsewhere, and every
  // range end around it: the pair counts only when both bytes lie in the range.
  for (std::size_t length = 0; length <= 40; ++length) {
    for (std::size_t at = 0; at + 1 <= length; ++at) {
      std::string text(length, '<');
      for (std::size_t i = 1; i < length; i += 2) text[i] = 'x';
      text[at] = '<';
      if (at + 1 < length) text[at + 1] = '/';
      for (std::size_t from = 0; from <= length; from += 3) {
        for (std::size_t to = from; to <= length; to += 4) {
          const bool inside = at + 1 < length && at >= from && at + 1 < to;
          ASSERT_EQ(FindPair(text.data(), from, to, '<', '/'), inside ? at : to)
              << length << " " << at << " " << from << " " << to;
        }
      }
    }
  }
  const std::string text = "a</" + std::string(30, '/') + "<</b";
  EXPECT_EQ(FindPair(text.data(), 2, text.size(), '<', '/'), 34u);
}

}  // namespace
}  // namespace tavrin
