#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "messages/messages.h"

namespace tavrin {

// How a source file's bytes are to be read.
enum class SourceEncoding {
  kAuto,     // a byte order mark decides; without one, 8-bit text in the module's code page
  kUtf8,     // UTF-8, with or without a byte order mark
  kUtf16LE,  // UTF-16 little-endian, with or without a byte order mark
  kUtf16BE,
  kAnsi,  // 8-bit text as it is, even when it begins with a byte order mark
};

// Parses "auto", "utf-8", "utf-16le", "utf-16be", "ansi"; false for anything else.
bool ParseSourceEncoding(std::string_view text, SourceEncoding& encoding);

// The encoding in effect for these bytes, and the length of the byte order mark to skip.
SourceEncoding DetectSourceEncoding(std::string_view bytes, SourceEncoding requested,
                                    std::size_t& mark_length);

// Whether the first bytes of a file read as 8-bit text look like UTF-16 without a byte order
// mark: NUL bytes at nearly every other position and nowhere else. `which` is then the byte
// order they suggest (NUL second: little-endian).
bool LooksLikeUtf16(std::string_view start, SourceEncoding& which);

// A source turned into 8-bit text of the module's code page, as the reading loop reads it.
struct DecodedSource {
  std::string bytes;
  bool converted = false;            // false: the bytes are the file's own
  std::vector<Diagnostic> warnings;  // one per line that lost characters, numbered by it
  std::int64_t lines = 0;            // line ends (LF) in the result, for numbering what follows
};

// Converts a whole file's bytes. Without conversion the bytes are returned as they are. With
// it, every line (ended by LF) is converted on its own: characters the code page cannot hold
// become '?', and each such line gets one warning numbered `first_line` + its index; invalid
// UTF-8 or UTF-16 is replaced the same way with its own warning.
DecodedSource DecodeSource(std::string raw, SourceEncoding requested, int code_page,
                           std::int64_t first_line = 1);

// The text of a file read in UTF-8 or UTF-16, in UTF-8 without its byte order mark, line for
// line as DecodeSource converts it (UTF-8 bytes stay as they are); nullopt for 8-bit text.
std::optional<std::string> DecodeToUtf8(std::string_view raw, SourceEncoding requested);

}  // namespace tavrin
