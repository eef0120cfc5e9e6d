#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "builders/start_build.h"
#include "platform/system.h"
#include "support/recording_host.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class VerseBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tavrin-vb-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    session_.SetProgramFolder(dir_.string());
    session_.SetUser("tester");
    Write("tavrin.bok", "Gen\r\nExod\r\n");
    Write("master.map", std::string("\1\1\1\1\1\2\1\1\3\2\1\1", 12));
    request_.tab = BuildTab::kCommentary;
    request_.module_name = "Notes";
    request_.source_path = (dir_ / "src.txt").string();
    request_.output_path = (dir_ / "out.k30").string();
    std::string source;
    for (int i = 0; i < 20; ++i) source += "#Gen 1:" + std::to_string(i % 3 + 1) + "\r\ntext\r\n";
    Write("src.txt", source);
    Write("out.k30", "old");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }

  TextLocale locale_{"en_US", 1252};
  Session session_{locale_};
  BuildRequest request_;
  fs::path dir_;
};

TEST_F(VerseBuilderTest, RefusedBuildLeavesTheWindowIdle) {
  for (const char* broken : {"master.map", "tavrin.bok"}) {
    SetUp();
    fs::remove(dir_ / broken);
    RecordingHost host;
    request_.show_log_when_finished = true;
    EXPECT_EQ(StartBuild(request_, host, session_), BuildOutcome::kFailed);
    EXPECT_EQ(host.disabled, 1);
    EXPECT_EQ(host.enabled, 1);
    EXPECT_FALSE(host.busy);
    EXPECT_FALSE(host.progress_visible);
    EXPECT_EQ(host.statuses.back(), "");  // idle status text restored
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].icon, MessageIcon::kStop);
    EXPECT_EQ(host.messages[0].text, "Cannot open file " + (dir_ / broken).string() +
                                         ". Module creation terminated due to error.");
    EXPECT_EQ(host.shown_logs, std::vector<std::string>{(dir_ / "tavrin.log").string()});
    EXPECT_EQ(ReadWholeFile((dir_ / "out.k30").string()), "old");
  }
}

TEST_F(VerseBuilderTest, CancelKeepsTheOldModule) {
  // 20 passes of two lines each while reading, then one poll per verse of the map.
  for (int cancel_at : {5, 21}) {
    for (BuildTab tab : {BuildTab::kCommentary, BuildTab::kJumplist}) {
      RecordingHost host;
      host.cancel_after_polls = cancel_at;
      request_.tab = tab;
      EXPECT_EQ(StartBuild(request_, host, session_), BuildOutcome::kCancelled);
      EXPECT_EQ(host.polls, cancel_at);
      EXPECT_EQ(ReadWholeFile((dir_ / "out.k30").string()), "old");
      EXPECT_TRUE(ReadWholeFile((dir_ / "tavrin.log").string())
                      .ends_with("\r\nModule creation canceled by user.\r\n"));
      EXPECT_FALSE(host.busy);
    }
  }
}

TEST_F(VerseBuilderTest, WritesAfterReading) {
  RecordingHost host;
  EXPECT_EQ(StartBuild(request_, host, session_), BuildOutcome::kCreatedWithWarnings);
  // Reading, one poll per verse of the map, then the writing of the module's bytes.
  EXPECT_GE(host.polls, 20 + 4 + 2);  // more while the disk takes its time
  EXPECT_EQ(host.statuses.front(), "Reading text from file...");
  EXPECT_EQ(host.progress_max, fs::file_size(dir_ / "out.k30"));
  request_.tab = BuildTab::kJumplist;
  RecordingHost jumps;
  EXPECT_EQ(StartBuild(request_, jumps, session_), BuildOutcome::kCreated);
  EXPECT_GE(jumps.polls, 20 + 20 + 2);
}

}  // namespace
}  // namespace tavrin
