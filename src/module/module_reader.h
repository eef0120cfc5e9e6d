#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/module_kind.h"

namespace tavrin {

class TextLocale;

// The header of a module file as read back, after its checks.
struct ModuleFileHeader {
  ModuleKind kind = ModuleKind::kDictionary;
  int header_size = kShortHeaderSize;  // 364 or 508
  std::string module_name;             // empty for the editable kinds and jumplists
  std::string creator;                 // "Module created by ..."
  std::optional<int> charset_id;       // 0, 238, 204, ...: the 508-byte form only
  // Start of each section in file order; the third is 0 for the verse kinds.
  std::array<std::int32_t, 3> section_offsets{};

  // Texts are stored complemented in the current format of the finished kinds.
  bool TextsComplemented() const {
    return header_size == kLongHeaderSize && SupportsNewFormat(kind);
  }
};

// The code page of the module's text (see ModuleCodePage in module/character_set.h).
int ModuleCodePage(const ModuleFileHeader& header, const TextLocale& locale);

// One entry: a name for dictionaries, topic books and writings; a verse for the others.
struct ModuleEntry {
  std::string name;
  std::uint8_t book = 0;
  std::uint8_t chapter = 0;
  std::uint8_t verse = 0;
  std::string text;  // as it was before storing: never complemented, no terminator
};

struct ModuleFile {
  ModuleFileHeader header;
  std::vector<ModuleEntry> entries;  // in file order
};

// Reads and checks only the header of a module file held in memory. `origin` names the file in
// error messages. Raises EModuleError for a short header, a bad signature, an unknown kind or
// section offsets outside the file, out of order or inside the header.
ModuleFileHeader ReadModuleHeader(std::string_view bytes, const std::string& origin);

// Reads a whole module held in memory. Besides the header checks, raises EModuleError when an
// index section is not whole records, names and index records do not pair up, a text offset
// lies outside the text section or a name or text has no terminator.
ModuleFile ReadModuleBytes(std::string_view bytes, const std::string& origin = "(memory)");

// Reads a module file; raises EFOpenError when it cannot be read, EModuleError as above.
ModuleFile ReadModuleFile(const std::string& path);

}  // namespace tavrin
