#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrin {

class TextLocale;

// A "Default character set" of a current-format module.
struct CharacterSet {
  std::string_view name;    // the window's caption
  std::string_view word;    // the --charset of `tavrin-cli build`
  std::int32_t identifier;  // the Windows character set identifier of the 508-byte header
  int code_page;            // the code page the module's text is in
};

// In the order of the choice (the item index of CharRG1..3).
inline constexpr auto kCharacterSets = std::to_array<CharacterSet>({
    {"Western", "western", 0, 1252},
    {"CE", "ce", 238, 1250},
    {"Cyrillic", "cyrillic", 204, 1251},
});

// The set of a choice; a choice out of range is Western.
const CharacterSet& CharacterSetOf(int choice);
// The set a header's identifier names; an identifier of no set reads as Western.
const CharacterSet& CharacterSetWithIdentifier(std::int32_t identifier);
// The choice whose command-line word is exactly `word`; nullopt for anything else.
std::optional<int> CharsetChoiceFromWord(std::string_view word);

// The code page of a module's text, which every conversion and comparison of that text goes by:
// the character set's in the current format, the user's ANSI code page otherwise. Requests and
// headers read back have their own forms: ModuleCodePage(BuildRequest, ...) and
// ModuleCodePage(ModuleFileHeader, ...).
int ModuleCodePage(bool new_format, const CharacterSet& set, const TextLocale& locale);

}  // namespace tavrin
