#include "builders/verse_reading.h"

#include <filesystem>
#include <optional>

#include "builders/body_line.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

BuildOutcome RunVerseBuild(
    BuildJob& job, const std::function<BuildOutcome(BuildRun&, const VerseSources&)>& body) {
  std::string refusal;
  std::string reason;  // the system's, when it gave one
  std::string log_path;
  {
    BuildRun run(job, "Reading text from file...");
    VerseSources sources(job.session.Locale(), job.Locale());
    const std::string& folder = job.session.ProgramFolder();
    try {
      sources.map = LoadVerseMap(folder);
      sources.books.LoadFromFile(PathText(FilePath(folder) / kBookNamesFileName));
    } catch (const EFileError& e) {
      refusal = e.what();
      reason = e.Reason();
    }
    if (refusal.empty()) return body(run, sources);
    run.LogNamedError(refusal);
    run.Log().Close();
    log_path = run.Log().Path();
  }  // the run's end brings the window back to its idle state
  job.host.ShowMessage(refusal + ". Module creation terminated due to error.", MessageIcon::kStop,
                       reason.empty() ? reason : "(" + reason + ")");
  if (job.show_log_when_finished) job.host.ShowLog(log_path);
  return BuildOutcome::kFailed;
}

void ReadVerseText(BuildRun& run, ReadingState& state, const VerseSources& sources,
                   const ReferenceHandler& on_reference) {
  BuildJob& job = run.Job();
  const BuildOptions& options = job.options;
  const MarkupContext markup = job.Markup();
  const TextLocale& locale = job.Locale();
  SourceLines reader(run, state);
  std::string_view line;
  auto next_line = [&] { return reader.Next(line); };
  bool more = true;
  while (more) {
    try {
      if (!next_line()) break;
      UpdateLinesBlock(line, state.in_lines_block, locale);
      ReferenceLine ref = ReadReferenceLine(line, state.lines_read, options.mark_type,
                                            options.line_mark, sources.books, sources.map);
      if (ref.warning) run.Warn(*ref.warning);
      if (ref.kind == ReferenceLine::Kind::kReference) {
        on_reference(ref);
        state.entry_open = true;
        // A "<lines>" block never reaches past the note in which it began.
        state.in_lines_block = false;
        if (options.mark_type == 0) {
          // The reference line is not note text; the line after it always is.
          more = next_line();
        }
      }
      if (more && state.entry_open) {
        run.WarnIfTextEnds(line, state.lines_read);
        state.Gather(line, TrimControl(line), options, markup);
      }
    } catch (const std::exception&) {
      run.ReportUnknownError();
    }
    if (!run.Poll(reader.Position())) break;
  }
}

void WriteVerseNotes(BuildRun& run, const VerseMap& map, const VerseNotes& notes,
                     const FinishedNotes* finished) {
  std::function<std::optional<EntryFinisher::Entry>(int)> finished_before;
  if (finished != nullptr) {
    finished_before = [finished](int i) -> std::optional<EntryFinisher::Entry> {
      const int number = finished->number[static_cast<std::size_t>(i)];
      if (number < 0) return std::nullopt;
      return finished->finisher.Get(number);
    };
  }
  run.WriteEntries(
      static_cast<int>(notes.size()),
      [&](int i) -> std::optional<std::string_view> {
        const std::string& note = notes[static_cast<std::size_t>(i)];
        if (note.empty()) return std::nullopt;
        return note;
      },
      [&](int i) {
        const VerseMapRecord verse = map.VerseAt(static_cast<VerseIndex>(i));
        AppendVerseEntry(run.index_stream, {verse.book, verse.chapter, verse.verse,
                                            static_cast<std::uint32_t>(run.text_stream.Size())});
      },
      finished_before);
}

}  // namespace tavrin
