#pragma once

#include "builders/build_request.h"
#include "builders/verse_reading.h"

namespace tavrin {

// Makes a commentary (kind 3) or an editable note set (kind 4) from marked text: one entry per
// verse in canonical order, a second note for a verse merged into the first.
BuildOutcome BuildCommentary(BuildJob& job);

}  // namespace tavrin
