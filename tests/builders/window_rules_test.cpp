#include "builders/window_rules.h"

#include <gtest/gtest.h>

#include "platform/text_locale.h"

namespace tavrin {
namespace {

TEST(WindowRulesTest, ReplaceExtensionTouchesOnlyTheTrailingOne) {
  EXPECT_EQ(ReplaceExtension("w.k30", ".dat"), "w.dat");
  EXPECT_EQ(ReplaceExtension("w.dat", ".k30"), "w.k30");
  EXPECT_EQ(ReplaceExtension("my.dat.k30", ".dat"), "my.dat.dat");
  EXPECT_EQ(ReplaceExtension("plain", ".tpb"), "plain.tpb");
  EXPECT_EQ(ReplaceExtension("out.", ".jpl"), "out.jpl");
  // A dot in a folder name is no extension.
  EXPECT_EQ(ReplaceExtension("dir.v2/out", ".k30"), "dir.v2/out.k30");
  EXPECT_EQ(ReplaceExtension("C:\\a.b\\out", ".k30"), "C:\\a.b\\out.k30");
}

TEST(WindowRulesTest, ProposedOutputNameDropsTheFolder) {
  EXPECT_EQ(ProposedOutputName("C:\\src\\my.notes.txt", ".k30"), "my.notes.k30");
  EXPECT_EQ(ProposedOutputName("/home/a/src.d/book", ".tpb"), "book.tpb");
  EXPECT_EQ(ProposedOutputName("x.txt", ".jpl"), "x.jpl");
}

TEST(WindowRulesTest, TabOutputExtensionFollowsKindAndFormat) {
  EXPECT_EQ(TabOutputExtension(BuildTab::kDictionary, false, false, false), ".k30");
  EXPECT_EQ(TabOutputExtension(BuildTab::kDictionary, false, false, true), ".dat");
  EXPECT_EQ(TabOutputExtension(BuildTab::kDictionary, true, false, false), ".tpb");
  EXPECT_EQ(TabOutputExtension(BuildTab::kCommentary, false, true, false), ".nts");
  EXPECT_EQ(TabOutputExtension(BuildTab::kCommentary, false, false, true), ".dat");
  EXPECT_EQ(TabOutputExtension(BuildTab::kWriting, false, false, false), ".k30");
  // The other tab's editable box does not matter.
  EXPECT_EQ(TabOutputExtension(BuildTab::kWriting, true, true, false), ".k30");
  EXPECT_EQ(TabOutputExtension(BuildTab::kJumplist, false, false, false), ".jpl");
}

TEST(WindowRulesTest, FiltersAndMarkType) {
  EXPECT_EQ(SourceFilter(BuildTab::kCommentary),
            "Source files [*.txt; *.nts; *.ntm; *.hdr]|*.txt; *.nts; *.ntm; *.hdr");
  EXPECT_EQ(SourceFilter(BuildTab::kWriting), SourceFilter(BuildTab::kDictionary));
  EXPECT_EQ(SourceFilter(BuildTab::kJumplist), "Source files [*.txt]|*.txt");
  EXPECT_FALSE(MarkTypeEnabled(BuildTab::kDictionary));
  EXPECT_TRUE(MarkTypeEnabled(BuildTab::kCommentary));
  EXPECT_FALSE(MarkTypeEnabled(BuildTab::kWriting));
  EXPECT_TRUE(MarkTypeEnabled(BuildTab::kJumplist));
}

TEST(WindowRulesTest, SettingTexts) {
  EXPECT_TRUE(SettingFlag("1", false));
  EXPECT_TRUE(SettingFlag("-3", false));
  EXPECT_TRUE(SettingFlag("99999999999999", false));  // a number, just a large one
  EXPECT_FALSE(SettingFlag("0", true));
  EXPECT_FALSE(SettingFlag("000", true));
  EXPECT_TRUE(SettingFlag("", true));
  EXPECT_TRUE(SettingFlag("yes", true));
  EXPECT_FALSE(SettingFlag("true", false));
  EXPECT_TRUE(SettingFlag(" 0", true));
  EXPECT_FALSE(SettingFlag("-", false));

  EXPECT_EQ(SettingNumber("1", 0), 1);
  EXPECT_EQ(SettingNumber("+7", 0), 7);
  EXPECT_EQ(SettingNumber("-2", 0), -2);
  EXPECT_EQ(SettingNumber("1x", 5), 5);
  EXPECT_EQ(SettingNumber("99999999999", 5), 5);
  EXPECT_EQ(SettingChoice("1", 0, 2), 1);
  EXPECT_EQ(SettingChoice("2", 0, 2), 0);
  EXPECT_EQ(SettingChoice("-1", 0, 2), 0);
  EXPECT_EQ(FlagText(true), "1");
  EXPECT_EQ(FlagText(false), "0");
}

TEST(WindowRulesTest, EditableKindsNeedNoModuleName) {
  BuildRequest r;
  r.tab = BuildTab::kCommentary;
  r.source_path = "notes.txt";
  r.output_path = "notes.nts";
  EXPECT_FALSE(CreateEnabled(r));
  r.editable_notes = true;
  EXPECT_TRUE(CreateEnabled(r));
  r.tab = BuildTab::kDictionary;
  EXPECT_FALSE(CreateEnabled(r));  // the note set box belongs to the other tab
  r.editable_topics = true;
  EXPECT_TRUE(CreateEnabled(r));

  // Without a control line mark nothing of a marked source or header file could be read; a
  // stored module to convert has no marks.
  r.options.line_mark.clear();
  EXPECT_FALSE(CreateEnabled(r));
  r.source_path = "a.hdr";
  EXPECT_FALSE(CreateEnabled(r));
  r.source_path = "book.tpb";
  r.editable_topics = false;
  r.module_name = "Book";
  EXPECT_TRUE(CreateEnabled(r));
}

TEST(WindowRulesTest, ModuleCodePage) {
  TextLocale western("en_US");
  BuildRequest r;
  r.charset = 2;
  EXPECT_EQ(ModuleCodePage(r, western), 1251);
  r.compatible = true;
  EXPECT_EQ(ModuleCodePage(r, western), 1252);
  r.compatible = false;
  r.tab = BuildTab::kJumplist;
  EXPECT_EQ(ModuleCodePage(r, western), 1252);
}

}  // namespace
}  // namespace tavrin
