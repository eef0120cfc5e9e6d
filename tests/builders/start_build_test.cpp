#include "builders/start_build.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "builders/body_line.h"
#include "builders/build_run.h"
#include "builders/commentary_builder.h"
#include "builders/dictionary_builder.h"
#include "builders/jumplist_builder.h"
#include "builders/writing_builder.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "source/line_reader.h"
#include "support/recording_host.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

TEST(BuildRequestTest, KindFormatAndCreateRules) {
  EXPECT_EQ(KindOf(BuildTab::kDictionary, true, false), ModuleKind::kTopics);
  EXPECT_EQ(KindOf(BuildTab::kCommentary, false, true), ModuleKind::kNotes);
  EXPECT_EQ(KindOf(BuildTab::kWriting, true, true), ModuleKind::kWriting);
  EXPECT_EQ(KindOf(BuildTab::kJumplist, false, false), ModuleKind::kJumplist);
  EXPECT_TRUE(NewFormatOf(BuildTab::kDictionary, false, false, false));
  EXPECT_FALSE(NewFormatOf(BuildTab::kDictionary, true, false, false));
  EXPECT_FALSE(NewFormatOf(BuildTab::kCommentary, false, false, true));
  EXPECT_FALSE(NewFormatOf(BuildTab::kJumplist, false, false, false));
  // The command line fills its request from a kind.
  for (const ModuleKindInfo& kind : AllKinds()) {
    BuildRequest request;
    request.editable_topics = request.editable_notes = true;
    SetKind(request, kind.kind);
    EXPECT_EQ(KindOf(request), kind.kind) << kind.word;
  }

  BuildRequest r;
  r.source_path = "book.hdr";
  EXPECT_TRUE(CreateEnabled(r));  // a header file supplies the rest
  r.source_path = "book.HDR";
  EXPECT_FALSE(CreateEnabled(r));
  r.output_path = "o.dat";
  r.module_name = " \t";
  EXPECT_FALSE(CreateEnabled(r));
  r.editable_topics = true;  // the name box is out of play
  EXPECT_TRUE(CreateEnabled(r));
  r.tab = BuildTab::kJumplist;
  r.source_path = "x.hdr";
  r.output_path = " ";
  EXPECT_FALSE(CreateEnabled(r));

  EXPECT_EQ(NormalizeModuleName("  My   Dictionary \t"), "My Dictionary");
  EXPECT_EQ(NormalizeModuleName("a\t\tb"), "a\t\tb");
  EXPECT_EQ(FileExtension("dir.v2/book"), "");
  EXPECT_EQ(FileExtension("my.notes.txt"), ".txt");
  EXPECT_EQ(FileExtension("noext"), "");
}

TEST(CleanLineTest, Options) {
  BuildOptions o;
  EXPECT_EQ(CleanLine("  a   b  ", o, false), "a b");
  o.trim_leading_spaces = false;
  EXPECT_EQ(CleanLine("   a  b ", o, false), "   a b");
  EXPECT_EQ(CleanLine(" \t  a", o, false), " \t a");     // a tab ends the leading run
  EXPECT_EQ(CleanLine("a \xA4 b", o, false), "a   b");   // 0xA4 breaks a run, then is a blank
  EXPECT_EQ(CleanLine("   a  b ", o, true), "   a  b");  // inside <lines>: only the right end
  o.trim_leading_spaces = true;
  EXPECT_EQ(CleanLine("   a  b ", o, true), "   a  b");
}

class StartBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tavrin-sb-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    session_.SetProgramFolder(dir_.string());
    session_.SetUser("tester");
    request_.module_name = "Name";
    request_.source_path = (dir_ / "src.txt").string();
    request_.output_path = (dir_ / "out.k30").string();
    std::string source;
    for (int i = 0; i < 50; ++i) source += "#Topic " + std::to_string(i) + "\r\ntext\r\n";
    std::ofstream(request_.source_path, std::ios::binary) << source;
  }
  void TearDown() override { fs::remove_all(dir_); }

  TextLocale locale_{"en_US", 1252};
  Session session_{locale_};
  RecordingHost host_;
  BuildRequest request_;
  fs::path dir_;
};

TEST_F(StartBuildTest, BusyStateProgressAndMessage) {
  request_.module_name = "  Spaced   Name ";
  EXPECT_EQ(StartBuild(request_, host_, session_), BuildOutcome::kCreated);
  EXPECT_EQ(request_.module_name, "Spaced Name");
  ASSERT_FALSE(host_.module_names.empty());
  EXPECT_EQ(host_.module_names.front(), "Spaced Name");
  EXPECT_EQ(host_.disabled, 1);
  EXPECT_EQ(host_.enabled, 1);
  EXPECT_FALSE(host_.busy);
  EXPECT_FALSE(host_.progress_visible);
  // Every line, every topic, then the module's one megabyte and the moment before it is put
  // in place (and every 20 ms while the disk takes its time).
  EXPECT_GE(host_.polls, 100 + 50 + 2);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(host_.statuses.front(), "Reading text from file...");
  EXPECT_TRUE(fs::exists(dir_ / "tavrin.log"));
  EXPECT_TRUE(host_.shown_logs.empty());

  request_.show_log_when_finished = true;
  StartBuild(request_, host_, session_);
  ASSERT_EQ(host_.questions.size(), 1u);
  EXPECT_EQ(host_.shown_logs, std::vector<std::string>{(dir_ / "tavrin.log").string()});
}

