#include "builders/commentary_builder.h"

#include <filesystem>
#include <optional>

#include "builders/body_line.h"
#include "platform/system.h"
#include "source/line_reader.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

BuildOutcome BuildCommentary(BuildJob& job) {
  return RunVerseBuild(job, [&job](BuildRun& run, const VerseSources& sources) {
    VerseNotes notes(static_cast<std::size_t>(sources.map.VerseCount()));
    ReadingState state;
    std::int64_t note_number = 0;     // the note being read, for "section #" warnings
    std::int64_t notes_stored = 0;    // notes that took an empty slot
    std::int64_t reference_line = 0;  // the most recent reference line
    ReferenceLine current;            // the reference that began the current note
    std::int64_t note_line = 0;       // its line

    // Notes are finished on the other cores while the source is still being read. A second
    // note for a verse takes the first one's text back and the merged note is finished when the
    // module is written.
    std::optional<BackgroundFinisher> finisher;
    finisher.emplace([&run](std::string_view text, std::string& out,
                            ConversionBuffers& buffers) { run.FinishText(text, out, buffers); },
                     EntryFinisher::DefaultHelpers(), EntryFinisher::kBatchBytes, true);
    std::vector<int> finished(notes.size(), -1);

    // Each note's lines are gathered straight into the finisher's open batch. A note without
    // text keeps its slot empty: it is not written, and the next note for its verse is no
    // duplicate. A duplicate's lines are taken back out of the batch into the merged note.
    auto store = [&](bool inside_loop) {
      std::string& slot = notes[current.index];
      int& number = finished[current.index];
      const bool duplicate = !slot.empty() || number >= 0;
      const std::string_view text = state.Gathered();
      run.LintEntry(note_line, "", text);
      std::size_t length = text.size();
      if (duplicate) {
        // Deliberately so, as the log has always read: the line named is that of the reference
        // that closes the duplicate note, for the last note (closed by no reference) its own.
        // The lint and the standard error place it at the duplicate's own reference line.
        run.Warn(Message::kDuplicateReference, reference_line,
                 {current.book_name + " " + std::to_string(current.ref.chapter) + ":" +
                  std::to_string(current.ref.verse)},
                 note_line);
        if (number >= 0) {
          slot = finisher->Text(number);
          number = -1;
        }
        slot.resize(TrimRightControl(slot).size());
        slot += "\r\n\r\n";
        slot += text;
        length = slot.size();
        state.gather->resize(state.gather_begin);
      } else {
        if (length > 0) number = finisher->CloseText();
        ++notes_stored;
      }
      if (length > kLongSectionLimit)
        run.Warn(Message::kSectionTooLong, note_number, {}, note_line);
      if (!duplicate && inside_loop) ++note_number;
      state.GatherInto(*finisher);
    };
    state.GatherInto(*finisher);

    ReadVerseText(run, state, sources, [&](const ReferenceLine& ref) {
      reference_line = state.lines_read;
      if (!state.entry_open) {
        note_number = 1;
      } else {
        store(true);
      }
      current = ref;
      note_line = reference_line;
    });

    if (!run.Cancelled() && state.read_failure.empty() && state.entry_open) {
      try {
        store(false);
      } catch (const std::exception&) {
        run.ReportUnknownError();
      }
      finisher->Wait([&] { run.Poll(job.source_size); });
      const FinishedNotes finished_notes{*finisher, finished};
      WriteVerseNotes(run, sources.map, notes, &finished_notes);
    }

    // The notes and their finished texts are freed while the module goes to the disk.
    run.FreeWhileSyncing([&] {
      VerseNotes().swap(notes);
      finisher.reset();
    });
    LogReadingClosing(run, state, state.entry_open, Message::kNoVersesMarked,
                      "Total of: " + std::to_string(state.lines_read) + " lines, " +
                          std::to_string(notes_stored) + " verse notes");
    return run.Finish();
  });
}

}  // namespace tavrin
