// Commentaries, note sets and jumplists built by the command line from marked text: module
// bytes, log lines and exit status, with made-up and with the shipped verse map and book names.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "builders/entry_finisher.h"
#include "cli_fixture.h"
#include "module/module_reader.h"
#include "module/verse_map.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

struct Verse {
  int book, chapter, verse;
  std::string text;  // finished, before complementing, no terminator
};

std::string Int32(std::uint32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}

// The expected bytes of a verse-based module: header, 8-byte records, texts.
std::string VerseModule(const std::string& kind, bool long_header, const std::string& name,
                        const std::vector<Verse>& verses) {
  const bool finished = kind == "comment";
  ExpectedModule head{.kind_string = kind,
                      .long_header = long_header,
                      .module_name = name,
                      .verse_kind = true,
                      .per_kind = finished ? -1 : 200,
                      .name_flag = static_cast<std::uint8_t>(finished ? 1 : 0)};
  std::string bytes = head.Bytes();
  std::string index, texts;
  for (const Verse& v : verses) {
    index +=
        {static_cast<char>(v.book), static_cast<char>(v.chapter), static_cast<char>(v.verse), '\0'};
    index += Int32(static_cast<std::uint32_t>(texts.size()));
    std::string t = v.text;
    if (long_header)
      for (char& c : t) c = static_cast<char>(~static_cast<unsigned char>(c));
    texts += t + '\0';
  }
  const std::size_t size = bytes.size();
  bytes.replace(long_header ? 128 : 80, 4, Int32(static_cast<std::uint32_t>(size + index.size())));
  return bytes + index + texts;
}

std::string MapBytes(const std::vector<std::vector<int>>& books) {
  std::string bytes;
  for (std::size_t b = 0; b < books.size(); ++b)
    for (std::size_t c = 0; c < books[b].size(); ++c)
      for (int v = 1; v <= books[b][c]; ++v)
        bytes += {static_cast<char>(b + 1), static_cast<char>(c + 1), static_cast<char>(v)};
  return bytes;
}

class VerseCliTest : public CliTest {
 protected:
  // Gen: chapters of 3 and 2 verses; Exod: 4 verses; 1 Sam: 2 verses.
  void UseSmallData() {
    WriteFile("tavrin.bok", "Gen\r\nExod\r\n1 Sam\r\n");
    WriteFile("master.map", MapBytes({{3, 2}, {4}, {2}}));
  }
  // Builds `kind` from `source` into out.<ext> and returns the entries read back.
  std::vector<ModuleEntry> Build(const std::string& kind, const std::string& source,
                                 Lines flags = {}) {
    WriteFile("src.txt", source);
    Lines args = {"build", kind, "src.txt", "out.mod", "--name", "V", "--overwrite"};
    args.insert(args.end(), flags.begin(), flags.end());
    last_ = Run(args);
    EXPECT_EQ(last_.exit_code, 0) << last_.output;
    if (last_.exit_code != 0) return {};
    return ReadModuleFile((dir_ / "out.mod").string()).entries;
  }
  // "b c:v text" of each entry.
  static Lines Summary(const std::vector<ModuleEntry>& entries) {
    Lines out;
    for (const ModuleEntry& e : entries)
      out.push_back(std::to_string(e.book) + " " + std::to_string(e.chapter) + ":" +
                    std::to_string(e.verse) + " " + e.text);
    return out;
  }
  Lines Warnings() const {
    Lines out;
    for (const std::string& line : LogLines())
      if (line.find("Warning") != std::string::npos) out.push_back(line);
    return out;
  }

  CliResult last_;
};

