#include "source/markup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tavrin {
namespace {

class MarkupTest : public ::testing::Test {
 protected:
  std::string Convert(std::string_view text, bool keep_tags) {
    return ConvertEntryText(text, keep_tags, Context());
  }
  // Converted in both formats gives the same result.
  std::string ConvertBoth(std::string_view text) {
    std::string kept = Convert(text, true);
    EXPECT_EQ(kept, Convert(text, false)) << "for " << text;
    return kept;
  }
  std::string Finish(std::string_view text, bool new_format) {
    ByteStream stream;
    bool in_lines_block = true;
    FinishEntryText(text, options_, new_format, Context(), stream, in_lines_block);
    EXPECT_FALSE(in_lines_block);
    return stream.Bytes();
  }
  MarkupContext Context() { return MarkupContext{table_, links_, locale_}; }

  TextLocale locale_{"en_US", 1252};
  TagTable table_ = BuildTagTable();
  LinkSettings links_;
  BuildOptions options_;
};

std::string Complement(std::string_view text) {
  std::string result;
  for (unsigned char c : text) result += static_cast<char>(255 - c);
  return result;
}

// Entry text as stored: the bytes and the 0x00 terminator.
std::string Terminated(std::string_view text) { return std::string(text) + '\0'; }

TEST_F(MarkupTest, TagTable) {
  ASSERT_EQ(kTagCount, 19u);
  ASSERT_EQ(table_.link_types.size(), 8u);
  EXPECT_EQ(table_.IndexOf("link"), 0);
  EXPECT_EQ(table_.IndexOf("color"), 10);
  EXPECT_EQ(table_.IndexOf("font"), 18);
  EXPECT_EQ(table_.IndexOf("br"), -1);
  EXPECT_EQ(table_.IndexOf(""), -1);
  EXPECT_EQ(table_.link_types[4], "picture");
  EXPECT_EQ(table_.ClosingTag(1), "</h>");
  EXPECT_EQ(kLongestTagName, 5u);
  // Names that only share a prefix or bytes with a tag are no tags.
  for (std::string_view name :
       std::initializer_list<std::string_view>{std::string_view("b\0", 2), "colors", "linkfont",
                                               "bb", "colour", std::string_view("lines\0\0\0", 8)})
    EXPECT_EQ(table_.IndexOf(name), -1) << name;
  // Names sharing their first letter and length.
  auto rows = kTagDefinitions;
  rows[7].name = "by";
  rows[9].name = "bx";
  TagTable twins(rows);
  EXPECT_EQ(twins.IndexOf("by"), 7);
  EXPECT_EQ(twins.IndexOf("bx"), 9);
  EXPECT_EQ(twins.IndexOf("bz"), -1);
  EXPECT_EQ(twins.IndexOf("b"), -1);
  EXPECT_EQ(twins.IndexOf("link"), 0);
  // A name the fast scan could not read is refused, not skipped quietly.
  rows[10].name = "colourful";
  EXPECT_THROW(TagTable{rows}, std::invalid_argument);
  rows[10].name = "Color";
  EXPECT_THROW(TagTable{rows}, std::invalid_argument);
}

TEST_F(MarkupTest, BreaksAndBlanksAroundThem) {
  EXPECT_EQ(ConvertBoth("line one <br> line two"), "line one\r\nline two");
  EXPECT_EQ(ConvertBoth("a   <BR>   b"), "a\r\nb");
  EXPECT_EQ(ConvertBoth("a\t<Br>\tb"), "a\t\r\n\tb");
  EXPECT_EQ(ConvertBoth("<br><br>"), "\r\n\r\n");
}

TEST_F(MarkupTest, LiteralBreaksAndMarkerByte) {
  EXPECT_EQ(Convert("a <lit><br></lit> b", true), "a <lit><BR></lit> b");
  EXPECT_EQ(Convert("a <lit><br></lit> b", false), "a <BR> b");
  EXPECT_EQ(Convert("<LIT><BR></LIT>", true), "<lit><BR></lit>");
  // A marker byte from a stored module is a literal break.
  EXPECT_EQ(Convert("a\xA4z", true), "a<lit><BR></lit>z");
  EXPECT_EQ(Convert("a\xA4z", false), "a<BR>z");
}

TEST_F(MarkupTest, Headings) {
  EXPECT_EQ(Convert("<h2>Title</h>", true), "<h2>Title</h>");
  EXPECT_EQ(Convert("<H2>Title</H>", false), "Title");
  EXPECT_EQ(ConvertBoth("<h2>Title</h2>"), "<h2>Title</h2>");
  EXPECT_EQ(ConvertBoth("<h6>x</h>"), "<h6>x</h>");
  EXPECT_EQ(ConvertBoth("<h>x</h>"), "<h>x</h>");
}

TEST_F(MarkupTest, AttributeRules) {
  const char* accepted[] = {
      "<b>x</b>",
      "<B>x</b>",
      "<color=Red>x</color>",
      "<color=26>x</color>",
      "<color=0>x</color>",
      "<color = red >x</color>",
      "<size=1>x</size>",
      "<size=5>x</size>",
      "<ind=0>x</ind>",
      "<ind=+2>x</ind>",
      "<cp=1250>x</cp>",
      "<cp=-5>x</cp>",
      "<link>x</link>",
      "<font>x</font>",
      "<font=Arial>x</font>",
      "<lines>x</lines>",
  };
  for (const char* text : accepted) EXPECT_EQ(Convert(text, false), "x") << text;
  const char* rejected[] = {
      "<b x=1>x</b>",
      "<color=31>x</color>",
      "<color=pink>x</color>",
      "<color>x</color>",
      "<color=-1>x</color>",
      "<size=0>x</size>",
      "<size=6>x</size>",
      "<size>x</size>",
      "<ind=-1>x</ind>",
      "<ind=1.5>x</ind>",
      "<cp=abc>x</cp>",
      "<cp=99999999999>x</cp>",
      "<cp=+-1>x</cp>",
      "<link bible=>x</link>",
      "<link bible= >x</link>",
      "<font=>x</font>",
      "<q>x</q>",
      "<mono=1>x</mono>",
  };
  for (const char* text : rejected) EXPECT_EQ(ConvertBoth(text), text);
  // The tag keeps the colour as written.
  EXPECT_EQ(Convert("<color=Red>x</color>", true), "<color=Red>x</color>");
}

TEST_F(MarkupTest, LineBreaksInsidePairs) {
  EXPECT_EQ(Convert("<b>\r\ntext\r\n</b>", true), "<b>text</b>");
  EXPECT_EQ(Convert("<b>\r\ntext\r\n</b>", false), "text");
  // Only one line break at each end goes.
  EXPECT_EQ(Convert("<b>\r\n\r\nx\r\n\r\n</b>", true), "<b>\r\nx\r\n</b>");
  EXPECT_EQ(Convert("<i><b>\r\nx\r\n</b></i>", false), "x");
  EXPECT_EQ(Convert("<b><br>x<br></b>", true), "<b>x</b>");
  EXPECT_EQ(Convert("<b>\r\n</b>", true), "<b></b>");
  // Line breaks outside the pair stay.
  EXPECT_EQ(Convert("a\r\n<b>x</b>\r\nz", false), "a\r\nx\r\nz");
}

TEST_F(MarkupTest, NestedUnpairedAndStrayBrackets) {
  EXPECT_EQ(Convert("<b>a<b>b</b>c</b>", true), "<b>a<b>b</b>c</b>");
  EXPECT_EQ(Convert("<b>a<b>b</b>c</b>", false), "abc");
  EXPECT_EQ(Convert("<b>y</b><i>x</i>", false), "yx");
  EXPECT_EQ(Convert("<b>y</b><i>x</i>", true), "<b>y</b><i>x</i>");
  EXPECT_EQ(Convert("<B>Ab<I>Cd</I></B>", false), "AbCd");
  EXPECT_EQ(ConvertBoth("x</b>y"), "x</b>y");
  EXPECT_EQ(ConvertBoth("</b>x<b>"), "</b>x<b>");
  EXPECT_EQ(ConvertBoth("<b>x"), "<b>x");
  EXPECT_EQ(ConvertBoth("a < b and c > d"), "a < b and c > d");
  // Bytes that look like consumed brackets are ordinary text.
  EXPECT_EQ(Convert("\x8B<b>\x9B\xFF</b>\x9B", false), "\x8B\x9B\xFF\x9B");
  EXPECT_EQ(Convert("> <b>a</b> < <i>b</i> <", false), "> a < b <");
  EXPECT_EQ(Convert("> <b>a</b> < <i>b</i> <", true), "> <b>a</b> < <i>b</i> <");
}

TEST_F(MarkupTest, LinkFoldersAndAliases) {
  links_.pictures_dir = "pics\\";
  links_.sounds_dir = "snd\\";
  links_.files_dir = "f\\";
  links_.link_aliases = {{"kjv", "bible"}, {"img", "picture"}, {"a", "b"}, {"b", "c"}};
  MarkupContext context = Context();
  EXPECT_EQ(RewriteLinks("<link picture=map.gif>", context), "<link picture=pics\\map.gif>");
  EXPECT_EQ(RewriteLinks("<link  picture=map.gif>", context), "<link  picture=map.gif>");
  EXPECT_EQ(RewriteLinks("<LINK Picture=pics\\a><link sound=b><link file=c>", context),
            "<LINK Picture=pics\\pics\\a><link sound=snd\\b><link file=f\\c>");
  EXPECT_EQ(RewriteLinks("<LINK KJV=Jn 3:16>", context), "<link bible=Jn 3:16>");
  // An alias of a media type gets that type's folder.
  EXPECT_EQ(RewriteLinks("<link img=a.gif>", context), "<link picture=pics\\a.gif>");
  // A replaced link is not replaced again by a later alias.
  EXPECT_EQ(RewriteLinks("<link a=x><link b=y>", context), "<link b=x><link c=y>");

  links_.link_aliases = {{"kjv", "KJV"}};
  links_.pictures_dir.clear();
  EXPECT_EQ(RewriteLinks("<link kjv=x> <link picture=p>", context),
            "<link KJV=x> <link picture=p>");

  // Folders that hold link patterns themselves are inserted once and never searched again.
  links_.pictures_dir = "<link picture=\\";
  links_.sounds_dir = "<link file=\\";
  EXPECT_EQ(RewriteLinks("<link picture=a><link sound=s>", context),
            "<link picture=<link picture=\\a><link sound=<link file=\\s>");
}

TEST_F(MarkupTest, WorkedExampleInBothFormats) {
  options_.join_lines = true;
  const std::string gathered =
      "<b>Apple</b> is a <color=red>fruit</color>.<br> See <link bible=Gen 3:6>Genesis</link>. ";
  const std::string kept =
      "<b>Apple</b> is a <color=red>fruit</color>.\r\nSee <link bible=Gen 3:6>Genesis</link>.";
  EXPECT_EQ(Finish(gathered, true), Terminated(Complement(kept)));
  EXPECT_EQ(Finish(gathered, false), Terminated("Apple is a fruit.\r\nSee Genesis."));
}

TEST_F(MarkupTest, FinishEntryText) {
  EXPECT_EQ(Finish("", true), std::string(1, '\0'));
  EXPECT_EQ(Finish("", false), std::string(1, '\0'));
  EXPECT_EQ(Finish("a\r\nb\r\n", false), Terminated("a\r\nb"));
  EXPECT_EQ(Finish("a\r\nb\r\n", true), Terminated(Complement("a\r\nb")));
  // Text without the trailing separator (from a stored module) keeps its last bytes.
  EXPECT_EQ(Finish("abc", false), Terminated("abc"));
  options_.join_lines = true;
  EXPECT_EQ(Finish("abc", false), Terminated("abc"));
  EXPECT_EQ(Finish("x <b>y</b>", false), Terminated("x y"));
  EXPECT_EQ(Finish("abc \t ", false), Terminated("abc"));

  // Entries follow one another in the stream.
  ByteStream stream;
  stream.Append("old");
  bool in_lines_block = true;
  FinishEntryText("a ", options_, false, Context(), stream, in_lines_block);
  FinishEntryText("b ", options_, false, Context(), stream, in_lines_block);
  EXPECT_EQ(stream.Bytes(), std::string("olda\0b\0", 7));
  EXPECT_FALSE(in_lines_block);
}

// The reduction as the rule states it, to check the single-pass version against.
std::string ReduceEmptyLinesByRule(std::string text) {
  std::size_t p;
  while ((p = text.find("\r\n\r\n\r\n")) != std::string::npos) text.erase(p, 2);
  return text;
}

TEST_F(MarkupTest, EmptyLineReduction) {
  EXPECT_EQ(Finish("a\r\n\r\n\r\n\r\nb\r\n\r\n\r\nc\r\n", false),
            Terminated("a\r\n\r\nb\r\n\r\nc"));
  options_.preserve_empty_lines = false;  // disables the option
  EXPECT_EQ(Finish("a\r\n\r\n\r\nb\r\n", false), Terminated("a\r\n\r\n\r\nb"));

  options_.preserve_empty_lines = true;
  std::mt19937 random(7);
  const char alphabet[] = {'\r', '\n', 'a'};
  for (int round = 0; round < 2000; ++round) {
    std::string text = "x";
    int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) text += alphabet[random() % 3];
    text += "y\r\n";
    std::string expected = ReduceEmptyLinesByRule(text.substr(0, text.size() - 2)) + '\0';
    ASSERT_EQ(Finish(text, false), expected) << testing::PrintToString(text);
  }
}

