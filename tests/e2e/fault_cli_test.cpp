// When things go wrong: each fault gives its message, keeps an existing module byte for byte,
// leaves no temporary file, and ends the command line with exit status 1.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "cli_fixture.h"
#include "module/module_reader.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

class FaultCliTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    WriteFile("d.txt", "#A\r\n" + std::string(4000, 'a') + "\r\n#B\r\nb\r\n");
  }
  // Files in the program folder other than the ones a test made (temporary leftovers).
  std::size_t StrayFiles(const fs::path& folder) const {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().rfind(".tavrin-", 0) == 0) ++n;
    return n;
  }
  void ExpectRefused(const CliResult& r, const std::string& message) {
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find(message), std::string::npos) << r.output;
  }
};

TEST_F(FaultCliTest, OutputThatCannotBeWritten) {
  ExpectRefused(Run({"build", "dictionary", "d.txt", "missing/d.k30", "--name", "D"}),
                "error: Cannot create file missing/d.k30");
  // The log never claims the module that could not be written.
  EXPECT_EQ(LogLines(), (Lines{"", "Total of: 4 lines, 2 topics", "",
                               "Error: Cannot create file "
                               "missing/d.k30",
                               "", "Module creation terminated due to error."}));
  // Outputs that are no file to replace, refused before anything is read or asked.
  fs::create_directories(dir_ / "adir");
  ExpectRefused(Run({"build", "dictionary", "d.txt", "adir", "--name", "D"}),
                "error: Output 'adir' is a folder, not a file.");
  EXPECT_TRUE(fs::is_directory(dir_ / "adir"));
  EXPECT_EQ(LogLines(), (Lines{"Error: Output 'adir' is a folder, not a file.", "",
                               "Module creation terminated due to error."}));
  WriteFile("h.hdr", "include d.txt\r\n");
  for (const char* output : {"d.txt", "./d.txt", "h.hdr"}) {
    ExpectRefused(Run({"build", "dictionary", "h.hdr", output, "--overwrite"}), "itself.");
    EXPECT_EQ(ReadFile("d.txt").substr(0, 4), "#A\r\n");
  }
#ifndef _WIN32  // folders that refuse new files
  ExpectRefused(Run({"build", "dictionary", "d.txt", "/proc/d.k30", "--name", "D"}),
                "error: Cannot create file /proc/d.k30");
  EXPECT_EQ(LogLines().back(), "Module creation terminated due to error.");
  // A folder that takes no new file, for root too: the system's reason follows.
  ExpectRefused(Run({"build", "dictionary", "d.txt", "/sys/d.k30", "--name", "D"}),
                "error: Cannot create file /sys/d.k30: ");

  if (geteuid() != 0) {  // root writes into read-only folders anyway
    fs::create_directories(dir_ / "ro");
    WriteFile("ro/d.k30", "old module");
    chmod((dir_ / "ro").c_str(), 0555);
    ExpectRefused(Run({"build", "dictionary", "d.txt", "ro/d.k30", "--name", "D", "--overwrite"}),
                  "error: Cannot create file ro/d.k30: Permission denied");
    chmod((dir_ / "ro").c_str(), 0755);
    EXPECT_EQ(ReadFile("ro/d.k30"), "old module");
  }
#else  // a read-only module is kept, and the refusal says why
  WriteFile("ro.k30", "old module");
  fs::permissions(dir_ / "ro.k30", fs::perms::all, fs::perm_options::remove);
  ExpectRefused(Run({"build", "dictionary", "d.txt", "ro.k30", "--name", "D", "--overwrite"}),
                "error: Cannot create file ro.k30: the file is read-only");
  fs::permissions(dir_ / "ro.k30", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(ReadFile("ro.k30"), "old module");
  EXPECT_EQ(StrayFiles(dir_), 0u);
#endif
}

TEST_F(FaultCliTest, WriteFailingMidwayKeepsTheOldModule) {
#ifdef _WIN32
  GTEST_SKIP() << "a file size limit (ulimit -f) is a Linux means";
#else
  WriteFile("d.k30", "old module");
  // A file size limit of 2 KiB makes the module's write fail after its first bytes.
  std::string command = "cd '" + dir_.string() +
                        "' && ulimit -f 2 && ./tavrin-cli build dictionary d.txt d.k30 --name D "
                        "--overwrite </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output(4096, '\0');
  output.resize(fread(output.data(), 1, output.size(), pipe));
  int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1) << output;
  EXPECT_NE(output.find("cannot write file d.k30"), std::string::npos) << output;
  EXPECT_EQ(ReadFile("d.k30"), "old module");
  EXPECT_EQ(StrayFiles(dir_), 0u);
#endif
}

