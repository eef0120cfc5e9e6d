#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrin::e2e {

namespace fs = std::filesystem;

struct CliResult {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};

// A fresh program folder holding a copy of tavrin-cli and the data files; the working folder
// of every run, and its own temporary folder (TMPDIR) so leftovers can be seen.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs tavrin-cli with the arguments (each passed whole), standard input empty;
  // `environment` ("LC_ALL=ru_RU.UTF-8") is set for that run alone.
  CliResult Run(const std::vector<std::string>& args, const std::string& environment = "");
  // Names are UTF-8, as on the command line.
  void WriteFile(const std::string& name, const std::string& bytes);
  std::string ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // The creation log's lines (without CR LF).
  std::vector<std::string> LogLines() const;
  // Files left in the private temporary folder.
  std::size_t TempFiles() const;

  fs::path dir_;
  fs::path tmp_;
};

// An independent description of the expected module bytes, for whole-file comparisons.
struct ExpectedModule {
  std::string kind_string;
  bool long_header = false;
  std::string module_name;
  int charset_id = 0;
  bool verse_kind = false;
  std::int32_t per_kind = 0;
  std::uint8_t name_flag = 1;
  std::vector<std::string> names;  // name kinds only
  std::vector<std::string> texts;  // finished texts, before complementing, no terminator

  std::string Bytes() const;
};

std::string LoginName();
// The system's reason for a file that does not exist, as the program reports it ("No such file
// or directory" on Linux; Windows words it its own way).
std::string NoSuchFile();

}  // namespace tavrin::e2e
