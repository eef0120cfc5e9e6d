// Stored topic books converted by the command line: order, whole texts, hostile files.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "module/module_reader.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

std::string Int32(std::int32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i)
    b[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return b;
}

// A topic book laid out by hand; `starts` overrides the three section offsets when given.
std::string TopicBook(const std::string& names, const std::string& index, const std::string& texts,
                      std::vector<std::int32_t> starts = {}) {
  ExpectedModule empty{.kind_string = "topics", .per_kind = 200, .name_flag = 0};
  std::string header = empty.Bytes().substr(0, 364);
  if (starts.empty())
    starts = {364, static_cast<std::int32_t>(364 + names.size()),
              static_cast<std::int32_t>(364 + names.size() + index.size())};
  for (int k = 0; k < 3; ++k) header.replace(76 + 4 * k, 4, Int32(starts[k]));
  return header + names + index + texts;
}

class ConvertCliTest : public CliTest {
 protected:
  CliResult Convert(const std::string& kind, const std::string& source, Lines extra = {}) {
    Lines args = {"build", kind, source, "out.mod", "--name", "Conv", "--overwrite"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  std::vector<ModuleEntry> Entries() { return ReadModuleFile((dir_ / "out.mod").string()).entries; }
};

TEST_F(ConvertCliTest, TopicBookBecomesDictionaryAndWritingInStoredOrder) {
  // Stored order Zeta, alpha: no sorting; texts stay whole (no separator to drop).
  std::string names = std::string("Zeta\0Big   Topic \0alpha\0", 24);
  std::string texts = std::string("z<b>1</b>\0\0abc\0", 15);
  WriteFile("t.tpb", TopicBook(names, Int32(0) + Int32(10) + Int32(11), texts));

  CliResult r = Convert("dictionary", "t.tpb");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectedModule dict{.kind_string = "dict",
                      .long_header = true,
                      .module_name = "Conv",
                      .names = {"Zeta", "Big Topic", "alpha"},
                      .texts = {"z<b>1</b>", "", "abc"}};
  EXPECT_EQ(ReadFile("out.mod"), dict.Bytes());
  EXPECT_EQ(LogLines(),
            (Lines{"", "Total of: 3 topics", "", "File 'out.mod' successfuly created."}));

  r = Convert("dictionary", "t.tpb", {"--compatible", "--join-lines"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  dict.long_header = false;
  dict.texts[0] = "z1";
  EXPECT_EQ(ReadFile("out.mod"), dict.Bytes());

  r = Convert("topics", "t.tpb", {"--compatible"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectedModule book{.kind_string = "topics",
                      .per_kind = 200,
                      .name_flag = 0,
                      .names = dict.names,
                      .texts = {"z1", "", "abc"}};
  EXPECT_EQ(ReadFile("out.mod"), book.Bytes());

  r = Convert("writing", "t.tpb", {"--show-log"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectedModule writing = dict;
  writing.kind_string = "refer";
  writing.long_header = true;
  writing.texts[0] = "z<b>1</b>";
  EXPECT_EQ(ReadFile("out.mod"), writing.Bytes());
  EXPECT_EQ(LogLines()[1], "Total of: 3 sections");
}

TEST_F(ConvertCliTest, RoundTripThroughAProjectTopicBook) {
  WriteFile("src.txt", "#Beta\nline one\n\nline two <br> three\n#Alpha\n<i>x</i>\n");
  ASSERT_EQ(Run({"build", "topics", "src.txt", "book.tpm"}).exit_code, 0);
  ASSERT_EQ(Run({"build", "dictionary", "src.txt", "direct.k30", "--name", "D"}).exit_code, 0);
  CliResult r = Run({"build", "dictionary", "book.tpm", "conv.k30", "--name", "D"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // Tags were stripped in the topic book; everything else survives the second conversion.
  auto direct = ReadModuleFile((dir_ / "direct.k30").string()).entries;
  auto converted = ReadModuleFile((dir_ / "conv.k30").string()).entries;
  ASSERT_EQ(converted.size(), 2u);
  EXPECT_EQ(converted[0].name, "Alpha");
  EXPECT_EQ(converted[0].text, "x");
  EXPECT_EQ(converted[1].text, direct[1].text);
}

TEST_F(ConvertCliTest, RefusedSources) {
  WriteFile("d.txt", "#A\na\n");
  ASSERT_EQ(Run({"build", "dictionary", "d.txt", "dict.tpb", "--name", "D"}).exit_code, 0);
  CliResult r = Convert("dictionary", "dict.tpb");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "error: File 'dict.tpb' is not of expected type.\n");

  WriteFile("short.tpb", std::string("\x06topics", 7));
  r = Convert("writing", "short.tpb");
  EXPECT_EQ(r.output, "error: File 'short.tpb' is not of expected type.\n");

  WriteFile("empty.tpb", TopicBook("", "", ""));
  r = Convert("dictionary", "empty.tpb");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(LogLines(), (Lines{"", "Error: no topics in file", "",
                               "Module creation terminated due to error."}));
  EXPECT_FALSE(Exists("out.mod"));
}

TEST_F(ConvertCliTest, HostileTopicBooks) {
  const std::string names = std::string("A\0B\0", 4);
  const std::string index = Int32(0) + Int32(2);
  const std::string texts = std::string("a\0b\0", 4);
  struct Case {
    std::vector<std::int32_t> starts;
    std::string problem;
  } cases[] = {
      {{100, 368, 376}, "section 1 starts inside the header (100)"},
      {{364, 368, 100000}, "section 3 starts beyond the end of the file (100000)"},
      {{364, 376, 368}, "section 3 starts before the section in front of it"},
      {{-5, 368, 376}, "section 1 starts inside the header (-5)"},
  };
  for (const Case& c : cases) {
    WriteFile("bad.tpb", TopicBook(names, index, texts, c.starts));
    CliResult r = Convert("dictionary", "bad.tpb");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.output, "error: Module file 'bad.tpb' is damaged: " + c.problem + "\n");
    EXPECT_FALSE(Exists("out.mod"));
  }

  // Text positions before the text section, beyond the file, or out of order; a name without
  // its terminator; stray index bytes. Each costs one warning, the rest converts.
  std::string bad_index = Int32(-300) + Int32(1000) + Int32(2) + Int32(0) + "xy";
  std::string bad_names = std::string("A\0B\0C\0D", 7);
  WriteFile("odd.tpb", TopicBook(bad_names, bad_index, texts));
  CliResult r = Convert("dictionary", "odd.tpb");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LogLines(), (Lines{"topic #4 - Warning: name has no terminator",
                               "Warning: 2 stray bytes at the end of the index section ignored",
                               "topic #1 - Warning: text position outside the text section",
                               "topic #2 - Warning: text position outside the text section",
                               "topic #3 - Warning: text positions out of order", "",
                               "Total of: 4 topics", "", "File 'out.mod' was created."}));
  auto entries = Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[2].text, "b");
  EXPECT_EQ(entries[3].text, "a");

  // A long name is cut to 256 bytes and the walk goes on behind its terminator.
  std::string long_names = std::string(300, 'n') + std::string("\0Next\0", 6);
  WriteFile("long.tpb", TopicBook(long_names, Int32(0) + Int32(2), texts));
  r = Convert("dictionary", "long.tpb");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  entries = Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, std::string(256, 'n'));
  EXPECT_EQ(entries[1].name, "Next");
}

}  // namespace
}  // namespace tavrin::e2e