TEST_F(FaultCliTest, ModuleTooLargeForItsOffsetsIsRefused) {
  WriteFile("d.k30", "old module");
  CliResult r = Run({"build", "dictionary", "d.txt", "d.k30", "--name", "D", "--overwrite",
                     "--offset-limit", "4000"});
  ExpectRefused(r, "error: Module too large for its 32-bit offsets: d.k30");
  EXPECT_EQ(ReadFile("d.k30"), "old module");
  EXPECT_EQ(StrayFiles(dir_), 0u);
  r = Run({"build", "dictionary", "d.txt", "d.k30", "--name", "D", "--overwrite", "--offset-limit",
           "5000"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
}

TEST_F(FaultCliTest, SourcesThatCannotBeRead) {
  const std::string opening =
      "error: File opening error. File does not exist or is used by other application.";
  fs::create_directories(dir_ / "srcdir");
  ExpectRefused(Run({"build", "dictionary", "srcdir", "o.k30", "--name", "D"}), opening);
  ExpectRefused(Run({"build", "dictionary", "nothere.txt", "o.k30", "--name", "D"}), opening);
#ifndef _WIN32  // a file its owner may not read, reads that fail in /proc
  if (geteuid() != 0) {
    WriteFile("secret.txt", "#A\r\na\r\n");
    chmod((dir_ / "secret.txt").c_str(), 0);
    ExpectRefused(Run({"build", "dictionary", "secret.txt", "o.k30", "--name", "D"}), opening);
  }
  // Sources whose reads fail: the memory of the reading process, at address 0.
  fs::create_symlink("/proc/self/mem", dir_ / "mem.tpb");
  ExpectRefused(Run({"build", "dictionary", "/proc/self/mem", "o.k30", "--name", "D"}), opening);
  ExpectRefused(Run({"build", "dictionary", "mem.tpb", "o.k30", "--name", "D"}), opening);
#endif
  EXPECT_FALSE(Exists("o.k30"));
}

TEST_F(FaultCliTest, DataFilesThatCannotBeRead) {
  WriteFile("v.txt", "#Gen 1:1\r\nnote\r\n");
  for (const std::string data : {"master.map", "tavrin.bok"}) {
    fs::rename(dir_ / data, dir_ / "kept");
    fs::create_directory(dir_ / data);
    const std::string problem = "Cannot open file " + (dir_ / data).string();
    ExpectRefused(Run({"build", "commentary", "v.txt", "v.k30", "--name", "V"}),
                  "error: " + problem + ". Module creation terminated due to error.");
    EXPECT_EQ(LogLines(),
              (Lines{"", "Error: " + problem, "", "Module creation terminated due to error."}));
    fs::remove(dir_ / data);
    fs::rename(dir_ / "kept", dir_ / data);
  }
  EXPECT_FALSE(Exists("v.k30"));
}

TEST_F(FaultCliTest, OddBytesInTheSource) {
  // NUL bytes would end a text (or split a name) in the module: they become blanks, warned.
  // (Not in nul.txt: that is the null device on Windows.)
  WriteFile("zeros.txt", std::string("#A\0B\r\nx\0y\r\n", 11));
  CliResult r = Run({"build", "dictionary", "zeros.txt", "zeros.k30", "--name", "D"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LogLines()[0], "line #1 - Warning: NUL bytes replaced by blanks");
  EXPECT_EQ(LogLines()[1], "line #2 - Warning: NUL bytes replaced by blanks");
  ModuleFile module = ReadModuleFile((dir_ / "zeros.k30").string());
  EXPECT_EQ(module.entries[0].name, "A B");
  EXPECT_EQ(module.entries[0].text, "x y");

  // A byte 0xFF ends a complemented text: a current-format module warns at the line (not at a
  // name, which is not complemented); a compatible one keeps it as it is.
  WriteFile("ff.txt", "#\xFF\r\nx \xFF y\r\n");
  WriteFile("ff-notes.txt", "#Gen 1:1\r\nx \xFF y\r\n");
  const std::string cut =
      "line #2 - Warning: '\xFF' is the byte 0xFF of code page 1252, which ends the text in a "
      "module of the current format: the entry is cut there";
  const struct {
    std::vector<std::string> args;
    std::string first_log_line;
  } ff_cases[] = {
      {{"build", "dictionary", "ff.txt", "ff.k30", "--name", "D"}, cut},
      {{"build", "commentary", "ff-notes.txt", "ff.k30", "--name", "D", "--overwrite"}, cut},
      {{"build", "dictionary", "ff.txt", "ff.dat", "--name", "D", "--compatible"}, ""},
  };
  for (const auto& c : ff_cases) {
    r = Run(c.args);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(LogLines()[0], c.first_log_line) << c.args[3];
  }

  // One line of 20 MB without a line end is one topic, kept whole with its warning.
  WriteFile("long.txt", "#Long\r\n" + std::string(20 << 20, 'x'));
  r = Run({"build", "dictionary", "long.txt", "long.dat", "--name", "D", "--compatible"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LogLines()[0], "section #1 - Warning: section too long");
  EXPECT_EQ(fs::file_size(dir_ / "long.dat"), 364u + 5 + 4 + (20u << 20) + 1);

  for (const std::string& nothing : {std::string("\r\r\r\r"), std::string("\x1A#A\r\na\r\n")}) {
    WriteFile("odd.txt", nothing);
    ExpectRefused(Run({"build", "dictionary", "odd.txt", "odd.k30", "--name", "D"}),
                  "error: Module creation terminated due to error. See log for details.");
    EXPECT_EQ(LogLines().end()[-3], "Error: no topics marked");
    EXPECT_FALSE(Exists("odd.k30"));
  }
}

TEST_F(FaultCliTest, TemporaryFolderAndLogThatCannotBeMade) {
  WriteFile("a.txt", "#A\r\na\r\n");
  WriteFile("b.txt", "#B\r\nb\r\n");
  WriteFile("two.hdr", "include a.txt\r\ninclude b.txt\r\n");
  WriteFile("o.k30", "old module");
#ifndef _WIN32
  // A temporary folder nobody may write into, not even root.
  std::string command = "cd '" + dir_.string() +
                        "' && TMPDIR=/proc ./tavrin-cli build dictionary two.hdr o.k30 "
                        "--overwrite </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output(4096, '\0');
  output.resize(fread(output.data(), 1, output.size(), pipe));
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
  EXPECT_EQ(output, "error: Cannot create file /proc/tavrin-src-XXXXXX\n");
  EXPECT_EQ(ReadFile("o.k30"), "old module");
#endif

  // A folder where the log should be: the program folder is writable, the log file is not.
  fs::remove(dir_ / "tavrin.log");
  fs::create_directories(dir_ / "tavrin.log");
  CliResult r = Run({"build", "dictionary", "a.txt", "o.k30", "--name", "D", "--overwrite"});
  ExpectRefused(r, "error: Cannot create file " + (dir_ / "tavrin.log").string());
  EXPECT_EQ(ReadFile("o.k30"), "old module");
}

// Sources the build cannot use, and commands it cannot run: each says what it found, on the
// terminal, and the lint says it without sending the user to a log.
TEST_F(FaultCliTest, CausesAreShownWhereTheUserLooks) {
  WriteFile("empty.txt", "");
  WriteFile("a.txt", "#A\r\na\r\n");
  WriteFile("include-gone.hdr", "include gone.txt\r\n");
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string output;
  } cases[] = {
      {{"lint", "dictionary", "empty.txt", "--name", "X"},
       1,
       "empty.txt:1:1: error: no topics marked [build]\n"},
      {{"lint", "dictionary", "empty.txt", "--name", "X", "--format", "json"},
       1,
       "[\n  {\"file\": \"empty.txt\", \"line\": 1, \"column\": 1, \"severity\": \"error\", "
       "\"check\": \"build\", \"message\": \"no topics marked\"}\n]\n"},
      {{"lint", "dictionary", "a.txt", "--name", "X", "--mark", ""},
       1,
       "a.txt: error: the control line mark is empty (--mark): no line could open an entry "
       "[build]\n"},
      {{"build", "dictionary", "a.txt", "a.k30", "--name", "X", "--mark", ""},
       1,
       "error: the control line mark is empty (--mark): no line could open an entry\n"},
      {{"lint", "dictionary", "gone.txt", "--name", "X"},
       1,
       "gone.txt: error: File opening error. File does not exist or is used by other "
       "application. gone.txt: " +
           NoSuchFile() + " [build]\n"},
      {{"build", "dictionary", "include-gone.hdr", "o.k30"},
       1,
       "error: File opening error. File does not exist or is used by other application. "
       "gone.txt: " +
           NoSuchFile() + " (included by include-gone.hdr, line 1)\n"},
      {{"bogus", "x", "y"},
       2,
       "error: unknown command 'bogus' (the commands: build, lint, dump, import; --help says "
       "more)\n"},
      {{"dump", "a.txt"},
       1,
       "error: File 'a.txt' is not a module: it does not begin with the kind string of one of "
       "the six module kinds\n"},
  };
  for (const Case& c : cases) {
    WriteFile("tavrin.log", "File 'old.k30' successfuly created.\r\n");
    CliResult r = Run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args[0] << " " << c.args[2];
    EXPECT_EQ(r.output, c.output);
    if (c.args[0] == "lint") {
      EXPECT_EQ(LogLines(), (Lines{"File 'old.k30' successfuly created."}));
    }
  }

  // A refused build starts its own log, so --show-log never shows an earlier build's.
  CliResult r = Run({"build", "dictionary", "gone.txt", "o.k30", "--name", "X", "--show-log"});
  EXPECT_EQ(r.output,
            "error: File opening error. File does not exist or is used by other application. "
            "gone.txt: " +
                NoSuchFile() +
                "\n"
                "Error: File opening error. File does not exist or is used by other application.\n"
                "gone.txt: " +
                NoSuchFile() + "\n\nModule creation terminated due to error.\n");
}

// Sources that would have built into garbage or a cut name without a word.
TEST_F(FaultCliTest, OddSourcesAndNamesAreWarned) {
  WriteFile("cr.txt", "#Apple\rRed fruit\r#Fig\rGreen\r");
  CliResult r = Run({"build", "dictionary", "cr.txt", "cr.k30", "--name", "D"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LogLines()[0],
            "line #1 - Warning: lines end in CR alone (no LF); each CR was taken as a line end");
  EXPECT_EQ(LogLines().end()[-3], "Total of: 4 lines, 2 topics");

  std::string utf16;
  for (char c : std::string("#Apple\r\nRed\r\n")) utf16 += std::string{c, '\0'};
  WriteFile("u16.txt", utf16);
  r = Run({"build", "dictionary", "u16.txt", "u16.k30", "--name", "D"});
  EXPECT_NE(r.output.find("u16.txt:1:1: warning: the source looks like UTF-16 without a byte "
                          "order mark (NUL bytes at every other position); save it with a byte "
                          "order mark, or build it with --source-encoding utf-16le [build]"),
            std::string::npos)
      << r.output;

  WriteFile("a.txt", "#A\r\na\r\n");
  for (bool compatible : {false, true}) {
    std::vector<std::string> args{"build",  "dictionary",          "a.txt",      "a.k30",
                                  "--name", std::string(120, 'n'), "--overwrite"};
    if (compatible) args.push_back("--compatible");
    r = Run(args);
    EXPECT_EQ(r.output.substr(0, r.output.find('\n')), "warning: module name cut to its first " +
                                                           std::string(compatible ? "50" : "100") +
                                                           " characters [build]");
  }
}

}  // namespace
}  // namespace tavrin::e2e
