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

// The body sections of a module file, named after the build buffers that fill them.
enum class ModuleSection { kName, kIndex, kText };

// The two header sizes.
inline constexpr int kShortHeaderSize = 364;
inline constexpr int kLongHeaderSize = 508;

// The kind for a number 1..6; nullopt otherwise.
std::optional<ModuleKind> ModuleKindFromInt(int value);
// The kind string of the header's first field: "dict", "topics", "comment", "notes", "refer",
// "jlist".
std::string_view KindString(ModuleKind kind);
// The kind whose kind string is exactly `text`; nullopt for anything else.
std::optional<ModuleKind> ModuleKindFromString(std::string_view text);

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
