#pragma once

#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_locale.h"
#include "source/markup.h"
#include "source/source_encoding.h"

namespace tavrin {

// The extension (exact, lower case) of a source that is a header file.
inline constexpr std::string_view kHeaderFileExtension = ".hdr";

// What the last header file set besides the link settings.
struct HeaderFileState {
  std::string document_title;
  std::vector<std::string> include_list;    // file names as written, trimmed
  std::vector<std::int64_t> include_lines;  // the header file's line of each include
  // The files the includes open where they differ from the names in the module's code page
  // (SpellIncludes); empty otherwise.
  std::vector<std::string> include_paths;

  // The file that include `i` opens.
  const std::string& IncludePath(std::size_t i) const {
    return i < include_paths.size() ? include_paths[i] : include_list[i];
  }
};

// Reads the directives of a header file: link aliases and media folders into `links`, the title
// and the include list into `state` (all emptied first). When `module_name` is given (the active
// tab has a module name box), a box that is blank after a line is set to the title, or to
// "Untitled document" while no title has been read.
void ProcessHeaderFile(std::istream& in, const TextLocale& locale, LinkSettings& links,
                       HeaderFileState& state, std::string* module_name);

// For a header file read in UTF-8 or UTF-16, whose `utf8` text ProcessHeaderFile read converted
// to the module's code page: each include opens the file by its name as the header spells it, so
// that a name with letters outside the code page, or in another, is found. (File names are
// Unicode on both systems.) The conversion's warnings about those lines are dropped from
// `header`: their names lost nothing.
void SpellIncludes(std::string_view utf8, HeaderFileState& state, DecodedSource& header);

// The source that a header file's includes make.
struct AssembledSource {
  std::string path;                  // empty when there is no include
  bool delete_after_build = false;   // a temporary file made here
  std::string unreadable_include;    // the include (as listed) at which assembly stopped
  std::vector<Diagnostic> warnings;  // lines of includes that lost characters in conversion
  std::string failure;  // why no temporary source could be made ("Cannot create file ...")
  // The line of the assembled source at which each include read begins, in include order.
  std::vector<std::int64_t> first_lines;
};

// Turns one include's bytes into the module's 8-bit text; `first_line` is the number its first
// line gets in the assembled source.
using IncludeDecoder = std::function<DecodedSource(std::string raw, std::int64_t first_line)>;

// Each include is opened by its IncludePath and named as listed when it cannot be read.
// No include: empty path. One include: that file as it is. More: a new temporary file holding
// every include followed by CR LF CR LF. An include that cannot be read ends the assembly; the
// files before it stay in the temporary file and the include is reported. Never raises.
// With a `decode`, each include of an assembly is converted on its own (a file may be UTF-8,
// another UTF-16, another 8-bit).
AssembledSource AssembleIncludes(const HeaderFileState& state,
                                 const IncludeDecoder& decode = nullptr);

}  // namespace tavrin
