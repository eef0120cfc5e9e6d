#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "builders/body_line.h"
#include "builders/build_run.h"
#include "source/line_reader.h"

// The loop with which every builder of marked text reads its source: lines from
// source/line_reader.h, each body line treated by builders/body_line.h.

namespace tavrin {

// State of the source reading loop shared by the builders of marked text.
struct ReadingState {
  std::int64_t lines_read = 0;
  std::string entry_text;
  // When set, body lines are gathered here instead, the entry's text from `gather_begin` on.
  std::string* gather = nullptr;
  std::size_t gather_begin = 0;
  bool in_lines_block = false;
  bool entry_open = false;     // a topic or section has been opened
  SourceLint* lint = nullptr;  // told where each gathered line's text begins
  // The file error that ended the source before its end: the build is then in error.
  std::string read_failure;

  // The next entry's lines go straight onto the end of the finisher's open batch.
  void GatherInto(BackgroundFinisher& finisher) {
    gather = &finisher.OpenBuffer();
    gather_begin = gather->size();
  }
  // The text gathered for the open entry so far.
  std::string_view Gathered() const {
    return gather != nullptr ? std::string_view(*gather).substr(gather_begin)
                             : std::string_view(entry_text);
  }
  // Gathers one body line of the open entry (see GatherLine).
  void Gather(std::string_view line, std::string_view trimmed, const BuildOptions& options,
              const MarkupContext& markup) {
    const std::size_t at =
        gather != nullptr
            ? GatherLine(*gather, line, trimmed, options, in_lines_block, markup, gather_begin)
            : GatherLine(entry_text, line, trimmed, options, in_lines_block, markup);
    if (lint != nullptr && at != std::string::npos) lint->Line(at, lines_read, line);
  }
};

// The job's source line by line as every builder of marked text reads it: each line counted in
// the reading state, a NUL byte in it made a blank with a warning. A read that fails ends the
// source, its error kept in the reading state.
class SourceLines {
 public:
  // The run's lint (when there is one) is told where each gathered line stands.
  SourceLines(BuildRun& run, ReadingState& state)
      : run_(run), state_(state), reader_(*run.Job().source) {
    state.lint = run.Lint();
  }
  // The next line, valid until the next call.
  bool Next(std::string_view& line);
  std::int64_t Position() const { return reader_.Position(); }

 private:
  BuildRun& run_;
  ReadingState& state_;
  LineReader reader_;
  std::string with_blanks_;  // a line whose NUL bytes were made blanks
  bool told_cr_line_ends_ = false;
};

// Gets each line (raw and trimmed) first; returns true when it took the line as a control line
// (or otherwise consumed it). Other lines are gathered into the open entry.
using ControlLineHandler = std::function<bool(std::string_view line, std::string_view trimmed)>;

// Reads the job's source to its end or until Cancel: counts lines, tracks "<lines>" blocks,
// hands each line to `control`, gathers body lines, polls after every line. A failure on one
// line is reported and reading goes on.
void ReadMarkedText(BuildRun& run, ReadingState& state, const ControlLineHandler& control);

// The closing lines (BuildRun::LogClosing); a source that could not be read to its end is an
// error naming its file, whatever was found before.
void LogReadingClosing(BuildRun& run, const ReadingState& state, bool found, Message error,
                       std::string_view totals);

// The name of a control line: the trimmed line without the mark, runs of blanks made one,
// trimmed.
std::string ControlLineName(std::string_view trimmed, std::string_view mark);

// Whether the trimmed line is a control line under `mark` (an empty mark matches nothing).
inline bool IsControlLine(std::string_view trimmed, std::string_view mark) {
  // Asked of every source line: most differ in their first byte.
  return !mark.empty() && !trimmed.empty() && trimmed.front() == mark.front() &&
         trimmed.starts_with(mark);
}

}  // namespace tavrin
