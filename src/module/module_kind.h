#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavrin {

// The six kinds of module file. The numbers are the ones the rest of the program passes around.
enum class ModuleKind : int {
  kDictionary = 1,
  kTopics = 2,  // editable topic book
  kCommentary = 3,
  kNotes = 4,  // editable note set
  kWriting = 5,
  kJumplist = 6,
};

// The main window's tabs, in their order; every kind is made on one of them.
enum class BuildTab { kDictionary = 1, kCommentary = 2, kWriting = 3, kJumplist = 4 };

// The body sections of a module file, named after the build buffers that fill them.
enum class ModuleSection { kName, kIndex, kText };

// The builder that makes a kind from marked text, and the conversion that makes it from a
// stored module.
enum class MarkedTextBuilder { kDictionary, kCommentary, kWriting, kJumplist };
enum class ModuleConversion { kNone, kTopicBook, kNoteSet, kTopicsToWriting };

// The two header sizes.
inline constexpr int kShortHeaderSize = 364;
inline constexpr int kLongHeaderSize = 508;

// Everything the program knows of one kind. A new kind is one enumerator, one row in
// module_kind.cpp and its builder; every switch that must learn of it names no default, so the
// compiler names each one.
struct ModuleKindInfo {
  ModuleKind kind;
  std::string_view kind_string;  // the header's first field
  std::string_view word;         // the KIND of `tavrin-cli build`
  // Where the window makes it: the tab, and whether that tab's "Create as editable ..." box is
  // checked for it.
  BuildTab tab;
  bool editable;
  // The caption of that box, for the editable kinds.
  std::string_view editable_caption;
  // The finished kinds carry a module name and may be made in the current format (the 508-byte
  // header); the others never are.
  bool finished;
  // What the Create button counts as the module name when the kind has none (the name box is
  // out of play).
  std::string_view standin_name;
  // Entries attached to verses (8-byte index records, no name section) instead of names.
  bool verse;
  // Entries named by topics: the names that local links point at.
  bool names_entries;
  std::span<const ModuleSection> sections;  // in file order
  std::int32_t per_kind_value;              // the fixed word of the header: 0, 200 or -1
  // The output extension the window proposes in the current and in the 2.6-compatible format.
  std::string_view current_extension;
  std::string_view compatible_extension;
  // The extensions (exact, lower case) by which a source of this kind is taken as a stored
  // module to convert; empty for kinds that are never converted from.
  std::span<const std::string_view> stored_extensions;
  MarkedTextBuilder builder;
  // The stored modules it is made from: the conversion and the kind it expects of them.
  ModuleConversion conversion;
  std::optional<ModuleKind> converts_from;
  // Whether a ".hdr" source on its tab is a header file (else it is marked text).
  bool takes_header_files;
};

// Every kind, in the order of their numbers.
std::span<const ModuleKindInfo> AllKinds();
// The row of a kind. Raises Exception for a number outside the enumeration.
const ModuleKindInfo& KindInfo(ModuleKind kind);

// The kind for a number 1..6; nullopt otherwise.
std::optional<ModuleKind> ModuleKindFromInt(int value);
// The kind string of the header's first field: "dict", "topics", "comment", "notes", "refer",
// "jlist".
std::string_view KindString(ModuleKind kind);
// The kind whose kind string is exactly `text`; nullopt for anything else.
std::optional<ModuleKind> ModuleKindFromString(std::string_view text);
// The kind whose command-line word is exactly `word`; nullopt for anything else.
std::optional<ModuleKind> ModuleKindFromWord(std::string_view word);

// Dictionaries, commentaries and writings: the finished kinds that carry a module name and may
// be made in the current format. The editable kinds and jumplists never are.
bool SupportsNewFormat(ModuleKind kind);
bool HasModuleName(ModuleKind kind);
// Commentaries, note sets and jumplists: entries are attached to verses (8-byte index records)
// instead of names (4-byte index records and a name section).
bool IsVerseKind(ModuleKind kind);
int IndexRecordSize(ModuleKind kind);

// 508 when the kind supports the current format and it is asked for, 364 otherwise.
int HeaderSize(ModuleKind kind, bool new_format);
// The sections in file order: name, index, text; or index, text for the verse kinds.
std::span<const ModuleSection> Sections(ModuleKind kind);
// The fixed per-kind word of the header: 0, 200 or -1.
std::int32_t PerKindValue(ModuleKind kind);
// The name flag byte: 1 for the finished kinds, 0 for the others.
std::uint8_t NameFlag(ModuleKind kind);

// The output extension the window proposes: ".k30" (current format) or ".dat" for the finished
// kinds, ".tpb", ".nts" and ".jpl" for the others.
std::string ProposedExtension(ModuleKind kind, bool new_format);

}  // namespace tavrin
