#pragma once

#include "builders/build_request.h"

namespace tavrin {

// Makes a writing (kind 5) from marked text: sections in source order.
BuildOutcome BuildWriting(BuildJob& job);

}  // namespace tavrin
