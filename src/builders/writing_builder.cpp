#include "builders/writing_builder.h"

#include "builders/reading_loop.h"
#include "source/session.h"

namespace tavrin {

BuildOutcome BuildWriting(BuildJob& job) {
  BuildRun run(job, "Creating module...");
  ReadingState state;
  std::int64_t sections = 0;
  std::int64_t section_line = 0;  // the open section's control line
  const MarkupContext markup = job.Markup();

  // Each section is finished as soon as the next one opens.
  auto close_section = [&] {
    run.LintEntry(section_line, "", state.entry_text);
    if (state.entry_text.size() > kLongSectionLimit)
      run.Warn(Message::kSectionTooLong, sections, {}, section_line);
    FinishEntryText(state.entry_text, job.options, job.new_format, markup, run.text_stream,
                    state.in_lines_block);
    state.entry_text.clear();
  };

  ReadMarkedText(run, state, [&](std::string_view, std::string_view trimmed) {
    if (!IsControlLine(trimmed, job.options.line_mark)) return false;
    if (state.entry_open) close_section();
    ++sections;
    section_line = state.lines_read;
    state.entry_open = true;
    std::string name = ControlLineName(trimmed, job.options.line_mark);
    if (name.empty()) {
      run.Warn(Message::kSectionHasNoName, state.lines_read);
      name = "untitled";
    }
    run.name_stream.Append(name);
    run.name_stream.AppendByte(0);
    run.index_stream.AppendInt32(static_cast<std::int32_t>(run.text_stream.Size()));
    return true;
  });

  if (!run.Cancelled() && state.read_failure.empty() && state.entry_open) {
    try {
      close_section();
    } catch (const std::exception&) {
      run.ReportUnknownError();
    }
  }

  LogReadingClosing(run, state, sections > 0, Message::kNoSectionsMarked,
                    "Total of: " + std::to_string(state.lines_read) + " lines, " +
                        std::to_string(sections) + " sections");
  return run.Finish();
}

}  // namespace tavrin
