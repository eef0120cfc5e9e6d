// Inputs found by fuzzing the builders of marked text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "builders/reading_loop.h"
#include "builders/start_build.h"
#include "module/module_reader.h"
#include "support/recording_host.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

TEST(ReadingRegressionTest, ControlLinesBeginWithTheWholeMark) {
  EXPECT_TRUE(IsControlLine("#Topic", "#"));
  EXPECT_TRUE(IsControlLine("#", "#"));
  EXPECT_FALSE(IsControlLine("", "#"));
  EXPECT_FALSE(IsControlLine("Topic", "#"));
  EXPECT_FALSE(IsControlLine("#Topic", ""));
  EXPECT_TRUE(IsControlLine("$$Topic", "$$"));
  EXPECT_FALSE(IsControlLine("$Topic", "$$"));
  EXPECT_FALSE(IsControlLine("$", "$$"));
}

TEST(ReadingRegressionTest, NulInsideAControlLineCountsAsABlank) {
  EXPECT_EQ(ControlLineName(std::string_view("#Top\0ic", 7), "#"), "Top ic");
  EXPECT_EQ(ControlLineName(std::string_view("#\0 \0x", 5), "#"), "x");
  // Runs of blanks become one, control bytes at either end go, those inside stay.
  EXPECT_EQ(ControlLineName("#  Two   words \t\x01 ", "#"), "Two words");
  EXPECT_EQ(ControlLineName("$$a\tb  \t c", "$$"), "a\tb \t c");
  EXPECT_EQ(ControlLineName("# \t ", "#"), "");
  EXPECT_EQ(ControlLineName("#", "#"), "");
}

// A NUL in a topic or section name split the name in the module's name section, so the
// module had more names than index records and the reader refused it.
TEST(ReadingRegressionTest, NulInANameKeepsTheModuleReadable) {
  const fs::path dir = fs::temp_directory_path() / ("tavrin-rr-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const TextLocale locale("en_US", 1252);
  Session session(locale);
  session.SetProgramFolder(dir.string());
  const std::string source("#Top\0ic\r\ntext\r\n#Other\r\nmore\r\n", 29);
  std::ofstream(dir / "src.txt", std::ios::binary) << source;

  for (BuildTab tab : {BuildTab::kDictionary, BuildTab::kWriting}) {
    BuildRequest request;
    request.tab = tab;
    request.module_name = "Name";
    request.source_path = (dir / "src.txt").string();
    request.output_path = (dir / "out.k30").string();
    RecordingHost host;
    // The NUL is warned about and becomes a blank.
    ASSERT_EQ(StartBuild(request, host, session), BuildOutcome::kCreatedWithWarnings);
    const ModuleFile module = ReadModuleFile(request.output_path);
    ASSERT_EQ(module.entries.size(), 2u);
    std::vector<std::string> names{module.entries[0].name, module.entries[1].name};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Other", "Top ic"}));
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrin
