#include "module/character_set.h"

#include <gtest/gtest.h>

#include "module/module_reader.h"
#include "platform/text_locale.h"

namespace tavrin {
namespace {

TEST(CharacterSetTest, ChoicesIdentifiersAndCodePages) {
  EXPECT_EQ(CharacterSetOf(1).identifier, 238);
  EXPECT_EQ(CharacterSetOf(2).code_page, 1251);
  EXPECT_EQ(CharacterSetOf(3).name, "Western");
  EXPECT_EQ(CharacterSetOf(-1).name, "Western");
  EXPECT_EQ(CharacterSetWithIdentifier(204).code_page, 1251);
  EXPECT_EQ(CharacterSetWithIdentifier(5).code_page, 1252);  // no set's: as Western
  EXPECT_EQ(CharsetChoiceFromWord("ce"), 1);
  EXPECT_FALSE(CharsetChoiceFromWord("CE"));

  // A module read back: the 508-byte form carries its set, the 364-byte form is the user's.
  const TextLocale russian("ru_RU");
  ModuleFileHeader header;
  EXPECT_EQ(ModuleCodePage(header, russian), 1251);
  header.header_size = kLongHeaderSize;
  header.charset_id = 238;
  EXPECT_EQ(ModuleCodePage(header, russian), 1250);
  header.charset_id = 0;
  EXPECT_EQ(ModuleCodePage(header, russian), 1252);
}

}  // namespace
}  // namespace tavrin
