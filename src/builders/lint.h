#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// One suspicious place of a source, named as compilers name theirs: the file the line stands
// in, its own 1-based line and byte column (1 for a whole line; 0 for the whole file), the
// check and the message. An error is what kept the build from making its module.
struct Finding {
  std::string file;
  std::int64_t line = 1;
  std::int64_t column = 1;
  std::string check;
  std::string message;
  bool error = false;
};

// The checks, by the names `--disable` takes.
inline constexpr std::string_view kCheckBuild = "build";
inline constexpr std::string_view kCheckUnknownTag = "unknown-tag";
inline constexpr std::string_view kCheckInvalidTag = "invalid-tag";
inline constexpr std::string_view kCheckUnpairedTag = "unpaired-tag";
inline constexpr std::string_view kCheckLinkTarget = "link-target";
inline constexpr std::string_view kCheckEmptyEntry = "empty-entry";
inline constexpr std::string_view kAllChecks[] = {kCheckBuild,      kCheckUnknownTag,
                                                  kCheckInvalidTag, kCheckUnpairedTag,
                                                  kCheckLinkTarget, kCheckEmptyEntry};

// Where the lines of the source a build reads come from: the source itself, or the included
// files of a header file one after another in the assembled source.
class SourceMap {
 public:
  // Lines from `first_line` of the read source on are lines 1, 2, ... of `file`.
  void Add(std::string file, std::int64_t first_line);
  // The file and its own line of line `line` of the read source (the first file for lines
  // before any, the source's line itself when nothing was added).
  std::pair<std::string, std::int64_t> Locate(std::int64_t line) const;
  bool Empty() const { return spans_.empty(); }

 private:
  struct Span {
    std::string file;
    std::int64_t first_line;
  };
  std::vector<Span> spans_;
};

// The findings of one build or lint, with what they are placed by.
class LintReport {
 public:
  SourceMap source_map;
  std::string header_file;  // the header file whose own lines warnings may name
  // The header file's includes as it names them, and the line of each.
  std::vector<std::string> include_names;
  std::vector<std::int64_t> include_lines;
  std::set<std::string, std::less<>> disabled;
  // The folder that links to pictures, sounds and files are resolved against.
  std::string source_folder;

  bool Enabled(std::string_view check) const { return !disabled.contains(check); }
  // Whether any check that looks inside entries (tags, links, empty entries) is on.
  bool ChecksEntries() const;

  // A finding on line `line` of the read source.
  void AtSourceLine(std::int64_t line, std::int64_t column, std::string_view check,
                    std::string message);
  void AtFile(std::string file, std::int64_t line, std::int64_t column, std::string_view check,
              std::string message);
  // The error line of the creation log that ended the build ("Error: no topics marked"), at
  // line `line` of the read source, or at `file` as a whole when one is named (a data file,
  // the output). Errors are reported whatever checks are disabled.
  void BuildError(std::string_view log_line, std::int64_t line, std::string file = {});
  // A warning about the build as a whole (its module name), at no place of a file.
  void BuildNotice(std::string_view log_line);
  // Whether an error was reported.
  bool HasError() const { return has_error_; }
  // One warning line of the creation log, placed by the line number it names ("line #N"), its
  // header file line ("header file line #N"), the include it names, or else at `entry_line` of
  // the read source (the control or reference line of the entry it is about; 0: the first).
  void BuildWarning(std::string_view log_line, std::int64_t entry_line);

  // File by file (in the order the build met them), then line and column.
  std::vector<Finding> Sorted() const;
  const std::vector<Finding>& Findings() const { return findings_; }

 private:
  std::vector<Finding> findings_;
  std::vector<std::string> file_order_;
  bool has_error_ = false;
};

// "FILE:LINE:COLUMN: warning: MESSAGE [CHECK]", the form editors and compilers share ("error"
// for an error; "FILE: ..." for a whole file, no place at all for the build as a whole).
std::string FormatFinding(const Finding& finding);
// One JSON array of {file, line, column, severity, check, message}.
std::string FindingsJson(const std::vector<Finding>& findings);

// A path as findings name it: relative to the current folder when it lies under it.
std::string DisplayPath(const std::string& path);

// The byte column (1-based) in `raw` of byte `index` of `cleaned`, where `cleaned` is the raw
// source line after cleaning (blanks and control bytes taken out, 0xA4 made a blank).
std::int64_t RawColumn(std::string_view raw, std::string_view cleaned, std::size_t index);

}  // namespace tavrin
