// The command line builds dictionaries, topic books and writings from marked text and header
// files exactly as the main window does: module bytes, log lines, exit status.
#include <gtest/gtest.h>

#include <cstdio>

#include "cli_fixture.h"
#include "module/module_reader.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

class BuildCliTest : public CliTest {
 protected:
  // Builds a dictionary from `source` with extra flags and returns the stored texts by name
  // order, failing the test when no module was written.
  std::vector<ModuleEntry> Dictionary(const std::string& source, Lines flags = {}) {
    WriteFile("src.txt", source);
    Lines args = {"build",  "dictionary", "src.txt",      "out.dat",
                  "--name", "T",          "--compatible", "--overwrite"};
    args.insert(args.end(), flags.begin(), flags.end());
    CliResult r = Run(args);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    if (r.exit_code != 0) return {};
    return ReadModuleFile((dir_ / "out.dat").string()).entries;
  }
  std::string OnlyText(const std::string& source, Lines flags = {}) {
    auto entries = Dictionary(source, std::move(flags));
    EXPECT_EQ(entries.size(), 1u);
    return entries.empty() ? "" : entries[0].text;
  }
};

// File names with letters of several code pages, and a module name outside the user's: the
// name becomes '?' in the module, with a warning; the files are found and made under their own
// names.
TEST_F(BuildCliTest, FileNamesBeyondTheCodePage) {
  const std::string source =
      "\xC3\x89sa\xC3\xAF"
      "e \xD0\x96.txt";                               // Ésaïe Ж.txt
  const std::string output = "\xD0\x9C\xC3\xA9.k30";  // Мé.k30
  WriteFile(source, "#A\r\na\r\n");
  CliResult r = Run({"build", "dictionary", source, output, "--name", "\xD0\x96 \xC3\x89"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output,
            "warning: characters of the module name not in code page 1252 replaced by '?' "
            "[build]\nwarning: File '" +
                output + "' created with warnings. See log for details.\n");
  ExpectedModule expected{.kind_string = "dict",
                          .long_header = true,
                          .module_name = "? \xC9",
                          .names = {"A"},
                          .texts = {"a"}};
  EXPECT_EQ(ReadFile(output), expected.Bytes());
}

#ifdef _WIN32
// A header file's include names are 8-bit text: on Windows in the ANSI code page (1252 here).
TEST_F(BuildCliTest, IncludeNamedInTheAnsiCodePage) {
  WriteFile(
      "\xC3\x89sa\xC3\xAF"
      "e.txt",
      "#A\r\na\r\n");  // Ésaïe.txt
  WriteFile("b.txt", "#B\r\nb\r\n");
  WriteFile("two.hdr",
            "title T\r\ninclude \xC9sa\xEF"
            "e.txt\r\ninclude b.txt\r\n");
  CliResult r = Run({"build", "dictionary", "two.hdr", "t.k30"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "File 't.k30' successfuly created.\n");
  // Findings name it by its path in UTF-8, as the console shows it.
  WriteFile(
      "\xC3\x89sa\xC3\xAF"
      "e.txt",
      "#A\r\n<bx>\r\n");
  EXPECT_EQ(Run({"lint", "dictionary", "two.hdr"}).output,
            "\xC3\x89sa\xC3\xAF"
            "e.txt:2:1: warning: unknown tag <bx> is shown as text [unknown-tag]\n");
}
#endif

TEST_F(BuildCliTest, DictionaryInBothFormatsIsByteExact) {
  WriteFile("d.txt", "#beta\r\nbb\r\n#Alpha\r\na\r\n");
  CliResult r = Run({"build", "dictionary", "d.txt", "d.k30", "--name", "  My   Dictionary "});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "File 'd.k30' successfuly created.\n");
  ExpectedModule expected{.kind_string = "dict",
                          .long_header = true,
                          .module_name = "My Dictionary",
                          .names = {"Alpha", "beta"},
                          .texts = {"a", "bb"}};
  EXPECT_EQ(ReadFile("d.k30"), expected.Bytes());
  EXPECT_EQ(LogLines(),
            (Lines{"", "Total of: 4 lines, 2 topics", "", "File 'd.k30' successfuly created."}));

  r = Run({"build", "dictionary", "d.txt", "d.dat", "--name", "My Dictionary", "--compatible",
           "--charset", "cyrillic"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  expected.long_header = false;
  EXPECT_EQ(ReadFile("d.dat"), expected.Bytes());

  r = Run({"build", "dictionary", "d.txt", "c.k30", "--name", "X", "--charset", "ce"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(static_cast<unsigned char>(ReadFile("c.k30")[432]), 238);
}

TEST_F(BuildCliTest, TopicBookHasNoNameAndPlainTexts) {
  WriteFile("t.txt", "#Hope\n<b>x</b>\n#Faith\ny\n");
  CliResult r = Run({"build", "topics", "t.txt", "t.tpb", "--charset", "ce"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectedModule expected{.kind_string = "topics",
                          .per_kind = 200,
                          .name_flag = 0,
                          .names = {"Faith", "Hope"},
                          .texts = {"y", "x"}};
  EXPECT_EQ(ReadFile("t.tpb"), expected.Bytes());
}

TEST_F(BuildCliTest, JoiningAndEmptyLines) {
  EXPECT_EQ(OnlyText("#Apple\nred\nfruit\n"), "red\r\nfruit");
  EXPECT_EQ(OnlyText("#Apple\nred\nfruit\n", {"--join-lines"}), "red fruit");
  EXPECT_EQ(OnlyText("#A\na\n\nb\n", {"--join-lines"}), "a\r\n\r\nb");
  EXPECT_EQ(OnlyText("#A\na\n\nb\n", {"--join-lines", "--no-preserve-empty"}), "a b");
  EXPECT_EQ(OnlyText("#A\na\n\n\n\nb\n"), "a\r\n\r\nb");
  EXPECT_EQ(OnlyText("#A\na\n\n\n\nb\n", {"--keep-empty-lines"}), "a\r\n\r\n\r\n\r\nb");
  EXPECT_EQ(OnlyText("#A\n\n\na\n"), "a");  // blank lines at the start of a topic are dropped
}

TEST_F(BuildCliTest, BlanksTagLinesAndSpecialBytes) {
  EXPECT_EQ(OnlyText("#A\n   a  b\n", {"--no-trim"}), "   a b");
  EXPECT_EQ(OnlyText("#A\n   a  b\n", {"--no-trim", "--keep-spaces"}), "   a  b");
  EXPECT_EQ(OnlyText("#A\n   a  b  \n"), "a b");
  EXPECT_EQ(OnlyText("#A\nx\xA4y\n"), "x y");
  EXPECT_EQ(OnlyText("#A\nkept\n\x1A#B\nlost\n"), "kept");
  // Tags on lines of their own leave no line break inside the pair.
  EXPECT_EQ(OnlyText("#A\n<b>\nbold\n</b>\nafter\n"), "bold\r\nafter");
  EXPECT_EQ(OnlyText("#A\n<lines>\n  a   b\n</lines>\n", {"--join-lines"}), "  a   b");
}

TEST_F(BuildCliTest, ControlLinesNamesAndOrder) {
  auto entries = Dictionary("intro\n#  Big   Topic \nx\n   #beta\ny\n#Alpha\nz\n#alpha\nw\n");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name.substr(1), "lpha");
  EXPECT_EQ(entries[2].name, "beta");
  EXPECT_EQ(entries[3].name, "Big Topic");

  entries = Dictionary("##One\n#not a topic\n", {"--mark", "##"});
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "One");
  EXPECT_EQ(entries[0].text, "#not a topic");

  WriteFile("n.txt", "#\nx\n");
  CliResult r = Run({"build", "dictionary", "n.txt", "n.dat", "--name", "N"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output,
            "n.txt:1:1: warning: topic has no name [build]\n"
            "warning: File 'n.dat' created with warnings. See log for details.\n");
  EXPECT_EQ(LogLines(), (Lines{"line #1 - Warning: topic has no name", "",
                               "Total of: 2 lines, 1 topics", "", "File 'n.dat' was created."}));
  EXPECT_EQ(ReadModuleFile((dir_ / "n.dat").string()).entries[0].name, "untitled");
}

TEST_F(BuildCliTest, ManyTopicsFinishedOnEveryCoreKeepTheirOrder) {
  // Megabytes of topics, so that their texts are finished in many batches at once; given in
  // reverse order, so that the sort moves every one.
  std::string source;
  ExpectedModule expected{.kind_string = "dict", .long_header = true, .module_name = "Big"};
  constexpr int kTopics = 6000;
  expected.names.resize(kTopics);
  expected.texts.resize(kTopics);
  for (int n = kTopics - 1; n >= 0; --n) {
    char name[16];
    std::snprintf(name, sizeof(name), "t%05d", n);
    source += std::string("#") + name + "\r\n";
    std::string text;
    for (int line = 0; line < 1 + n % 9; ++line) {
      const std::string words = "<b>line " + std::to_string(line) + "</b> of " + name +
                                std::string(static_cast<std::size_t>(n % 31), '.');
      source += words + "\r\n";
      text += (line > 0 ? "\r\n" : "") + words;
    }
    expected.names[static_cast<std::size_t>(n)] = name;
    expected.texts[static_cast<std::size_t>(n)] = text;
  }
  ASSERT_GT(source.size(), std::size_t{1} << 20);
  WriteFile("big.txt", source);
  CliResult r = Run({"build", "dictionary", "big.txt", "big.k30", "--name", "Big"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ReadFile("big.k30"), expected.Bytes());
}

TEST_F(BuildCliTest, TopicsOfMegabytesAmongSmallOnes) {
  // Texts of a megabyte and more are handed to the finisher without a copy; the next topic
  // starts from an empty buffer.
  const std::string big(1536 * 1024, 'x');
  const std::string bigger = std::string(2 << 20, 'y') + "<b>end</b>";
  WriteFile("m.txt",
            "#c\r\nsmall c\r\n#b\r\n" + big + "\r\n#a\r\n" + bigger + "\r\n#d\r\nsmall d\r\n");
  CliResult r = Run({"build", "dictionary", "m.txt", "m.k30", "--name", "M"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectedModule expected{.kind_string = "dict",
                          .long_header = true,
                          .module_name = "M",
                          .names = {"a", "b", "c", "d"},
                          .texts = {bigger, big, "small c", "small d"}};
  EXPECT_EQ(ReadFile("m.k30"), expected.Bytes());
  EXPECT_EQ(LogLines()[0], "section #2 - Warning: section too long");
}

TEST_F(BuildCliTest, LongSectionWarningStartsAbove50000Bytes) {
  // 49998 bytes + CR LF = 50000 gathered bytes: no warning.
  WriteFile("ok.txt", "#A\n" + std::string(49998, 'x') + "\n");
  WriteFile("long.txt", "#A\n#B\n" + std::string(49999, 'x') + "\n");
  for (const char* kind : {"dictionary", "writing"}) {
    CliResult r = Run({"build", kind, "ok.txt", "ok.dat", "--name", "N", "--overwrite"});
    EXPECT_EQ(r.output, "File 'ok.dat' successfuly created.\n") << kind;
    r = Run({"build", kind, "long.txt", "long.dat", "--name", "N", "--overwrite"});
    EXPECT_EQ(r.exit_code, 0) << kind;
    EXPECT_EQ(LogLines()[0], "section #2 - Warning: section too long") << kind;
    EXPECT_EQ(ReadModuleFile((dir_ / "long.dat").string()).entries[1].text.size(), 49999u);
  }
}

TEST_F(BuildCliTest, NoControlLineIsAnError) {
  WriteFile("plain.txt", "just text\nmore\n");
  CliResult r = Run({"build", "dictionary", "plain.txt", "p.dat", "--name", "P"});
  EXPECT_EQ(r.exit_code, 1);
  // The cause at its place, then where the log is.
  EXPECT_EQ(r.output,
            "plain.txt:1:1: error: no topics marked [build]\n"
            "error: Module creation terminated due to error. See log for details.\n"
            "note: the creation log is " +
                (dir_ / "tavrin.log").string() + "\n");
  EXPECT_EQ(LogLines(),
            (Lines{"", "Error: no topics marked", "", "Module creation terminated due to error."}));
  EXPECT_FALSE(Exists("p.dat"));

  r = Run({"build", "writing", "plain.txt", "w.dat", "--name", "P"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(LogLines()[1], "Error: no sections marked");
}

TEST_F(BuildCliTest, ExistingOutputIsKeptWithoutConsent) {
  WriteFile("d.txt", "#A\na\n");
  WriteFile("d.dat", "old module");
  WriteFile("tavrin.log", "old log");
  CliResult r = Run({"build", "dictionary", "d.txt", "d.dat", "--name", "N"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("File named 'd.dat' already exists. Do you wish to overwrite it?"),
            std::string::npos);
  EXPECT_EQ(ReadFile("d.dat"), "old module");
  EXPECT_EQ(ReadFile("tavrin.log"), "old log");
  r = Run({"build", "dictionary", "d.txt", "d.dat", "--name", "N", "--overwrite"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(ReadFile("d.dat"), "old module");
}

TEST_F(BuildCliTest, WritingKeepsSourceOrder) {
  WriteFile("w.txt", "intro\n#Chapter 1\ntext a\n#  Chapter   2 \ntext b\n#Chapter 1\n\n");
  CliResult r = Run({"build", "writing", "w.txt", "w.k30", "--name", "W", "--show-log"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectedModule expected{.kind_string = "refer",
                          .long_header = true,
                          .module_name = "W",
                          .names = {"Chapter 1", "Chapter 2", "Chapter 1"},
                          .texts = {"text a", "text b", ""}};
  EXPECT_EQ(ReadFile("w.k30"), expected.Bytes());
  EXPECT_EQ(LogLines(),
            (Lines{"", "Total of: 7 lines, 3 sections", "", "File 'w.k30' successfuly created."}));
  EXPECT_NE(r.output.find("Total of: 7 lines, 3 sections"), std::string::npos);

  WriteFile("u.txt", "#\nx\n");
  r = Run({"build", "writing", "u.txt", "u.dat", "--name", "W"});
  EXPECT_EQ(LogLines()[0], "line #1 - Warning: section has no name");
}

TEST_F(BuildCliTest, HeaderFiles) {
  WriteFile("a.txt", "#A\n<link kjv=Jn 3:16>x</link> <link picture=p.gif>y</link>\n");
  WriteFile("b.txt", "#B\nb\n");
  WriteFile("two.hdr",
            "title Psalms Notes\r\ndeflink kjv=bible\r\ndefdir pictures=Pics\r\n"
            "include a.txt\r\ninclude b.txt\r\n");
  CliResult r = Run({"build", "dictionary", "two.hdr", "two.k30"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ModuleFile module = ReadModuleFile((dir_ / "two.k30").string());
  EXPECT_EQ(module.header.module_name, "Psalms Notes");
  ASSERT_EQ(module.entries.size(), 2u);
  EXPECT_EQ(module.entries[0].text,
            "<link bible=Jn 3:16>x</link> <link picture=pics\\p.gif>y</link>");
  EXPECT_EQ(LogLines()[1], "Total of: 8 lines, 2 topics");  // the assembled source
  EXPECT_EQ(TempFiles(), 0u);                               // and it is gone

  WriteFile("last.hdr", "include b.txt\r\ntitle Late\r\n");
  r = Run({"build", "dictionary", "last.hdr", "last.k30"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ReadModuleFile((dir_ / "last.k30").string()).header.module_name, "Untitled document");
  EXPECT_EQ(LogLines()[1], "Total of: 2 lines, 1 topics");  // the include read directly

  WriteFile("missing.hdr", "include a.txt\r\ninclude gone.txt\r\ninclude b.txt\r\n");
  r = Run({"build", "writing", "missing.hdr", "m.k30", "--name", "M"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output,
            "missing.hdr:2:1: warning: cannot read included file 'gone.txt'; it and the files "
            "after it were left out [build]\n"
            "warning: File 'm.k30' created with warnings. See log for details.\n");
  Lines log = LogLines();
  EXPECT_EQ(log[0],
            "Warning: cannot read included file 'gone.txt'; it and the files after it were left "
            "out");
  EXPECT_EQ(log.back(), "File 'm.k30' was created.");
  EXPECT_EQ(ReadModuleFile((dir_ / "m.k30").string()).entries.size(), 1u);
  EXPECT_EQ(TempFiles(), 0u);

  WriteFile("none.hdr", "title Nothing\r\n");
  r = Run({"build", "dictionary", "none.hdr", "none.k30"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output,
            "error: Header file 'none.hdr' has no include line: it names no source to build.\n");
}

TEST_F(BuildCliTest, ExtensionsAndRefusals) {
  WriteFile("book.TPB", "#A\na\n");
  CliResult r = Run({"build", "dictionary", "book.TPB", "b.dat", "--name", "B"});
  EXPECT_EQ(r.exit_code, 0) << r.output;  // case matters: read as marked text

  WriteFile("dict.tpb", std::string(400, 'x'));
  r = Run({"build", "dictionary", "dict.tpb", "x.dat", "--name", "B"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "error: File 'dict.tpb' is not of expected type.\n");

  r = Run({"build", "dictionary", "nothere.txt", "x.dat", "--name", "B"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output,
            "error: File opening error. File does not exist or is used by other application. "
            "nothere.txt: " +
                NoSuchFile() + "\n");

  r = Run({"build", "dictionary", "book.TPB", "x.dat", "--name", "   "});
  EXPECT_EQ(r.exit_code, 2);
  r = Run({"build", "novel", "book.TPB", "x.dat"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_FALSE(Exists("x.dat"));
}

TEST_F(BuildCliTest, UnwritableOutputIsReportedAndNothingIsLeft) {
  WriteFile("d.txt", "#A\na\n");
  CliResult r = Run({"build", "dictionary", "d.txt", "no/such/dir/d.dat", "--name", "N"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("error: Cannot create file no/such/dir/d.dat"), std::string::npos)
      << r.output;
  EXPECT_EQ(LogLines().back(), "Module creation terminated due to error.");
}

}  // namespace
}  // namespace tavrin::e2e
