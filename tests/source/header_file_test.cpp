#include "source/header_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/system.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class HeaderFileTest : public ::testing::Test {
 protected:
  void Process(const std::string& text, std::string* module_name = nullptr) {
    std::istringstream in(text);
    ProcessHeaderFile(in, locale_, links_, state_, module_name);
  }
  std::string Write(const std::string& name, const std::string& content) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tavrin-hdr-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  TextLocale locale_{"en_US", 1252};
  LinkSettings links_;
  HeaderFileState state_;
  fs::path dir_;
};

TEST_F(HeaderFileTest, DirectivesAreNormalisedAndParsed) {
  links_.pictures_dir = "old\\";
  Process(
      "deflink  kjv = bible\r\n"
      "deflink wiki=my link\r\n"
      "deflink wiki\r\n"
      "DefDir Pictures = C:\\My Pics\r\n"
      "defdir sounds=snd\\\r\n"
      "defdir other=x\r\n"
      "defdir files=\r\n"
      "Title  Psalms   Notes \r\n"
      "include  a.txt \r\n"
      "INCLUDE b.txt\r\n"
      "nonsense line\r\n");
  ASSERT_EQ(links_.link_aliases.size(), 2u);
  EXPECT_EQ(links_.link_aliases[0], std::make_pair(std::string("kjv"), std::string("bible")));
  EXPECT_EQ(links_.link_aliases[1], std::make_pair(std::string("wiki"), std::string("my_link")));
  EXPECT_EQ(links_.pictures_dir, "c:\\my pics\\");
  EXPECT_EQ(links_.sounds_dir, "snd\\");
  EXPECT_EQ(links_.files_dir, "");
  EXPECT_EQ(state_.document_title, "Psalms Notes");
  EXPECT_EQ(state_.include_list, (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(HeaderFileTest, OneDefdirLineSetsOneFolder) {
  // The second key is part of the first folder's text.
  Process("defdir pictures=c:\\a sounds=d:\\b\r\n");
  EXPECT_EQ(links_.pictures_dir, "c:\\a sounds=d:\\b\\");
  EXPECT_EQ(links_.sounds_dir, "");
}

TEST_F(HeaderFileTest, ModuleNameRuleRunsAfterEveryLine) {
  std::string name;
  Process("title Psalms Notes\r\ninclude a.txt\r\n", &name);
  EXPECT_EQ(name, "Psalms Notes");

  name = "  ";
  Process("include a.txt\r\ntitle Psalms Notes\r\n", &name);
  EXPECT_EQ(name, "Untitled document");

  name = "Mine";
  Process("title Psalms Notes\r\n", &name);
  EXPECT_EQ(name, "Mine");

  Process("title X\r\n", nullptr);  // the jumplist tab has no name box: nothing to fill
  EXPECT_EQ(state_.document_title, "X");
}

TEST_F(HeaderFileTest, AssemblyOfIncludes) {
  HeaderFileState none;
  EXPECT_EQ(AssembleIncludes(none).path, "");

  HeaderFileState one;
  one.include_list = {"just/one.txt"};
  AssembledSource single = AssembleIncludes(one);
  EXPECT_EQ(single.path, "just/one.txt");
  EXPECT_FALSE(single.delete_after_build);

  HeaderFileState two;
  two.include_list = {Write("a.txt", "#A\r\na"), Write("b.txt", "#B\nb\n")};
  AssembledSource joined = AssembleIncludes(two);
  ASSERT_TRUE(joined.delete_after_build);
  EXPECT_TRUE(joined.unreadable_include.empty());
  EXPECT_EQ(ReadWholeFile(joined.path), "#A\r\na\r\n\r\n#B\nb\n\r\n\r\n");
  fs::remove(joined.path);

  // Each include reads as it would alone: a 0x1A ends only its own text, and lines that end in
  // CR alone stay lines (with a warning at the include's first line).
  HeaderFileState own_ends;
  own_ends.include_list = {Write("dos.txt", "#A\r\na\r\n\x1A#lost\r\n"),
                           Write("mac.txt", "#B\rb\rc\r"), two.include_list[1]};
  AssembledSource each = AssembleIncludes(own_ends);
  EXPECT_EQ(ReadWholeFile(each.path), "#A\r\na\r\n\r\n\r\n#B\r\nb\r\nc\r\n\r\n\r\n#B\nb\n\r\n\r\n");
  EXPECT_EQ(each.first_lines, (std::vector<std::int64_t>{1, 5, 10}));
  ASSERT_EQ(each.warnings.size(), 1u);
  EXPECT_EQ(LogLine(each.warnings[0]),
            "line #5 - Warning: lines end in CR alone (no LF); each CR was taken as a line end");
  fs::remove(each.path);

  HeaderFileState missing;
  missing.include_list = {two.include_list[0], (dir_ / "nope.txt").string(), two.include_list[1]};
  AssembledSource partial = AssembleIncludes(missing);
  ASSERT_TRUE(partial.delete_after_build);
  EXPECT_EQ(partial.unreadable_include, (dir_ / "nope.txt").string());
  EXPECT_EQ(ReadWholeFile(partial.path), "#A\r\na\r\n\r\n");
  fs::remove(partial.path);
}

}  // namespace
}  // namespace tavrin
