#pragma once

#include <istream>
#include <string>
#include <vector>

#include "platform/text_locale.h"
#include "source/parser.h"

namespace tavrin {

// What the last header file set besides the link settings.
struct HeaderFileState {
  std::string document_title;
  std::vector<std::string> include_list;  // file names as written, trimmed
};

// Reads the directives of a header file: link aliases and media folders into `links`, the title
// and the include list into `state` (all emptied first). When `module_name` is given (the active
// tab has a module name box), a box that is blank after a line is set to the title, or to
// "Untitled document" while no title has been read.
void ProcessHeaderFile(std::istream& in, const TextLocale& locale, LinkSettings& links,
                       HeaderFileState& state, std::string* module_name);

// The source that a header file's includes make.
struct AssembledSource {
  std::string path;                 // empty when there is no include
  bool delete_after_build = false;  // a temporary file made here
  std::string unreadable_include;   // the include (as written) at which assembly stopped
};

// No include: empty path. One include: that file as it is. More: a new temporary file holding
// every include followed by CR LF CR LF. An include that cannot be read ends the assembly; the
// files before it stay in the temporary file and the include is reported. Never raises.
AssembledSource AssembleIncludes(const HeaderFileState& state);

}  // namespace tavrin