TEST_F(MarkupTest, InvertText) {
  EXPECT_EQ(InvertText(std::string("\x00\xFF\x41", 3)), std::string("\xFF\x00\xBE", 3));
  EXPECT_EQ(InvertText(""), "");
}

TEST_F(MarkupTest, LinesBlock) {
  bool in_block = false;
  UpdateLinesBlock("  <LINES>", in_block, locale_);
  EXPECT_TRUE(in_block);
  UpdateLinesBlock("</lines> x", in_block, locale_);
  EXPECT_TRUE(in_block);
  UpdateLinesBlock("a</lines>b</lines>", in_block, locale_);
  EXPECT_TRUE(in_block);
  UpdateLinesBlock("text </Lines>  ", in_block, locale_);
  EXPECT_FALSE(in_block);
  UpdateLinesBlock("<lines>x</lines>", in_block, locale_);
  EXPECT_FALSE(in_block);
  in_block = true;
  UpdateLinesBlock("<lines>x</lines>", in_block, locale_);
  EXPECT_FALSE(in_block);
}

TEST_F(MarkupTest, TagLines) {
  MarkupContext context = Context();
  for (const char* line : {"<b>", "  <B>\t", "<br>", "<h2>", "<color=red>", "<b> <i>", "</b><i>"}) {
    EXPECT_TRUE(IsOpeningTagLine(line, context)) << line;
  }
  for (const char* line : {"<b></b>", "</b>", "<q>", "<b>x", "<b> x <i>", "<>", "<", "x<b>"}) {
    EXPECT_FALSE(IsOpeningTagLine(line, context)) << line;
  }
  for (const char* line : {"</b>", " </H> ", "</b><i>", "</color> </b>"}) {
    EXPECT_TRUE(IsClosingTagLine(line, context)) << line;
  }
  for (const char* line : {"<b></b>", "</q>", "</br>", "x</b>", "</b> text", "</ b>", "<b>"}) {
    EXPECT_FALSE(IsClosingTagLine(line, context)) << line;
  }
}

}  // namespace
}  // namespace tavrin
