#include "builders/reading_loop.h"

#include <algorithm>

#include "builders/body_line.h"
#include "platform/exceptions.h"
#include "source/line_reader.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

void ReadMarkedText(BuildRun& run, ReadingState& state, const ControlLineHandler& control) {
  BuildJob& job = run.Job();
  const MarkupContext markup = job.Markup();
  const TextLocale& locale = job.Locale();
  SourceLines reader(run, state);
  std::string_view line;
  auto next_line = [&] { return reader.Next(line); };
  for (;;) {
    try {
      if (!next_line()) break;
      std::string_view trimmed = TrimControl(line);
      UpdateLinesBlock(line, state.in_lines_block, locale);
      if (!control(line, trimmed) && state.entry_open) {
        run.WarnIfTextEnds(line, state.lines_read);
        state.Gather(line, trimmed, job.options, markup);
      }
    } catch (const std::exception&) {
      run.ReportUnknownError();
    }
    if (!run.Poll(reader.Position())) break;
  }
}

bool SourceLines::Next(std::string_view& line) {
  try {
    if (!reader_.ReadLine(line)) return false;
  } catch (const EFileError& e) {
    state_.read_failure = e.what();
    return false;
  }
  ++state_.lines_read;
  if (reader_.CrLineEnds() && !told_cr_line_ends_) {
    told_cr_line_ends_ = true;
    run_.Warn(Message::kCrLineEnds, 1);
  }
  if (reader_.LineHasNul()) {
    with_blanks_.assign(line);
    ReplaceNulBytes(with_blanks_);
    line = with_blanks_;
    run_.Warn(Message::kNulBytes, state_.lines_read);
  }
  return true;
}

void LogReadingClosing(BuildRun& run, const ReadingState& state, bool found, Message error,
                       std::string_view totals) {
  if (state.read_failure.empty())
    run.LogClosing(found, error, totals);
  else
    run.LogFailure(state.read_failure, state.lines_read + 1);
}

std::string ControlLineName(std::string_view trimmed, std::string_view mark) {
  // Names are NUL-terminated in the module: a NUL inside one would split it and shift every
  // name after it against the index, so it counts as a blank.
  std::string name(trimmed.substr(mark.size()));
  std::replace(name.begin(), name.end(), '\0', ' ');
  return std::string(TrimControl(CollapseBlanks(name)));
}

}  // namespace tavrin
