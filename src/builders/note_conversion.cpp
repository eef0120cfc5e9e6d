#include "builders/note_conversion.h"

#include <memory>

#include "builders/build_run.h"
#include "builders/verse_reading.h"
#include "module/module_header.h"
#include "source/session.h"

namespace tavrin {

NotePositions ReadNotePositions(StoredModule& source, const VerseMap& map) {
  NotePositions positions;
  positions.slots.assign(static_cast<std::size_t>(map.VerseCount()), -1);
  const std::string records = source.ReadSection(1);
  const std::int64_t text_start = source.SectionStart(2);
  std::size_t number = 0;
  for (std::size_t at = 0; at + kVerseEntrySize <= records.size(); at += kVerseEntrySize) {
    ++number;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(records[at + k]); };
    const int index = map.ExactVerseIndex(byte(0), byte(1), byte(2));
    if (index < 0) continue;
    const std::int64_t position =
        text_start + static_cast<std::uint32_t>(GetInt32(records, at + 4));
    if (position >= source.Size()) {
      Diagnostic& warning = positions.warnings.emplace_back(Message::kTextOutsideSection, number);
      warning.place = Place::kStoredRecord;
      continue;
    }
    positions.slots[static_cast<std::size_t>(index)] = position;
  }
  if (records.size() % kVerseEntrySize != 0)
    positions.warnings.emplace_back(
        Message::kStrayIndexBytes, 0,
        std::initializer_list<std::string_view>{std::to_string(records.size() % kVerseEntrySize)});
  return positions;
}

std::int64_t NoteTextLength(const NotePositions& positions, std::size_t i,
                            const std::vector<std::int64_t>& next_filled, std::int64_t file_size) {
  const std::int64_t position = positions.slots[i];
  if (position < 0) return 0;
  const std::int64_t next = next_filled[i];
  return (next < 0 ? file_size : next) - position;
}

BuildOutcome ConvertNoteSet(BuildJob& job) {
  std::unique_ptr<StoredModule> source;
  try {
    source = std::make_unique<StoredModule>(job.source_path, ModuleKind::kNotes);
  } catch (const Exception& e) {
    job.host.ShowMessage(e.what(), MessageIcon::kStop);
    return BuildOutcome::kFailed;
  }
  BuildRun run(job, "Reading text from file...");
  VerseMap map;
  try {
    map = LoadVerseMap(job.session.ProgramFolder());
  } catch (const EFileError& e) {
    run.LogFailure(e.what(), 0, e.Path());
    return run.Finish();
  }

  // A stored module that cannot be read to its end is no source to convert.
  std::string failure;
  std::string failed_file;
  NotePositions positions;
  try {
    positions = ReadNotePositions(*source, map);
  } catch (const EFileError& e) {
    failure = e.what();
  }
  for (const Diagnostic& warning : positions.warnings) run.Warn(warning);
  const std::size_t verse_count = positions.slots.size();
  // The position of the next filled slot behind each verse, found in one backward pass.
  std::vector<std::int64_t> next_filled(verse_count, -1);
  for (std::size_t i = verse_count; i-- > 1;)
    next_filled[i - 1] = positions.slots[i] >= 0 ? positions.slots[i] : next_filled[i];

  job.host.SetProgressRange(static_cast<std::int64_t>(verse_count));
  VerseNotes notes(verse_count);
  std::int64_t note_count = 0;
  for (std::size_t i = 0; failure.empty() && i < verse_count; ++i) {
    try {
      const std::int64_t length = NoteTextLength(positions, i, next_filled, source->Size());
      if (positions.slots[i] >= 0 && length != 0) {
        // A note whose successor lies before it is read up to its terminator.
        const std::int64_t position = positions.slots[i];
        notes[i] = source->ReadTextAt(position, length > 0 ? position + length : 0);
      }
      if (!notes[i].empty()) {
        ++note_count;
        run.WarnIfTextEnds(notes[i], note_count, Place::kSection);
        if (notes[i].size() > kLongSectionLimit) run.Warn(Message::kSectionTooLong, note_count);
      }
    } catch (const EFileError& e) {
      failure = e.what();
      failed_file = e.Path();
      break;
    } catch (const std::exception&) {
      run.ReportUnknownError();
    }
    if (!run.Poll(static_cast<std::int64_t>(i))) break;
  }
  source.reset();
  if (!failure.empty()) {
    run.LogFailure(failure, 0, failed_file);
    return run.Finish();
  }

  if (!run.Cancelled() && note_count > 0) WriteVerseNotes(run, map, notes);

  run.LogClosing(note_count > 0, Message::kNoVerseNoteFound,
                 "Total of: " + std::to_string(note_count) + " verse notes");
  return run.Finish();
}

}  // namespace tavrin
