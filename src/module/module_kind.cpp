#include "module/module_kind.h"

#include <array>

namespace tavrin {

namespace {

constexpr std::array<ModuleSection, 3> kNamedSections = {
    ModuleSection::kName, ModuleSection::kIndex, ModuleSection::kText};
constexpr std::array<ModuleSection, 2> kVerseSections = {ModuleSection::kIndex,
                                                         ModuleSection::kText};

constexpr std::array<ModuleKind, 6> kAllKinds = {ModuleKind::kDictionary, ModuleKind::kTopics,
                                                 ModuleKind::kCommentary, ModuleKind::kNotes,
                                                 ModuleKind::kWriting,    ModuleKind::kJumplist};

}  // namespace

std::optional<ModuleKind> ModuleKindFromInt(int value) {
  if (value < 1 || value > 6) return std::nullopt;
  return static_cast<ModuleKind>(value);
}

std::string_view KindString(ModuleKind kind) {
  switch (kind) {
    case ModuleKind::kDictionary:
      return "dict";
    case ModuleKind::kTopics:
      return "topics";
    case ModuleKind::kCommentary:
      return "comment";
    case ModuleKind::kNotes:
      return "notes";
    case ModuleKind::kWriting:
      return "refer";
    case ModuleKind::kJumplist:
      return "jlist";
  }
  return "";
}

std::optional<ModuleKind> ModuleKindFromString(std::string_view text) {
  for (ModuleKind kind : kAllKinds)
    if (KindString(kind) == text) return kind;
  return std::nullopt;
}

bool SupportsNewFormat(ModuleKind kind) {
  return kind == ModuleKind::kDictionary || kind == ModuleKind::kCommentary ||
         kind == ModuleKind::kWriting;
}

bool HasModuleName(ModuleKind kind) { return SupportsNewFormat(kind); }

bool IsVerseKind(ModuleKind kind) {
  return kind == ModuleKind::kCommentary || kind == ModuleKind::kNotes ||
         kind == ModuleKind::kJumplist;
}

int IndexRecordSize(ModuleKind kind) { return IsVerseKind(kind) ? 8 : 4; }

int HeaderSize(ModuleKind kind, bool new_format) {
  return new_format && SupportsNewFormat(kind) ? kLongHeaderSize : kShortHeaderSize;
}

std::span<const ModuleSection> Sections(ModuleKind kind) {
  if (IsVerseKind(kind)) return kVerseSections;
  return kNamedSections;
}

std::int32_t PerKindValue(ModuleKind kind) {
  switch (kind) {
    case ModuleKind::kDictionary:
    case ModuleKind::kWriting:
      return 0;
    case ModuleKind::kCommentary:
      return -1;
    default:
      return 200;
  }
}

std::uint8_t NameFlag(ModuleKind kind) { return HasModuleName(kind) ? 1 : 0; }

std::string ProposedExtension(ModuleKind kind, bool new_format) {
  switch (kind) {
    case ModuleKind::kTopics:
      return ".tpb";
    case ModuleKind::kNotes:
      return ".nts";
    case ModuleKind::kJumplist:
      return ".jpl";
    default:
      return new_format ? ".k30" : ".dat";
  }
}

}  // namespace tavrin
