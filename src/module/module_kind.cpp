#include "module/module_kind.h"

#include <array>

#include "platform/exceptions.h"

namespace tavrin {

namespace {

constexpr std::array<ModuleSection, 3> kNamedSections = {
    ModuleSection::kName, ModuleSection::kIndex, ModuleSection::kText};
constexpr std::array<ModuleSection, 2> kVerseSections = {ModuleSection::kIndex,
                                                         ModuleSection::kText};

constexpr std::array<std::string_view, 2> kTopicBookExtensions = {".tpb", ".tpm"};
constexpr std::array<std::string_view, 2> kNoteSetExtensions = {".nts", ".ntm"};

using Builder = MarkedTextBuilder;
using Conversion = ModuleConversion;

constexpr auto kKinds = std::to_array<ModuleKindInfo>({
    {.kind = ModuleKind::kDictionary,
     .kind_string = "dict",
     .word = "dictionary",
     .tab = BuildTab::kDictionary,
     .editable = false,
     .editable_caption = "",
     .finished = true,
     .standin_name = "",
     .verse = false,
     .names_entries = true,
     .sections = kNamedSections,
     .per_kind_value = 0,
     .current_extension = ".k30",
     .compatible_extension = ".dat",
     .stored_extensions = {},
     .builder = Builder::kDictionary,
     .conversion = Conversion::kTopicBook,
     .converts_from = ModuleKind::kTopics,
     .takes_header_files = true},
    {.kind = ModuleKind::kTopics,
     .kind_string = "topics",
     .word = "topics",
     .tab = BuildTab::kDictionary,
     .editable = true,
     .editable_caption = "Create as editable topic book",
     .finished = false,
     .standin_name = "Topic Book",
     .verse = false,
     .names_entries = true,
     .sections = kNamedSections,
     .per_kind_value = 200,
     .current_extension = kTopicBookExtensions[0],
     .compatible_extension = kTopicBookExtensions[0],
     .stored_extensions = kTopicBookExtensions,
     .builder = Builder::kDictionary,
     .conversion = Conversion::kTopicBook,
     .converts_from = ModuleKind::kTopics,
     .takes_header_files = true},
    {.kind = ModuleKind::kCommentary,
     .kind_string = "comment",
     .word = "commentary",
     .tab = BuildTab::kCommentary,
     .editable = false,
     .editable_caption = "",
     .finished = true,
     .standin_name = "",
     .verse = true,
     .names_entries = false,
     .sections = kVerseSections,
     .per_kind_value = -1,
     .current_extension = ".k30",
     .compatible_extension = ".dat",
     .stored_extensions = {},
     .builder = Builder::kCommentary,
     .conversion = Conversion::kNoteSet,
     .converts_from = ModuleKind::kNotes,
     .takes_header_files = true},
    {.kind = ModuleKind::kNotes,
     .kind_string = "notes",
     .word = "notes",
     .tab = BuildTab::kCommentary,
     .editable = true,
     .editable_caption = "Create as editable note set",
     .finished = false,
     .standin_name = "Note Set",
     .verse = true,
     .names_entries = false,
     .sections = kVerseSections,
     .per_kind_value = 200,
     .current_extension = kNoteSetExtensions[0],
     .compatible_extension = kNoteSetExtensions[0],
     .stored_extensions = kNoteSetExtensions,
     .builder = Builder::kCommentary,
     .conversion = Conversion::kNoteSet,
     .converts_from = ModuleKind::kNotes,
     .takes_header_files = true},
    {.kind = ModuleKind::kWriting,
     .kind_string = "refer",
     .word = "writing",
     .tab = BuildTab::kWriting,
     .editable = false,
     .editable_caption = "",
     .finished = true,
     .standin_name = "",
     .verse = false,
     .names_entries = false,
     .sections = kNamedSections,
     .per_kind_value = 0,
     .current_extension = ".k30",
     .compatible_extension = ".dat",
     .stored_extensions = {},
     .builder = Builder::kWriting,
     .conversion = Conversion::kTopicsToWriting,
     .converts_from = ModuleKind::kTopics,
     .takes_header_files = true},
    {.kind = ModuleKind::kJumplist,
     .kind_string = "jlist",
     .word = "jumplist",
     .tab = BuildTab::kJumplist,
     .editable = false,
     .editable_caption = "",
     .finished = false,
     .standin_name = "",
     .verse = true,
     .names_entries = false,
     .sections = kVerseSections,
     .per_kind_value = 200,
     .current_extension = ".jpl",
     .compatible_extension = ".jpl",
     .stored_extensions = {},
     .builder = Builder::kJumplist,
     .conversion = Conversion::kNone,
     .converts_from = std::nullopt,
     .takes_header_files = false},
});

// The row of each kind. No default: a kind without a row is named by -Wswitch.
constexpr std::size_t RowOf(ModuleKind kind) {
  switch (kind) {
    case ModuleKind::kDictionary:
      return 0;
    case ModuleKind::kTopics:
      return 1;
    case ModuleKind::kCommentary:
      return 2;
    case ModuleKind::kNotes:
      return 3;
    case ModuleKind::kWriting:
      return 4;
    case ModuleKind::kJumplist:
      return 5;
  }
  return kKinds.size();
}

constexpr bool RowsAgree() {
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    const ModuleKindInfo& row = kKinds[k];
    // Rows in the order of the numbers, each where RowOf looks for it.
    if (RowOf(row.kind) != k || static_cast<int>(row.kind) != static_cast<int>(k) + 1) return false;
    // Verse kinds have no name section; only finished kinds have two formats.
    if (row.verse != (row.sections.front() != ModuleSection::kName)) return false;
    if (!row.finished && row.current_extension != row.compatible_extension) return false;
    // A kind is converted from a kind that stored modules are recognised by.
    if ((row.conversion != ModuleConversion::kNone) != row.converts_from.has_value()) return false;
    if (row.converts_from && kKinds[RowOf(*row.converts_from)].stored_extensions.empty())
      return false;
  }
  return true;
}
static_assert(RowsAgree(), "the rows of the kind table disagree");

}  // namespace

