#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "messages/messages.h"

namespace tavrin {

// One suspicious place of a source, named as compilers name theirs: the file the line stands
// in, its own 1-based line and byte column (1 for a whole line; 0 for the whole file), the
// check and the message. An error is what kept the build from making its module; a note says
// something of the findings themselves (how many were left out).
enum class Severity { kWarning, kError, kNote };
struct Finding {
  std::string file;
  std::int64_t line = 1;
  std::int64_t column = 1;
  std::string check;
  std::string message;
  Severity severity = Severity::kWarning;
};

// Where the lines of the source a build reads come from: the source itself, or the included
// files of a header file one after another in the assembled source.
class SourceMap {
 public:
  // Lines from `first_line` of the read source on are lines 1, 2, ... of `file`.
  void Add(std::string file, std::int64_t first_line);
  // The file and its own line of line `line` of the read source (the first file for lines
  // before any, the source's line itself when nothing was added). The file's name stays valid
  // until the next Add.
  std::pair<std::string_view, std::int64_t> Locate(std::int64_t line) const;
  bool Empty() const { return spans_.empty(); }

 private:
  struct Span {
    std::string file;
    std::int64_t first_line;
  };
  std::vector<Span> spans_;
};

// The findings of one build or lint, with what they are placed by. A finding is kept in a few
// dozen bytes (its file and message stored once however often they recur), and with
// `max_findings` only the first ones in the order they are printed are kept at all.
class LintReport {
 public:
  LintReport() = default;
  LintReport(const LintReport&) = delete;
  LintReport& operator=(const LintReport&) = delete;

  SourceMap source_map;
  std::string header_file;  // the header file whose own lines warnings may name
  std::set<Check> disabled;
  // The folder that links to pictures, sounds and files are resolved against.
  std::string source_folder;
  // At most this many findings are kept, the first file by file and by line; the others are
  // only counted (0: every finding is kept).
  std::size_t max_findings = 0;

  bool Enabled(Check check) const { return disabled.empty() || !disabled.contains(check); }
  // Whether any check that looks inside entries (tags, links, empty entries) is on.
  bool ChecksEntries() const;

  // Finding `id` on line `line` of the read source, under the check of its row.
  void AtSourceLine(std::int64_t line, std::int64_t column, Message id,
                    std::initializer_list<std::string_view> values = {});
  // The same with its text made by `make_text` only when the finding is kept (past
  // max_findings most are only counted).
  template <typename MakeText>
  void AtSourceLineWith(std::int64_t line, std::int64_t column, Message id, MakeText make_text) {
    const Check check = Row(id).check;
    if (!Enabled(check)) return;
    const auto [file, own_line] = source_map.Locate(line);
    if (Admit(file, own_line, column)) Keep(check, make_text());
  }
  void AtFile(std::string_view file, std::int64_t line, std::int64_t column, Check check,
              std::string_view text);
  // The error that ended the build (its text, "no topics marked"), at line `line` of the read
  // source, or at `file` as a whole when one is named (a data file, a source that did not
  // open). Errors are reported whatever checks are disabled.
  void BuildError(std::string_view text, std::int64_t line, std::string_view file = {});
  // Whether an error was reported.
  bool HasError() const { return has_error_; }
  // One warning of the creation log, placed where its place says: a line of the read source or
  // of the header file, the include it is about, no file (the build as a whole), or else at
  // `entry_line` of the read source (the control or reference line of the entry it is about;
  // 0: the first). A warning about an entry stands at `entry_line` whenever that is given.
  void BuildWarning(const Diagnostic& warning, std::string_view text, std::int64_t entry_line);

  // The findings kept, file by file (in the order the build met them), then by line and
  // column; findings at one place in the order they were made.
  void ForEach(const std::function<void(const Finding&)>& visit) const;
  std::vector<Finding> Sorted() const;
  // Every finding made, those left out included.
  std::int64_t Count() const {
    return static_cast<std::int64_t>(records_.size() + late_.size()) + left_out_;
  }
  // The findings beyond `max_findings`.
  std::int64_t LeftOut() const { return left_out_; }

 private:
  struct Record {
    std::int64_t line;
    std::int64_t column;
    std::uint64_t made;     // the order findings were made in
    std::uint32_t file;     // in files_, numbered in the order files were first named
    std::uint32_t message;  // in messages_
  };
  static bool Before(const Record& a, const Record& b);
  // Whether a finding at this place is kept (it is then `pending_`, waiting for its message),
  // or only counted.
  bool Admit(std::string_view file, std::int64_t line, std::int64_t column);
  void Keep(Check check, std::string_view message, bool error = false);
  std::uint32_t FileNumber(std::string_view file);
  std::uint32_t MessageNumber(Check check, std::string_view message, bool error);
  // Keeps only the messages of the findings kept, once the ones dropped outweigh them.
  void DropUnusedMessages();

  // With `max_findings`, a heap with the finding printed last on top, sorted in place when they
  // are printed; else in print order, with those made out of it in `late_` until then.
  mutable std::deque<Record> records_;
  mutable std::deque<Record> late_;
  mutable bool sorted_ = false;
  Record pending_{};
  std::int64_t left_out_ = 0;
  bool has_error_ = false;
  std::uint64_t made_ = 0;
  std::vector<std::string> files_;
  std::unordered_map<std::string, std::uint32_t> file_numbers_;
  std::uint32_t last_file_ = 0;  // the file named last, looked at before the table
  // A message is stored as the number of its check (one byte, the high bit set for an error)
  // followed by its text.
  std::unordered_map<std::string, std::uint32_t> message_numbers_;
  std::vector<const std::string*> messages_;
  std::string key_;  // room for the message looked up
};

// "FILE:LINE:COLUMN: warning: MESSAGE [CHECK]", the form editors and compilers share.
std::string FormatFinding(const Finding& finding);
void AppendFinding(const Finding& finding, std::string& out);

// Writes the findings kept, one a line in the form above or as one JSON array of {file, line,
// column, severity, check, message}, each message converted from `code_page` to UTF-8. When some
// were left out, a last line "note: N more findings left out by --max-findings M ..." says how
// many; in JSON that is the array's last element, with the check "max-findings", an empty file and
// line and column 0.
void WriteFindings(const LintReport& report, bool json, int code_page, std::ostream& out);

// A path as findings name it: relative to the current folder when it lies under it.
std::string DisplayPath(const std::string& path);

// The byte column (1-based) in `raw` of byte `index` of `cleaned`, where `cleaned` is the raw
// source line after cleaning (blanks and control bytes taken out, 0xA4 made a blank).
std::int64_t RawColumn(std::string_view raw, std::string_view cleaned, std::size_t index);

// RawColumn for one line asked with growing indexes: each call goes on where the last one
// stopped, so all the columns of a line cost one walk over it.
class RawColumns {
 public:
  RawColumns() = default;
  RawColumns(std::string_view raw, std::string_view cleaned) : raw_(raw), cleaned_(cleaned) {}
  std::int64_t Column(std::size_t index);

 private:
  std::string_view raw_, cleaned_;
  std::size_t i_ = 0, j_ = 0;  // raw_[i_] is the next raw byte to match cleaned_[j_]
};

}  // namespace tavrin
