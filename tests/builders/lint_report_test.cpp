// LintReport's capped store: findings made in any order, the first in print order kept with
// their own messages while the messages of the dropped ones are let go.
#include <gtest/gtest.h>

#include "builders/lint.h"

namespace tavrin {
namespace {

TEST(LintReportTest, CapKeepsTheFirstFindingsWithTheirMessagesWhateverTheOrderMade) {
  LintReport report;
  report.max_findings = 3;
  // Made last line first, each with a message of its own: every finding evicts the last one
  // kept, and the messages of the evicted ones are dropped again and again.
  constexpr int kMade = 5000;
  for (int line = kMade; line >= 1; --line)
    report.AtFile("a.txt", line, 1, Check::kUnknownTag, "message " + std::to_string(line));
  report.AtFile("b.txt", 1, 1, Check::kBuild, "later file");
  std::vector<std::string> printed;
  for (const Finding& f : report.Sorted()) printed.push_back(FormatFinding(f));
  EXPECT_EQ(printed, (std::vector<std::string>{
                         "a.txt:1:1: warning: message 1 [unknown-tag]",
                         "a.txt:2:1: warning: message 2 [unknown-tag]",
                         "a.txt:3:1: warning: message 3 [unknown-tag]",
                     }));
  EXPECT_EQ(report.Count(), kMade + 1);
  EXPECT_EQ(report.LeftOut(), kMade + 1 - 3);
}

}  // namespace
}  // namespace tavrin
