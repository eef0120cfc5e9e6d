#pragma once

#include "builders/build_host.h"
#include "builders/build_request.h"
#include "source/session.h"

namespace tavrin {

// What the Create button does: normalises the module name (written back to the request and
// the host), chooses the route by the source's extension (module source, header file, marked
// text), checks the source, asks before an existing output is replaced, runs the one builder,
// and removes a temporary source afterwards.
BuildOutcome StartBuild(BuildRequest& request, BuildHost& host, Session& session);

}  // namespace tavrin
