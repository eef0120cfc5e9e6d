#include "source/line_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace tavrin {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream in(text);
  LineReader reader(in);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
  return lines;
}

using V = std::vector<std::string>;

TEST(LineReaderTest, LineEnds) {
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("a"), V{"a"});
  EXPECT_EQ(Lines("a\n"), V{"a"});
  EXPECT_EQ(Lines("a\r\nb\nc"), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\n\n\r\nb"), (V{"a", "", "", "b"}));
  EXPECT_EQ(Lines("ab\rcd\r\n"), V{"abcd"});  // a lone CR is dropped
  EXPECT_EQ(Lines("a\x1A"
                  "b\nc"),
            V{"a"});
  EXPECT_EQ(Lines("a\n\x1A\nb"), V{"a"});
}

TEST(LineReaderTest, LinesAcrossBlocksAndPosition) {
  std::string big(200000, 'x');
  std::string text = big + "\r\n" + big;
  std::istringstream in(text);
  LineReader reader(in);
  std::string line;
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, big);
  EXPECT_EQ(reader.Position(), 200002);
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line.size(), big.size());
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_EQ(reader.Position(), static_cast<std::int64_t>(text.size()));
}

}  // namespace
}  // namespace tavrin
