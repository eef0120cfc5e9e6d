// tavrin-cli lint: each check's finding at the file, line and column the author wrote.
#include <gtest/gtest.h>

#include <chrono>

#include "cli_fixture.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

class LintCliTest : public CliTest {
 protected:
  // The findings of `lint KIND s.txt`, one a line.
  std::string Lint(const std::string& kind, const std::string& source, Lines extra = {}) {
    WriteFile("s.txt", source);
    Lines args = {"lint", kind, "s.txt", "--name", "N"};
    args.insert(args.end(), extra.begin(), extra.end());
    last_ = Run(args);
    return last_.output;
  }
  CliResult last_;
};

TEST_F(LintCliTest, EachCheckAtItsPlace) {
  WriteFile("map.gif", "GIF");
  struct Case {
    std::string kind, source, findings;
  } cases[] = {
      {"dictionary", "#A\r\nx  <colr=red>y</colr>\r\n",
       "s.txt:2:4: warning: unknown tag <colr=red> is shown as text [unknown-tag]\n"
       "s.txt:2:15: warning: unknown tag </colr> is shown as text [unknown-tag]\n"},
      {"dictionary", "#A\r\n<color=300>x</color> <ind=-1>y</ind>\r\n",
       "s.txt:2:1: warning: <color=300> is shown as text: <color> needs \"=\" and a colour name "
       "or a number from 0 to 30 [invalid-tag]\n"
       "s.txt:2:22: warning: <ind=-1> is shown as text: <ind> needs \"=\" and an integer of 0 or "
       "more [invalid-tag]\n"},
      {"dictionary", "#A\r\n   <b>x\r\n<lines>\r\na </i>\r\n",
       "s.txt:2:4: warning: <b> has no closing </b> behind it in its entry [unpaired-tag]\n"
       "s.txt:3:1: warning: <lines> block is never closed in its entry [unpaired-tag]\n"
       "s.txt:4:3: warning: closing tag </i> has no opening tag before it in its entry "
       "[unpaired-tag]\n"},
      {"dictionary",
       "#Alpha\r\n<link local=beta>b</link> <link local=Gamma>g</link>\r\n#Beta\r\n"
       "<link bible=Exod 80>x</link> <link bible=Gen 1:1>y</link> <link bible=Nob 1:1>z</link>\r\n"
       "<link picture=map.gif>m</link><link sound=no.wav>s</link>\r\n"
       "<link url=www.x.org>u</link> <link email=nobody>e</link> <link "
       "url=http://x.org>v</link>\r\n",
       "s.txt:2:27: warning: local link to 'Gamma': no topic of that name [link-target]\n"
       "s.txt:4:1: warning: bible link to 'Exod 80' lies outside the verse map [link-target]\n"
       "s.txt:4:59: warning: bible link to 'Nob 1:1': no such reference with these book names "
       "[link-target]\n"
       "s.txt:5:31: warning: sound link to 'no.wav': no such file beside the source "
       "[link-target]\n"
       "s.txt:6:1: warning: url link to 'www.x.org' has no scheme (such as http://) "
       "[link-target]\n"
       "s.txt:6:30: warning: email link to 'nobody' has no @ [link-target]\n"},
      {"dictionary", "#A\r\n\r\n#\r\n" + std::string(50001, 'x') + "\r\n",
       "s.txt:1:1: warning: the entry's finished text is empty [empty-entry]\n"
       "s.txt:3:1: warning: topic has no name [build]\n"
       "s.txt:3:1: warning: section too long [build]\n"},
      // A duplicate is placed at its own reference line, whatever line the log names.
      {"commentary", "#Gen 1:1\r\na\r\n#Gen 1:1\r\nb\r\n#Gen 1:2\r\nc\r\n",
       "s.txt:3:1: warning: duplicate reference (Gen 1:1) [build]\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lint(c.kind, c.source), c.findings) << c.source.substr(0, 80);
    EXPECT_EQ(last_.exit_code, 1);
  }
  EXPECT_FALSE(Exists("tavrin.log"));
}

TEST_F(LintCliTest, IncludedFilesByTheirOwnLines) {
  WriteFile("a.txt", "#A\r\n<bx>\r\n");
  WriteFile("sub/b.txt", "#B\r\nb\r\n#\r\nc\r\n");
  WriteFile("h.hdr", "title T\r\ninclude a.txt\r\ninclude sub/b.txt\r\ninclude gone.txt\r\n");
  // The header file first, then the included files in their order.
  const std::string expected =
      "h.hdr:4:1: warning: cannot read included file 'gone.txt'; it and the files after it were "
      "left out [build]\n"
      "a.txt:2:1: warning: unknown tag <bx> is shown as text [unknown-tag]\n"
      "sub/b.txt:3:1: warning: topic has no name [build]\n";
  CliResult r = Run({"lint", "dictionary", "h.hdr"});
  EXPECT_EQ(r.output, expected);
  // The build's own warnings, at the same places, on the standard error.
  r = Run({"build", "dictionary", "h.hdr", "h.k30"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output,
            "h.hdr:4:1: warning: cannot read included file 'gone.txt'; it and the "
            "files after it were left out [build]\n"
            "sub/b.txt:3:1: warning: topic has no name [build]\n"
            "warning: File 'h.k30' created with warnings. See log for details.\n");
}

TEST_F(LintCliTest, FormatsChecksAndExitStatus) {
  Lint("dictionary", "#A\r\n<colr>x <b>y\r\n", {"--format", "json", "--disable", "unpaired-tag"});
  EXPECT_EQ(last_.output,
            "[\n  {\"file\": \"s.txt\", \"line\": 2, \"column\": 1, \"severity\": \"warning\", "
            "\"check\": \"unknown-tag\", "
            "\"message\": \"unknown tag <colr> is shown as text\"}\n]\n");
  for (const Lines& wrong : {Lines{"--disable", "nonsense"}, Lines{"--max-findings", "-1"}}) {
    Lint("dictionary", "#A\r\nx\r\n", wrong);
    EXPECT_EQ(last_.exit_code, 2) << last_.output;
  }
  // A clean example: nothing to say.
  for (const char* example : {"topics.txt", "writing.txt"}) {
    fs::copy_file(fs::path(TAVRIN_EXAMPLES_DIR) / example, dir_ / example);
    CliResult r = Run({"lint", "writing", example, "--name", "W"});
    EXPECT_EQ(r.output, "") << example;
    EXPECT_EQ(r.exit_code, 0) << example;
  }
}

// Places and verdicts no other case pins: a column behind a 0xA4 byte whose leading blanks were
// trimmed, an unclosed tag that also fails its rule, a closing tag on the line after text.
TEST_F(LintCliTest, PlacesAndChecksAtTheEdges) {
  struct Case {
    std::string source, findings;
  } cases[] = {
      {"#Apple\r\n   a\xA4<foo>bar\r\n",
       "s.txt:2:6: warning: unknown tag <foo> is shown as text [unknown-tag]\n"},
      {"#Apple\r\n<color=300>red\r\n",
       "s.txt:2:1: warning: <color=300> is shown as text: <color> needs \"=\" and a colour name "
       "or a number from 0 to 30 [invalid-tag]\n"},
      {"#Apple\r\nsome text\r\n</b>\r\n",
       "s.txt:3:1: warning: closing tag </b> has no opening tag before it in its entry "
       "[unpaired-tag]\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Lint("dictionary", c.source), c.findings) << c.source;
}

// Over --max-findings the first findings in print order are kept, even one made last (local
// links are looked up once every topic is known), and a last line or element counts the rest.
TEST_F(LintCliTest, MaxFindingsKeepsTheFirstAndCountsTheRest) {
  const std::string source = "#A\r\n<link local=nowhere>x</link>\r\n#B\r\n<zz> <zz>\r\n";
  EXPECT_EQ(Lint("dictionary", source, {"--max-findings", "2"}),
            "s.txt:2:1: warning: local link to 'nowhere': no topic of that name [link-target]\n"
            "s.txt:4:1: warning: unknown tag <zz> is shown as text [unknown-tag]\n"
            "note: 1 more finding left out by --max-findings 2 (0 shows them all)\n");
  EXPECT_EQ(last_.exit_code, 1);
  EXPECT_EQ(
      Lint("dictionary", source, {"--max-findings", "1", "--format", "json"}),
      "[\n  {\"file\": \"s.txt\", \"line\": 2, \"column\": 1, \"severity\": \"warning\", "
      "\"check\": \"link-target\", "
      "\"message\": \"local link to 'nowhere': no topic of that name\"},\n"
      "  {\"file\": \"\", \"line\": 0, \"column\": 0, \"severity\": \"note\", "
      "\"check\": \"max-findings\", "
      "\"message\": \"2 more findings left out by --max-findings 1 (0 shows them all)\"}\n]\n");
  EXPECT_EQ(last_.exit_code, 1);
}

// Entries that took the lint minutes: many findings on one line (each column was counted from
// the line's start), many tags ending at one ">" (each read all of it), all of them printed.
TEST_F(LintCliTest, ManyFindingsInOneEntryTakeLinearTime) {
  auto repeated = [](std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
  };
  const std::string entries[] = {
      repeated("x</i>", 200000),
      repeated("<link url=", 30000) + "x" + repeated("></link>", 30000),
      repeated("<ind ", 60000) + "=" + repeated("0", 60000) + ">",
  };
  for (const std::string& entry : entries) {
    const auto start = std::chrono::steady_clock::now();
    Lint("dictionary", "#U\r\n" + entry + "\r\n", {"--max-findings", "0"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30))
        << entry.substr(0, 20);
    EXPECT_EQ(last_.exit_code, 1);
  }
}

}  // namespace
}  // namespace tavrin::e2e