TEST_F(StartBuildTest, CancelWhileReadingOrWritingKeepsTheOldModule) {
  std::ofstream(request_.output_path, std::ios::binary) << "old";
  // In the reading loop, while writing topics, once the module's bytes are handed to the
  // system, and right before it would be put in place.
  for (int cancel_at : {10, 120, 151, 152}) {
    RecordingHost host;
    host.cancel_after_polls = cancel_at;
    EXPECT_EQ(StartBuild(request_, host, session_), BuildOutcome::kCancelled);
    EXPECT_EQ(host.polls, cancel_at);
    EXPECT_EQ(ReadWholeFile(request_.output_path), "old");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Module creation canceled by user.");
    EXPECT_EQ(host.enabled, 1);
    EXPECT_EQ(ReadWholeFile((dir_ / "tavrin.log").string()),
              "\r\nModule creation canceled by user.\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
  }
}

TEST_F(StartBuildTest, DeclinedOverwriteBuildsNothing) {
  std::ofstream(request_.output_path, std::ios::binary) << "old";
  host_.answer_yes = false;
  EXPECT_EQ(StartBuild(request_, host_, session_), BuildOutcome::kNotStarted);
  EXPECT_EQ(host_.disabled, 0);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(ReadWholeFile(request_.output_path), "old");
  EXPECT_FALSE(fs::exists(dir_ / "tavrin.log"));
}

TEST_F(StartBuildTest, HeaderSettingsOutliveTheBuild) {
  std::ofstream(dir_ / "h.hdr", std::ios::binary)
      << "defdir pictures=Pics\r\ninclude " << request_.source_path << "\r\n";
  request_.source_path = (dir_ / "h.hdr").string();
  request_.module_name.clear();
  EXPECT_EQ(StartBuild(request_, host_, session_), BuildOutcome::kCreated);
  EXPECT_EQ(request_.module_name, "Untitled document");
  EXPECT_EQ(host_.module_names.back(), "Untitled document");
  EXPECT_EQ(session_.Links().pictures_dir, "pics\\");
}

TEST_F(StartBuildTest, LeftoversAreFreedWhileTheModuleGoesToDisk) {
  // Run on another thread, once the bytes are written and before the build has ended (it may
  // still run when the module is already in place); not at all when no module is written.
  for (const bool check_only : {false, true}) {
    const std::string output = (dir_ / (check_only ? "c.k30" : "w.k30")).string();
    BuildJob job{host_, session_, ModuleKind::kDictionary, true, {}, "Name", 0, "", output};
    job.log_path = (dir_ / "run.log").string();
    job.check_only = check_only;
    int calls = 0;
    std::thread::id thread;
    {
      BuildRun run(job, "Reading text from file...");
      run.name_stream.Append("a");
      run.name_stream.AppendByte(0);
      run.index_stream.AppendInt32(0);
      run.text_stream.Append("text");
      run.text_stream.AppendByte(0);
      run.FreeWhileSyncing([&] {
        ++calls;
        thread = std::this_thread::get_id();
      });
      run.LogTotals("Total of: 1 topics");
      run.Finish();
      EXPECT_EQ(calls, check_only ? 0 : 1);
    }
    EXPECT_EQ(fs::exists(output), !check_only);
    if (!check_only) {
      EXPECT_NE(thread, std::this_thread::get_id());
    }
  }
}

// A source whose disk gives way behind its first block, with the file layer's error.
class FailingSource : public std::streambuf {
 public:
  explicit FailingSource(std::string first) : first_(std::move(first)) {}

 protected:
  std::streamsize xsgetn(char* data, std::streamsize count) override {
    if (served_) throw EInOutError(Message::kCannotReadFile, "src.txt");
    served_ = true;
    const auto size = std::min<std::size_t>(static_cast<std::size_t>(count), first_.size());
    std::memcpy(data, first_.data(), size);
    return static_cast<std::streamsize>(size);
  }

 private:
  std::string first_;
  bool served_ = false;
};

TEST_F(StartBuildTest, SourceFailingMidwayIsAnErrorOfItsFile) {
  std::ofstream(dir_ / "tavrin.bok", std::ios::binary) << "Gen\r\n";
  std::ofstream(dir_ / "master.map", std::ios::binary) << std::string("\1\1\1", 3);
  const std::string output = (dir_ / "out.k30").string();
  const std::pair<ModuleKind, BuildOutcome (*)(BuildJob&)> builders[] = {
      {ModuleKind::kDictionary, BuildDictionary},
      {ModuleKind::kWriting, BuildWriting},
      {ModuleKind::kCommentary, BuildCommentary},
      {ModuleKind::kJumplist, BuildJumplist}};
  for (const auto& [kind, build] : builders) {
    std::string first = "#Gen 1:1\r\n";
    while (first.size() < LineReader::kBlockSize) first += "text\r\n";
    FailingSource buffer(first);
    std::istream source(&buffer);
    source.exceptions(std::ios::badbit);
    RecordingHost host;
    host.cancel_after_polls = 100000;  // ends a build that would read on past the failure
    BuildJob job{host, session_, kind, true, {}, "Name", 0, "", output};
    job.source = &source;
    job.log_path = (dir_ / "tavrin.log").string();
    EXPECT_EQ(build(job), BuildOutcome::kFailed);
    EXPECT_TRUE(ReadWholeFile(job.log_path)
                    .ends_with("\r\nError: Cannot read file src.txt\r\n\r\n"
                               "Module creation terminated due to error.\r\n"));
    EXPECT_EQ(host.messages.back().text,
              "Module creation terminated due to error. See log for details.");
    EXPECT_FALSE(fs::exists(output));
  }
}

}  // namespace
}  // namespace tavrin
