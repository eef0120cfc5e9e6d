// Stored note sets converted by the command line into commentaries and new note sets.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "module/module_reader.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

std::string Record(int book, int chapter, int verse, std::uint32_t offset) {
  std::string r(8, '\0');
  r[0] = static_cast<char>(book);
  r[1] = static_cast<char>(chapter);
  r[2] = static_cast<char>(verse);
  for (int i = 0; i < 4; ++i) r[4 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
  return r;
}

// A note set laid out by hand: records, then texts to the end of the file.
std::string NoteSet(const std::string& records, const std::string& texts) {
  ExpectedModule empty{.kind_string = "notes", .verse_kind = true, .per_kind = 200, .name_flag = 0};
  std::string bytes = empty.Bytes().substr(0, 364) + records + texts;
  std::string offsets =
      Record(0, 0, 0, 364).substr(4) + Record(0, 0, 0, 364 + records.size()).substr(4);
  bytes.replace(76, 8, offsets);
  return bytes;
}

class NoteConvertCliTest : public CliTest {};

TEST_F(NoteConvertCliTest, NoteSetConvertsBackToTheSameCommentary) {
  WriteFile("c.txt",
            "#John 3:16\r\nFor God so loved.\r\n#Gen 1:1\r\nIn the <b>beginning</b>.\r\n"
            "#Gen 1:2\r\n\r\n#Rev 22:21\r\nThe grace.\r\n");
  ASSERT_EQ(Run({"build", "notes", "c.txt", "c.ntm"}).exit_code, 0);
  for (Lines flags : {Lines{}, Lines{"--compatible"}, Lines{"--compatible", "--join-lines"}}) {
    Lines direct = {"build", "commentary", "c.txt", "direct.k30", "--name", "C", "--overwrite"};
    Lines converted = {"build", "commentary", "c.ntm", "conv.k30", "--name", "C", "--overwrite"};
    direct.insert(direct.end(), flags.begin(), flags.end());
    converted.insert(converted.end(), flags.begin(), flags.end());
    ASSERT_EQ(Run(direct).exit_code, 0);
    CliResult r = Run(converted);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    if (flags.empty()) {
      // Tags were stripped in the note set, so only the plain form matches byte for byte.
      auto entries = ReadModuleFile((dir_ / "conv.k30").string()).entries;
      ASSERT_EQ(entries.size(), 3u);
      EXPECT_EQ(entries[0].text, "In the beginning.");
      EXPECT_EQ(entries[2].book, 66);
      EXPECT_EQ(LogLines()[1], "Total of: 3 verse notes");
    } else {
      EXPECT_EQ(ReadFile("conv.k30"), ReadFile("direct.k30"));
    }
  }
  CliResult r = Run({"build", "notes", "c.ntm", "again.nts"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ReadFile("again.nts"), ReadFile("c.ntm"));
}

TEST_F(NoteConvertCliTest, DuplicateOutOfMapAndDamagedRecords) {
  // Gen 1:2 twice (the later wins), Gen 51:1 and book 70 outside the map, a record pointing
  // beyond the file, an empty note, a note at the end without terminator.
  std::string texts = std::string("first\0second\0\0last", 19);
  std::string records = Record(1, 1, 2, 0) + Record(1, 51, 1, 0) + Record(1, 1, 2, 6) +
                        Record(70, 1, 1, 0) + Record(1, 1, 3, 5000) + Record(1, 1, 4, 13) +
                        Record(1, 1, 5, 14) + "abc";
  WriteFile("n.nts", NoteSet(records, texts));
  CliResult r = Run({"build", "commentary", "n.nts", "out.k30", "--name", "N"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LogLines(), (Lines{"record #5 - Warning: text position outside the text section",
                               "Warning: 3 stray bytes at the end of the index section ignored", "",
                               "Total of: 2 verse notes", "", "File 'out.k30' was created."}));
  auto entries = ReadModuleFile((dir_ / "out.k30").string()).entries;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].verse, 2);
  EXPECT_EQ(entries[0].text, "second");
  EXPECT_EQ(entries[1].verse, 5);
  EXPECT_EQ(entries[1].text, "last");

  WriteFile("none.nts", NoteSet(Record(70, 1, 1, 0), std::string("x\0", 2)));
  r = Run({"build", "commentary", "none.nts", "none.k30", "--name", "N"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(LogLines()[1], "Error: no verse note found");
  EXPECT_FALSE(Exists("none.k30"));

  std::string bad = NoteSet(Record(1, 1, 1, 0), "x");
  bad.replace(80, 4, Record(0, 0, 0, 900).substr(4));
  WriteFile("bad.nts", bad);
  r = Run({"build", "notes", "bad.nts", "bad2.nts"});
  EXPECT_EQ(r.output,
            "error: Module file 'bad.nts' is damaged: section 2 starts beyond the end of the file "
            "(900)\n");
}

}  // namespace
}  // namespace tavrin::e2e
