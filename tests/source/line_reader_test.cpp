#include "source/line_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string_view>
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
  EXPECT_EQ(Lines("a\r\n\r\nb\r\r\nc\r\n"), (V{"a", "", "b", "c"}));
}

TEST(LineReaderTest, CarriageReturnLineFeedLinesAreViewsAndCountTheirEnds) {
  std::istringstream in("ab\r\ncd\r\n\r\ne");
  LineReader reader(in);
  std::string_view line;
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "ab");
  EXPECT_EQ(reader.Position(), 4);
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "cd");
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "");
  EXPECT_EQ(reader.Position(), 10);
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "e");
  EXPECT_FALSE(reader.ReadLine(line));
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

// The line rules written plainly: LF ends a line, CR is dropped, 0x1A ends the source.
std::vector<std::string> PlainLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  bool any = false;
  for (char c : text) {
    if (c == '\x1A') {
      if (!line.empty()) lines.push_back(line);
      return lines;
    }
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
      any = false;
    } else if (c != '\r') {
      line += c;
      any = true;
    }
  }
  if (any) lines.push_back(line);
  return lines;
}

TEST(LineReaderTest, ViewsOfLinesAcrossBlocksCarriageReturnsAndNulBytes) {
  // Lines of every length around the reader's blocks, with CR LF split by a block end, lone CRs
  // and NUL bytes.
  std::string text;
  unsigned seed = 7;
  auto next = [&] { return seed = seed * 1103515245U + 12345U; };
  while (text.size() < 4 * LineReader::kBlockSize) {
    const std::size_t length =
        next() % 9 == 0 ? next() % (LineReader::kBlockSize + 6000) : next() % 120;
    text.append(length, static_cast<char>('a' + next() % 26));
    switch (next() % 6) {
      case 0:
        text += '\r';
        break;
      case 1:
        text += std::string("\0", 1);
        break;
      case 2:
      case 3:
        text += "\r\n";
        break;
      default:
        text += '\n';
    }
  }
  // A CR LF straddling the first block end.
  text.replace(LineReader::kBlockSize - 1, 2, "\r\n");
  std::istringstream in(text);
  LineReader reader(in);
  std::vector<std::string> lines;
  std::string_view line;
  int with_nul = 0;
  while (reader.ReadLine(line)) {
    lines.emplace_back(line);
    const bool has_nul = line.find('\0') != std::string_view::npos;
    ASSERT_EQ(reader.LineHasNul(), has_nul) << lines.size();
    with_nul += has_nul ? 1 : 0;
  }
  EXPECT_GT(with_nul, 20);
  EXPECT_EQ(lines, PlainLines(text));
  EXPECT_EQ(Lines(text), PlainLines(text));
  EXPECT_EQ(Lines("a\r"), V{"a"});
}

}  // namespace
}  // namespace tavrin