std::span<const ModuleKindInfo> AllKinds() { return kKinds; }

const ModuleKindInfo& KindInfo(ModuleKind kind) {
  const std::size_t row = RowOf(kind);
  if (row >= kKinds.size())
    throw Exception("Unknown module kind " + std::to_string(static_cast<int>(kind)));
  return kKinds[row];
}

std::optional<ModuleKind> ModuleKindFromInt(int value) {
  for (const ModuleKindInfo& row : kKinds)
    if (static_cast<int>(row.kind) == value) return row.kind;
  return std::nullopt;
}

std::string_view KindString(ModuleKind kind) { return KindInfo(kind).kind_string; }

std::optional<ModuleKind> ModuleKindFromString(std::string_view text) {
  for (const ModuleKindInfo& row : kKinds)
    if (row.kind_string == text) return row.kind;
  return std::nullopt;
}

std::optional<ModuleKind> ModuleKindFromWord(std::string_view word) {
  for (const ModuleKindInfo& row : kKinds)
    if (row.word == word) return row.kind;
  return std::nullopt;
}

bool SupportsNewFormat(ModuleKind kind) { return KindInfo(kind).finished; }

bool HasModuleName(ModuleKind kind) { return KindInfo(kind).finished; }

bool IsVerseKind(ModuleKind kind) { return KindInfo(kind).verse; }

int IndexRecordSize(ModuleKind kind) { return IsVerseKind(kind) ? 8 : 4; }

int HeaderSize(ModuleKind kind, bool new_format) {
  return new_format && SupportsNewFormat(kind) ? kLongHeaderSize : kShortHeaderSize;
}

std::span<const ModuleSection> Sections(ModuleKind kind) { return KindInfo(kind).sections; }

std::int32_t PerKindValue(ModuleKind kind) { return KindInfo(kind).per_kind_value; }

std::uint8_t NameFlag(ModuleKind kind) { return HasModuleName(kind) ? 1 : 0; }

std::string ProposedExtension(ModuleKind kind, bool new_format) {
  const ModuleKindInfo& row = KindInfo(kind);
  return std::string(new_format ? row.current_extension : row.compatible_extension);
}

}  // namespace tavrin
