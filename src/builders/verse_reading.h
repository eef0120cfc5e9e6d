#pragma once

#include <functional>
#include <string>
#include <vector>

#include "builders/build_request.h"
#include "builders/build_run.h"
#include "builders/reading_loop.h"
#include "builders/verse_ref.h"
#include "module/verse_map.h"

// What the verse-based builders share (commentaries and note sets, jumplists, and the
// conversion of stored note sets): the verse map and book names of a build, the reading loop
// that finds reference lines, and the writing of one note per verse.

namespace tavrin {

// The verse map and book names of one verse-based build, read from the program folder.
struct VerseSources {
  // Book names in the user's code page (`locale`), looked up with references in the module's.
  VerseSources(const TextLocale& locale, const TextLocale& text_locale)
      : books(locale, text_locale) {}
  VerseMap map;
  BookNameTable books;
};

// Starts a verse-based build (busy state, log afresh), loads master.map and tavrin.bok from the
// program folder and runs `body`. When either cannot be loaded the build is refused: the log
// says why, the window is back in its idle state, a stop message names the file, and no module
// is written.
BuildOutcome RunVerseBuild(BuildJob& job,
                           const std::function<BuildOutcome(BuildRun&, const VerseSources&)>& body);

// Gets each reference line before the line (or, with mark type 0, the line after it) is
// gathered; `state.entry_open` is false only at the first one.
using ReferenceHandler = std::function<void(const ReferenceLine&)>;

// The reading loop of the verse-based builders: counts lines, tracks "<lines>" blocks, runs the
// reference-line step on every line and writes its warnings, hands reference lines to
// `on_reference`, and gathers body lines into the open entry. With mark type 0 the line after a
// reference line is always entry text. Polls after every line; a failure on one line is
// reported and reading goes on.
void ReadVerseText(BuildRun& run, ReadingState& state, const VerseSources& sources,
                   const ReferenceHandler& on_reference);

// The collected text of every verse: slot i belongs to the verse whose index is i.
using VerseNotes = std::vector<std::string>;

// Notes finished while the source was read: slot i's finished text is the finisher's text
// number[i] when that is not negative.
struct FinishedNotes {
  const BackgroundFinisher& finisher;
  const std::vector<int>& number;
};

// Writes one index record and the finished text of every non-empty slot (or slot finished
// before), in slot order; polls after every slot and stops on Cancel.
void WriteVerseNotes(BuildRun& run, const VerseMap& map, const VerseNotes& notes,
                     const FinishedNotes* finished = nullptr);

}  // namespace tavrin
