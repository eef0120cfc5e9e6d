#include "module/character_set.h"

#include "platform/text_locale.h"

namespace tavrin {

const CharacterSet& CharacterSetOf(int choice) {
  if (choice < 0 || static_cast<std::size_t>(choice) >= kCharacterSets.size())
    return kCharacterSets.front();
  return kCharacterSets[static_cast<std::size_t>(choice)];
}

const CharacterSet& CharacterSetWithIdentifier(std::int32_t identifier) {
  for (const CharacterSet& set : kCharacterSets)
    if (set.identifier == identifier) return set;
  return kCharacterSets.front();
}

std::optional<int> CharsetChoiceFromWord(std::string_view word) {
  for (std::size_t k = 0; k < kCharacterSets.size(); ++k)
    if (kCharacterSets[k].word == word) return static_cast<int>(k);
  return std::nullopt;
}

int ModuleCodePage(bool new_format, const CharacterSet& set, const TextLocale& locale) {
  return new_format ? set.code_page : locale.CodePage();
}

}  // namespace tavrin
