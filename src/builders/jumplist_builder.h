#pragma once

#include <cstdint>

#include "builders/build_request.h"
#include "builders/build_run.h"
#include "module/verse_map.h"
#include "mstrlist/mstrlist.h"

namespace tavrin {

// A jump longer than this many bytes is warned about (and kept whole).
inline constexpr std::size_t kLongJumpLimit = 500;

// A jump's record in the jump list: the verse of the reference that began it.
class JRec : public TObject {
 public:
  explicit JRec(std::uint32_t verse_index) : verse_index(verse_index) {}
  std::uint32_t verse_index;
};

// Writes one index record and the finished text of every jump with text, in list order;
// polls after every jump and stops on Cancel.
void WriteJumps(BuildRun& run, const VerseMap& map, const TmStrList& jumps);

// Makes a jumplist (kind 6) from marked text: every jump kept, in source order.
BuildOutcome BuildJumplist(BuildJob& job);

}  // namespace tavrin