TEST_F(VerseCliTest, CommentaryAndNoteSetAreByteExact) {
  UseSmallData();
  const std::string source =
      "intro line\r\n#Exod 1:2\r\nExodus note\r\n#Gen 1:1\r\nfirst <b>bold</b>\r\nsecond\r\n"
      "#1-Sam 1 2\r\nsam\r\n";
  WriteFile("c.txt", source);
  CliResult r = Run({"build", "commentary", "c.txt", "c.k30", "--name", "My  Notes"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "File 'c.k30' successfuly created.\n");
  EXPECT_EQ(ReadFile("c.k30"), VerseModule("comment", true, "My Notes",
                                           {{1, 1, 1, "first <b>bold</b>\r\nsecond"},
                                            {2, 1, 2, "Exodus note"},
                                            {3, 1, 2, "sam"}}));
  EXPECT_EQ(LogLines(), (Lines{"", "Total of: 8 lines, 3 verse notes", "",
                               "File 'c.k30' successfuly created."}));

  r = Run({"build", "notes", "c.txt", "c.nts", "--join-lines"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(
      ReadFile("c.nts"),
      VerseModule("notes", false, "",
                  {{1, 1, 1, "first bold second"}, {2, 1, 2, "Exodus note"}, {3, 1, 2, "sam"}}));
}

TEST_F(VerseCliTest, ManyNotesFinishedOnEveryCoreKeepCanonicalOrder) {
  // 20,000 verses with a note each, given last to first: most of a megabyte of notes, finished
  // in several batches at once.
  WriteFile("tavrin.bok", "Gen\r\n");
  WriteFile("master.map", MapBytes({std::vector<int>(200, 100)}));
  std::string source;
  std::vector<Verse> expected;
  for (int c = 200; c >= 1; --c) {
    for (int v = 100; v >= 1; --v) {
      const std::string ref = std::to_string(c) + ":" + std::to_string(v);
      source += "#Gen " + ref + "\r\nnote on <b>" + ref + "</b>\r\n" +
                std::string(static_cast<std::size_t>((c * v) % 13), '.') + "\r\n";
      expected.push_back({1, c, v,
                          "note on <b>" + ref + "</b>\r\n" +
                              std::string(static_cast<std::size_t>((c * v) % 13), '.')});
    }
  }
  std::reverse(expected.begin(), expected.end());
  for (Verse& v : expected)
    if (v.text.ends_with("\r\n")) v.text.resize(v.text.size() - 2);
  ASSERT_GT(source.size(), 3 * EntryFinisher::kBatchBytes);
  WriteFile("c.txt", source);
  CliResult r = Run({"build", "commentary", "c.txt", "c.k30", "--name", "Many"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ReadFile("c.k30"), VerseModule("comment", true, "Many", expected));
}

TEST_F(VerseCliTest, DuplicatesOfNotesFinishedWhileReadingAreMergedInFull) {
  // 20,000 notes, finished on the other cores while the source is read; then a second note for
  // every 997th verse and a third for verse 1:1, whose first notes were finished long before.
  // The last note is closed by the end of the source: warned at its own reference line.
  WriteFile("tavrin.bok", "Gen\r\n");
  WriteFile("master.map", MapBytes({std::vector<int>(200, 100)}));
  std::string source;
  std::vector<Verse> expected;
  auto ref_of = [](int c, int v) { return std::to_string(c) + ":" + std::to_string(v); };
  for (int c = 1; c <= 200; ++c) {
    for (int v = 1; v <= 100; ++v) {
      const std::string note = "note <i>" + ref_of(c, v) + "</i> on the verse, in a few words";
      source += "#Gen " + ref_of(c, v) + "\r\n" + note + "  \r\n";
      expected.push_back({1, c, v, note});
    }
  }
  Lines warnings;
  int line = static_cast<int>(std::count(source.begin(), source.end(), '\n'));
  for (int k = 0; k < 20000; k += 997) {
    const int c = k / 100 + 1;
    const int v = k % 100 + 1;
    source += "#Gen " + ref_of(c, v) + "\r\nagain <b>" + ref_of(c, v) + "</b>\r\n";
    // Warned at the reference line that closes the note.
    warnings.push_back("line #" + std::to_string(line + 3) +
                       " - Warning: duplicate reference (Gen " + ref_of(c, v) + ")");
    line += 2;
    expected[static_cast<std::size_t>(k)].text += "\r\n\r\nagain <b>" + ref_of(c, v) + "</b>";
  }
  source += "#Gen 1:1\r\nthird\r\n";
  warnings.push_back("line #" + std::to_string(line + 1) +
                     " - Warning: duplicate reference (Gen 1:1)");
  expected[0].text += "\r\n\r\nthird";
  ASSERT_GT(source.size(), 3 * EntryFinisher::kBatchBytes);
  WriteFile("c.txt", source);
  CliResult r = Run({"build", "commentary", "c.txt", "c.k30", "--name", "Twice"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ReadFile("c.k30"), VerseModule("comment", true, "Twice", expected));
  EXPECT_EQ(Warnings(), warnings);
}

TEST_F(VerseCliTest, DuplicatesAreMergedAndWarnedAtTheClosingReference) {
  UseSmallData();
  std::string source;
  for (int line = 1; line <= 22; ++line) {
    switch (line) {
      case 3:
      case 10:
        source += "#Gen 1:2\n";
        break;
      case 20:
        source += "#Exod 1\n";
        break;
      case 22:
        source += "#gen 1.2\n";  // the last note, a duplicate too
        break;
      default:
        source += "t" + std::to_string(line) + "\n";
    }
  }
  source += "last\n";
  auto entries = Build("commentary", source, {"--compatible"});
  EXPECT_EQ(Summary(entries),
            (Lines{"1 1:2 t4\r\nt5\r\nt6\r\nt7\r\nt8\r\nt9\r\n\r\nt11\r\nt12\r\nt13\r\nt14\r\n"
                   "t15\r\nt16\r\nt17\r\nt18\r\nt19\r\n\r\nlast",
                   "2 1:1 t21"}));
  EXPECT_EQ(Warnings(), (Lines{"line #20 - Warning: duplicate reference (Gen 1:2)",
                               "line #22 - Warning: duplicate reference (Gen 1:2)"}));
  EXPECT_EQ(LogLines()[3], "Total of: 23 lines, 2 verse notes");
  // The command line places each duplicate at its own reference line.
  EXPECT_EQ(last_.output,
            "src.txt:10:1: warning: duplicate reference (Gen 1:2) [build]\n"
            "src.txt:22:1: warning: duplicate reference (Gen 1:2) [build]\n"
            "warning: File 'out.mod' created with warnings. See log for details.\n");
}

TEST_F(VerseCliTest, EmptyNotesMarkedLinesInARowAndCanonicalOrder) {
  UseSmallData();
  // An empty note counts, writes nothing and does not make a later note a duplicate; a marked
  // line right after a reference line is note text, mark and all.
  auto entries = Build("commentary",
                       "#1 Sam 1:1\n#Gen 2:2\nnote\n#Exod 1:4\n\n#Gen 1:1\nfirst\n#Exod 1:4\n"
                       "later\n#Gen 1:3\n   \n",
                       {"--compatible"});
  EXPECT_EQ(Summary(entries), (Lines{"1 1:1 first", "2 1:4 later", "3 1:1 #Gen 2:2\r\nnote"}));
  EXPECT_EQ(Warnings(), Lines{});
  EXPECT_EQ(LogLines()[1], "Total of: 11 lines, 5 verse notes");
}

TEST_F(VerseCliTest, ReferencesAsPartOfTheText) {
  UseSmallData();
  auto entries =
      Build("commentary", "Gen said\nExod 1 3 Moses\nwent.\nGen said too\n1.sam 1:2 Hannah\n",
            {"--compatible", "--reference-type", "1"});
  EXPECT_EQ(Summary(entries),
            (Lines{"2 1:3 Exod 1 3 Moses\r\nwent.\r\nGen said too", "3 1:2 1.sam 1:2 Hannah"}));
  EXPECT_EQ(Warnings(), Lines{});
  EXPECT_EQ(LogLines()[1], "Total of: 5 lines, 2 verse notes");
}

TEST_F(VerseCliTest, LinesBlockEndsWithItsNote) {
  UseSmallData();
  // The block left open in the first note neither keeps blanks nor stops joining in the next.
  auto entries = Build("commentary", "#Gen 1:1\nx\n<lines>\n a  b\n#Gen 1:2\n c  d\ne\n",
                       {"--compatible", "--join-lines"});
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(entries[0].text.find(" a  b"), std::string::npos);
  EXPECT_EQ(entries[1].text, "c d e");
}

TEST_F(VerseCliTest, InvalidAndOutOfBoundsReferences) {
  UseSmallData();
  auto entries = Build("commentary",
                       "#Gen 1:1\nnote\n#Foo 1:1\n#Gen 1:x\n#Gen 1:257\nbig\n#Exod 9:9\nex\n"
                       "#1 Sam 3\nsam\n#" +
                           std::string(47, '-') + "Gen 2\n",
                       {"--compatible"});
  EXPECT_EQ(Summary(entries), (Lines{"1 1:1 note\r\n#Foo 1:1\r\n#Gen 1:x", "1 1:3 big", "2 1:4 ex",
                                     "3 1:2 sam\r\n#" + std::string(47, '-') + "Gen 2"}));
  EXPECT_EQ(Warnings(),
            (Lines{"line #3 - Warning: invalid reference (#Foo 1:1)",
                   "line #4 - Warning: invalid reference (#Gen 1:x)",
                   "line #5 - Warning: reference out of bounds (Gen 1:257) adjusted",
                   "line #7 - Warning: reference out of bounds (Exod 9:9) adjusted",
                   "line #9 - Warning: reference out of bounds (1 Sam 3:1) adjusted",
                   "line #11 - Warning: invalid reference (#" + std::string(47, '-') + "Gen 2)"}));

  // An adjusted reference that lands on a verse with a note is a duplicate.
  entries = Build("commentary", "#Gen 1:3\na\n#Gen 1:300\nb\n", {"--compatible"});
  EXPECT_EQ(Summary(entries), (Lines{"1 1:3 a\r\n\r\nb"}));
  EXPECT_EQ(Warnings(), (Lines{"line #3 - Warning: reference out of bounds (Gen 1:300) adjusted",
                               "line #3 - Warning: duplicate reference (Gen 1:300)"}));
}

TEST_F(VerseCliTest, LongNotes) {
  UseSmallData();
  const std::string half(25000, 'x');
  Build("commentary", "#Gen 1:1\n" + half + "\n#Gen 1:2\n" + half + "\n#Gen 1:2\n" + half + "\n",
        {"--compatible"});
  // 25,002 bytes gathered for each part: the merge passes 50,000 when the third note is stored.
  EXPECT_EQ(Warnings(), (Lines{"line #5 - Warning: duplicate reference (Gen 1:2)",
                               "section #3 - Warning: section too long"}));
  auto entries = ReadModuleFile((dir_ / "out.mod").string()).entries;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].text, half + "\r\n\r\n" + half);

  // A duplicate does not advance the note number: the long note behind one is the second.
  Build("commentary", "#Gen 1:1\na\n#Gen 1:1\nb\n#Gen 1:2\n" + std::string(50001, 'x') + "\n",
        {"--compatible"});
  EXPECT_EQ(Warnings(), (Lines{"line #5 - Warning: duplicate reference (Gen 1:1)",
                               "section #2 - Warning: section too long"}));
}

TEST_F(VerseCliTest, NothingMarkedIsAnError) {
  UseSmallData();
  WriteFile("src.txt", "Gen 1:1\ntext\n");
  WriteFile("out.mod", "old");
  for (Lines flags : {Lines{}, Lines{"--mark", ""}}) {
    Lines args = {"build", "commentary", "src.txt", "out.mod", "--name", "V", "--overwrite"};
    args.insert(args.end(), flags.begin(), flags.end());
    CliResult r = Run(args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(ReadFile("out.mod"), "old");
    EXPECT_EQ(LogLines(), (Lines{"", "Error: no verses marked", "",
                                 "Module creation terminated due to error."}));
  }
  EXPECT_EQ(Run({"build", "jumplist", "src.txt", "out.mod", "--overwrite"}).exit_code, 1);
  EXPECT_EQ(LogLines()[1], "Error: no verses marked");
}

TEST_F(VerseCliTest, JumplistKeepsSourceOrder) {
  UseSmallData();
  std::string source =
      "#Gen 1:2\nGen 2:1\n#Gen 2:1\nto <b>Exod</b> 1:1\n#Exod 1:1\n\n#Gen 1:2\n"
      "Gen 1:1\n#Gen 1:2\nSam 1\n#Exod 7\n" +
      std::string(499, 'j') + "\n#1 Sam 1\n" + std::string(498, 'k') + "\n";
  WriteFile("j.txt", source);
  // The gathered text is measured, line ends included: 499 + 2 bytes are too long, 498 + 2 not.
  CliResult r = Run({"build", "jumplist", "j.txt", "j.jpl"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ReadFile("j.jpl"), VerseModule("jlist", false, "",
                                           {{1, 1, 2, "Gen 2:1"},
                                            {1, 2, 1, "to Exod 1:1"},
                                            {1, 1, 2, "Gen 1:1"},
                                            {1, 1, 2, "Sam 1"},
                                            {2, 1, 4, std::string(499, 'j')},
                                            {3, 1, 1, std::string(498, 'k')}}));
  EXPECT_EQ(LogLines(), (Lines{"line #11 - Warning: reference out of bounds (Exod 7:1) adjusted",
                               "section #6 - Warning: section too long", "",
                               "Total of: 14 lines, 7 jumps", "", "File 'j.jpl' was created."}));
}

TEST_F(VerseCliTest, BadDataFilesRefuseTheBuild) {
  UseSmallData();
  WriteFile("src.txt", "#Gen 1:1\ntext\n");
  WriteFile("out.mod", "old");
  std::string big = MapBytes({std::vector<int>(255, 255), {255, 255, 2}});
  struct Case {
    std::string map;
    std::string problem;
  };
  const std::string damaged =
      "Verse map file '" + (dir_ / "master.map").string() + "' is damaged: ";
  for (const Case& c : std::vector<Case>{
           {"", damaged + "the file is empty"},
           {MapBytes({{2}}) + "\1", damaged + "record #3 (byte 6) is incomplete: the file holds 7 "
                                              "bytes, not a multiple of 3"},
           {MapBytes({{2}, {1}}).substr(3), damaged + "record #1 (byte 0) reads 1 1:2 where "
                                                      "1 1:1 must follow (records out of order "
                                                      "or a gap)"},
           {MapBytes({{1, 0, 1}}), damaged + "record #2 (byte 3) reads 1 3:1 where 1 1:2, 1 2:1 "
                                             "or 2 1:1 must follow (records out of order or a "
                                             "gap)"},
           {big, damaged + "record #65537 (byte 196608) is one verse too many: at most 65536 "
                           "verses"},
       }) {
    WriteFile("master.map", c.map);
    for (const char* kind : {"commentary", "jumplist"}) {
      CliResult r = Run({"build", kind, "src.txt", "out.mod", "--name", "V", "--overwrite"});
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.output, "error: " + c.problem + ". Module creation terminated due to error.\n" +
                              "note: the creation log is " + (dir_ / "tavrin.log").string() + "\n");
      EXPECT_EQ(LogLines(),
                (Lines{"", "Error: " + c.problem, "", "Module creation terminated due to error."}));
      EXPECT_EQ(ReadFile("out.mod"), "old");
    }
  }

  fs::remove(dir_ / "master.map");
  const std::string no_map = "Cannot open file " + (dir_ / "master.map").string();
  CliResult r = Run({"build", "commentary", "src.txt", "out.mod", "--name", "V", "--overwrite"});
  EXPECT_EQ(r.output, "error: " + no_map + ". Module creation terminated due to error. (" +
                          NoSuchFile() + ")\nnote: the creation log is " +
                          (dir_ / "tavrin.log").string() + "\n");

  UseSmallData();
  fs::remove(dir_ / "tavrin.bok");
  const std::string no_names = "Cannot open file " + (dir_ / "tavrin.bok").string();
  r = Run({"build", "jumplist", "src.txt", "out.mod", "--overwrite", "--show-log"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("error: " + no_names + ". Module creation terminated due to error."),
            std::string::npos)
      << r.output;
  EXPECT_EQ(LogLines(),
            (Lines{"", "Error: " + no_names, "", "Module creation terminated due to error."}));
  EXPECT_EQ(ReadFile("out.mod"), "old");
}

TEST_F(VerseCliTest, ShippedDataFiles) {
  // The verse map holds the KJV versification, in the order of the book names.
  VerseMap map = LoadVerseMap(dir_.string());
  EXPECT_EQ(map.BookCount(), 66);
  EXPECT_EQ(map.VerseCount(), 31102);
  int chapters = 0;
  for (int b = 1; b <= 66; ++b) chapters += map.ChapterCount(b);
  EXPECT_EQ(chapters, 1189);
  EXPECT_EQ(map.ChapterCount(19), 150);
  EXPECT_EQ(map.VerseCountOf(19, 119), 176);
  EXPECT_EQ(map.ChapterCount(64), 1);
  EXPECT_EQ(map.VerseCountOf(64, 1), 14);
  EXPECT_EQ(map.VerseCountOf(66, 22), 21);
  EXPECT_EQ(map.VerseCountOf(1, 1), 31);

  const std::string bok = ReadFile("tavrin.bok");
  Lines names;
  for (std::size_t at = 0; at < bok.size();) {
    std::size_t end = bok.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    names.push_back(bok.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_EQ(names.size(), 66u);
  EXPECT_EQ(names[0], "Gen");
  EXPECT_EQ(names[8], "1 Sam");
  EXPECT_EQ(names[18], "Ps");
  EXPECT_EQ(names[63], "3 John");
  EXPECT_EQ(names[65], "Rev");
  // The readable table behind master.map names the books in the same order.
  std::ifstream table(std::string(TAVRIN_DATA_DIR) + "/verse-counts.txt");
  std::string line;
  Lines table_names;
  while (std::getline(table, line))
    if (!line.empty() && line[0] != '#') table_names.push_back(line.substr(0, line.find('\t')));
  EXPECT_EQ(table_names, names);

  auto entries = Build("commentary",
                       "#Rev 22:21\ngrace\n#ps 119:176\nsheep\n#3 John 15\npeace\n#1 Sam 3\n"
                       "Samuel\n");
  EXPECT_EQ(Summary(entries),
            (Lines{"9 3:1 Samuel", "19 119:176 sheep", "64 1:14 peace", "66 22:21 grace"}));
  EXPECT_EQ(Warnings(),
            (Lines{"line #5 - Warning: reference out of bounds (3 John 15:1) adjusted"}));
}

}  // namespace
}  // namespace tavrin::e2e
