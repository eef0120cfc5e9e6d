// Looking inside modules, marked text back out of them, and checking a build without writing.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "module/module_reader.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

class DumpCliTest : public CliTest {};

TEST_F(DumpCliTest, ReadableAndJson) {
  WriteFile("d.txt", "#Caf\xE9\r\nsay \"hi\"\r\nline two\r\n");
  ASSERT_EQ(Run({"build", "dictionary", "d.txt", "d.k30", "--name", "N"}).exit_code, 0);
  CliResult r = Run({"dump", "d.k30"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.output.find("kind: dict\nheader: 508 bytes (current format)\nname: N\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("# Caf\xC3\xA9\nsay \"hi\"\nline two\n"), std::string::npos);

  r = Run({"dump", "--json", "d.k30"});
  EXPECT_NE(
      r.output.find("{\"name\": \"Caf\xC3\xA9\", \"text\": \"say \\\"hi\\\"\\r\\nline two\"}"),
      std::string::npos)
      << r.output;
  r = Run({"dump", "--json", "--raw", "d.k30"});
  EXPECT_NE(r.output.find("\"Caf\\u00e9\""), std::string::npos) << r.output;

  WriteFile("broken.k30", ReadFile("d.k30").substr(0, 520));
  r = Run({"dump", "broken.k30"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output.rfind("error: Module file 'broken.k30' is damaged: ", 0), 0u) << r.output;
}

TEST_F(DumpCliTest, SourceRoundTripOfNamedKinds) {
  struct Build {
    Lines args;
  } builds[] = {
      {{"dictionary", "--name", "Dict", "--mark", "##", "--keep-empty-lines", "--no-trim"}},
      {{"writing", "--name", "Writing", "--mark", "##", "--charset", "ce"}},
      {{"topics", "--mark", "##"}},
  };
  WriteFile("src.txt",
            "##Alpha\r\n  indented   text\r\n\r\n\r\nafter two empty lines\r\n"
            "##Beta\r\n#tag-like line <b>bold</b> <color=red>red</color>\r\n##Gamma\r\n");
  for (const Build& b : builds) {
    Lines args = {"build", b.args[0], "src.txt", "first.mod", "--overwrite"};
    args.insert(args.end(), b.args.begin() + 1, b.args.end());
    ASSERT_EQ(Run(args).exit_code, 0);
    CliResult dumped = Run({"dump", "--source", "first.mod"});
    ASSERT_EQ(dumped.exit_code, 0);
    WriteFile("back.txt", dumped.output);
    // The dump names the command that builds it again; run exactly that.
    std::size_t from = dumped.output.find("tavrin-cli build ");
    std::string command = dumped.output.substr(from, dumped.output.find("\r\n", from) - from);
    EXPECT_NE(command.find("--mark '##'"), std::string::npos) << command;
    Lines again = {"build", b.args[0],   "back.txt",      "second.mod",         "--mark",
                   "##",    "--no-trim", "--keep-spaces", "--keep-empty-lines", "--overwrite"};
    if (b.args[0] != "topics") again.insert(again.end(), {"--name", b.args[2]});
    if (b.args[0] == "writing") again.insert(again.end(), {"--charset", "ce"});
    ASSERT_EQ(Run(again).exit_code, 0);
    EXPECT_EQ(ReadFile("second.mod"), ReadFile("first.mod")) << b.args[0];
  }
}

TEST_F(DumpCliTest, SourceRoundTripOfVerseKinds) {
  WriteFile("v.txt",
            "#John 3:16\r\nFor God so loved.\r\n#Gen 1:1 comment\r\n#not a reference\r\n"
            "<b>bold</b>\r\n\r\n\r\nafter\r\n#1 Sam 3:4\r\nSamuel.\r\n#John 3:16\r\nagain\r\n");
  for (std::string kind : {"commentary", "notes", "jumplist"}) {
    Lines args = {"build", kind, "v.txt", "first.mod", "--overwrite", "--keep-empty-lines"};
    if (kind == "commentary") args.insert(args.end(), {"--name", "V"});
    ASSERT_EQ(Run(args).exit_code, 0) << kind;
    CliResult dumped = Run({"dump", "--source", "first.mod"});
    ASSERT_EQ(dumped.exit_code, 0) << dumped.output;
    EXPECT_NE(dumped.output.find("--mark '##'"), std::string::npos);  // a text line opens with #
    WriteFile("back.txt", dumped.output);
    Lines again = {"build", kind,        "back.txt",      "second.mod",         "--mark",
                   "##",    "--no-trim", "--keep-spaces", "--keep-empty-lines", "--overwrite"};
    if (kind == "commentary") again.insert(again.end(), {"--name", "V"});
    ASSERT_EQ(Run(again).exit_code, 0) << kind;
    EXPECT_EQ(ReadFile("second.mod"), ReadFile("first.mod")) << kind;
  }
}

TEST_F(DumpCliTest, CheckRunsTheBuildButWritesNothing) {
  WriteFile("c.txt", "#\r\nx\r\n#B\r\n" + std::string(50001, 'y') + "\r\n");
  WriteFile("c.k30", "old");
  CliResult r = Run({"build", "dictionary", "c.txt", "c.k30", "--name", "C", "--check"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output,
            "c.txt:1:1: warning: topic has no name [build]\n"
            "c.txt:3:1: warning: section too long [build]\n"
            "warning: File 'c.k30' would be created with warnings. See log for details.\n");
  EXPECT_EQ(ReadFile("c.k30"), "old");
  EXPECT_EQ(LogLines().back(), "File 'c.k30' was created.");

  WriteFile("none.txt", "no topics\r\n");
  r = Run({"build", "dictionary", "none.txt", "n.k30", "--name", "C", "--check"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("none.txt:1:1: error: no topics marked [build]"), std::string::npos);
  EXPECT_FALSE(Exists("n.k30"));
}

}  // namespace
}  // namespace tavrin::e2e
