#include "messages/messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tavrin {
namespace {

// The creation log's line of each kind of place, as the reader's users have always seen them.
TEST(MessagesTest, LogLinesNameTheirPlace) {
  Diagnostic in_header(Message::kNotInCodePage, 4, {"1251"});
  in_header.place = Place::kHeaderLine;
  Diagnostic record(Message::kTextOutsideSection, 7);
  record.place = Place::kStoredRecord;
  const struct {
    Diagnostic diagnostic;
    const char* line;
  } cases[] = {
      {{Message::kSectionTooLong, 3}, "section #3 - Warning: section too long"},
      {{Message::kDuplicateReference, 12, {"Gen 1:1"}},
       "line #12 - Warning: duplicate reference (Gen 1:1)"},
      {in_header,
       "header file line #4 - Warning: characters not in code page 1251 replaced by '?'"},
      {{Message::kTextOutsideSection, 2},
       "topic #2 - Warning: text position outside the text section"},
      {record, "record #7 - Warning: text position outside the text section"},
      {{Message::kIncludeUnreadable, 5, {"b.txt"}},
       "Warning: cannot read included file 'b.txt'; it and the files after it were left out"},
      {{Message::kNameCut, 0, {"60"}}, "Warning: module name cut to its first 60 characters"},
      {{Message::kStrayIndexBytes, 0, {"3"}},
       "Warning: 3 stray bytes at the end of the index section ignored"},
      {{Message::kNoTopicsMarked, 9}, "Error: no topics marked"},
      {{Message::kFailure, 0, {"Cannot read file x.txt"}}, "Error: Cannot read file x.txt"},
      {{Message::kCreated, 0, {"a.k30"}}, "File 'a.k30' successfuly created."},
  };
  for (const auto& c : cases) EXPECT_EQ(LogLine(c.diagnostic), c.line);
}

// A value is put in as it is: a "%1" inside it is text.
TEST(MessagesTest, ValuesAreNotReadForPlaceholders) {
  EXPECT_EQ(MessageText(Message::kOutputIsSource, {"%2", "b"}),
            "Output '%2' is the source file 'b' itself.");
}

// Every row is whole: its values numbered from %1 without a gap, the log's own prefixes left to
// the log, a finding under a check other than the build's and every build message under it.
TEST(MessagesTest, RowsAreWhole) {
  for (const MessageRow& row : AllMessages()) {
    const std::string text(row.text);
    SCOPED_TRACE(text);
    int highest = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
      if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
        highest = std::max(highest, text[i + 1] - '0');
    for (int n = 1; n <= highest; ++n)
      EXPECT_NE(text.find("%" + std::to_string(n)), std::string::npos);
    EXPECT_FALSE(text.starts_with("Warning: ") || text.starts_with("Error: "));
    EXPECT_EQ(row.level == MessageLevel::kFinding, row.check != Check::kBuild);
  }
  for (const CheckRow& check : AllChecks()) {
    EXPECT_EQ(FindCheck(check.name), check.id);
    EXPECT_FALSE(check.help.empty());
  }
  EXPECT_EQ(FindCheck("no-such-check"), std::nullopt);
}

// The README's table of checks is the table's: a check added to one is added to the other.
TEST(MessagesTest, ReadmeListsEveryCheck) {
  std::ifstream in(TAVRIN_README);
  ASSERT_TRUE(in) << TAVRIN_README;
  std::stringstream readme;
  readme << in.rdbuf();
  std::string table = "| Check | What it reports |\n|---|---|\n";
  for (const CheckRow& check : AllChecks())
    table += "| `" + std::string(check.name) + "` | " + std::string(check.help) + " |\n";
  EXPECT_NE(readme.str().find(table), std::string::npos) << "the README's table should read:\n"
                                                         << table;
}

}  // namespace
}  // namespace tavrin
