#include "module/module_kind.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/exceptions.h"

namespace tavrin {
namespace {

using ::testing::ElementsAre;

TEST(ModuleKindTest, KindTable) {
  for (const ModuleKindInfo& row : AllKinds()) {
    const ModuleKind kind = row.kind;
    EXPECT_EQ(ModuleKindFromInt(static_cast<int>(kind)), kind);
    EXPECT_EQ(ModuleKindFromString(KindString(kind)), kind);
    EXPECT_EQ(ModuleKindFromWord(KindInfo(kind).word), kind);
  }
  EXPECT_FALSE(ModuleKindFromInt(0));
  EXPECT_FALSE(ModuleKindFromInt(7));
  EXPECT_FALSE(ModuleKindFromString("Dict"));
  EXPECT_FALSE(ModuleKindFromWord("dict"));
  EXPECT_THROW(KindInfo(static_cast<ModuleKind>(7)), Exception);
  EXPECT_EQ(KindString(ModuleKind::kWriting), "refer");
  EXPECT_EQ(KindString(ModuleKind::kJumplist), "jlist");

  EXPECT_EQ(ProposedExtension(ModuleKind::kDictionary, true), ".k30");
  EXPECT_EQ(ProposedExtension(ModuleKind::kCommentary, false), ".dat");
  EXPECT_EQ(ProposedExtension(ModuleKind::kTopics, false), ".tpb");
  EXPECT_EQ(ProposedExtension(ModuleKind::kNotes, true), ".nts");
  EXPECT_EQ(ProposedExtension(ModuleKind::kJumplist, false), ".jpl");

  EXPECT_EQ(HeaderSize(ModuleKind::kWriting, true), 508);
  EXPECT_EQ(HeaderSize(ModuleKind::kWriting, false), 364);
  EXPECT_EQ(HeaderSize(ModuleKind::kNotes, true), 364);
  EXPECT_THAT(Sections(ModuleKind::kJumplist),
              ElementsAre(ModuleSection::kIndex, ModuleSection::kText));
}

// The header words of each kind, written out from the file format.
TEST(ModuleKindTest, HeaderWordsAndConversions) {
  struct Case {
    ModuleKind kind;
    std::int32_t per_kind_value;
    std::uint8_t name_flag;
    int index_record_size;
    std::optional<ModuleKind> converts_from;
  };
  const Case cases[] = {
      {ModuleKind::kDictionary, 0, 1, 4, ModuleKind::kTopics},
      {ModuleKind::kTopics, 200, 0, 4, ModuleKind::kTopics},
      {ModuleKind::kCommentary, -1, 1, 8, ModuleKind::kNotes},
      {ModuleKind::kNotes, 200, 0, 8, ModuleKind::kNotes},
      {ModuleKind::kWriting, 0, 1, 4, ModuleKind::kTopics},
      {ModuleKind::kJumplist, 200, 0, 8, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(KindString(c.kind)));
    EXPECT_EQ(PerKindValue(c.kind), c.per_kind_value);
    EXPECT_EQ(NameFlag(c.kind), c.name_flag);
    EXPECT_EQ(IndexRecordSize(c.kind), c.index_record_size);
    EXPECT_EQ(KindInfo(c.kind).converts_from, c.converts_from);
  }
  EXPECT_THAT(KindInfo(ModuleKind::kTopics).stored_extensions, ElementsAre(".tpb", ".tpm"));
  EXPECT_THAT(KindInfo(ModuleKind::kNotes).stored_extensions, ElementsAre(".nts", ".ntm"));
}

}  // namespace
}  // namespace tavrin
