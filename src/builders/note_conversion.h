#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builders/build_request.h"
#include "builders/stored_module.h"
#include "module/verse_map.h"

namespace tavrin {

// Where each verse's note lies in a stored note set: one slot per verse of the map, -1 when
// the verse has no record. A later record for a verse replaces an earlier one; records outside
// the map are dropped.
struct NotePositions {
  std::vector<std::int64_t> slots;
  std::vector<Diagnostic> warnings;  // for the creation log
};

NotePositions ReadNotePositions(StoredModule& source, const VerseMap& map);

// The span that may hold verse i's note: up to the next filled slot, or to the end of the file.
// Negative when the next note lies before this one.
std::int64_t NoteTextLength(const NotePositions& positions, std::size_t i,
                            const std::vector<std::int64_t>& next_filled, std::int64_t file_size);

// A commentary (kind 3) or a new note set (kind 4) from a stored note set, in verse order.
BuildOutcome ConvertNoteSet(BuildJob& job);

}  // namespace tavrin
