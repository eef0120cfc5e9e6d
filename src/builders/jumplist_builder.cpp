#include "builders/jumplist_builder.h"

#include <memory>
#include <optional>
#include <vector>

#include "builders/verse_reading.h"
#include "source/session.h"

namespace tavrin {

void WriteJumps(BuildRun& run, const VerseMap& map, const TmStrList& jumps) {
  run.WriteEntries(
      jumps.Count(),
      [&](int i) -> std::optional<std::string_view> {
        const std::string_view text = jumps.View(i);
        if (text.empty() || jumps.GetObject(i) == nullptr) return std::nullopt;
        return text;
      },
      [&](int i) {
        const auto* record = static_cast<const JRec*>(jumps.GetObject(i));
        const VerseMapRecord verse = map.VerseAt(static_cast<VerseIndex>(record->verse_index));
        AppendVerseEntry(run.index_stream, {verse.book, verse.chapter, verse.verse,
                                            static_cast<std::uint32_t>(run.text_stream.Size())});
      });
}

BuildOutcome BuildJumplist(BuildJob& job) {
  return RunVerseBuild(job, [&job](BuildRun& run, const VerseSources& sources) {
    TmStrList jumps(job.Locale());
    std::vector<std::unique_ptr<JRec>> records;
    ReadingState state;
    std::int64_t jump_count = 0;
    VerseIndex current = 0;
    std::int64_t jump_line = 0;  // the open jump's reference line

    auto store = [&] {
      run.LintEntry(jump_line, "", state.entry_text);
      records.push_back(std::make_unique<JRec>(current));
      jumps.AddObject(state.entry_text, records.back().get());
      if (state.entry_text.size() > kLongJumpLimit)
        run.Warn(Message::kSectionTooLong, jump_count, {}, jump_line);
      state.entry_text.clear();
    };

    ReadVerseText(run, state, sources, [&](const ReferenceLine& ref) {
      if (!state.entry_open) {
        state.entry_text.clear();
        jump_count = 1;
      } else {
        store();
        ++jump_count;
      }
      current = ref.index;
      jump_line = state.lines_read;
    });

    if (!run.Cancelled() && state.read_failure.empty() && state.entry_open) {
      try {
        store();
      } catch (const std::exception&) {
        run.ReportUnknownError();
      }
      WriteJumps(run, sources.map, jumps);
    }

    LogReadingClosing(run, state, state.entry_open, Message::kNoVersesMarked,
                      "Total of: " + std::to_string(state.lines_read) + " lines, " +
                          std::to_string(jump_count) + " jumps");
    return run.Finish();
  });
}

}  // namespace tavrin
