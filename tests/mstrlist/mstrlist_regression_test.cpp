// Inputs found by fuzzing TmStrList operation sequences.
#include <gtest/gtest.h>

#include "mstrlist/mstrlist.h"

namespace tavrin {
namespace {

// An empty search text occurs in every string; under soString an empty entry was passed over
// while soStringCaseSensitive matched it.
TEST(MStrListRegressionTest, EmptySubstringMatchesAnEmptyEntry) {
  const TextLocale locale("en_US", 1252);
  for (TMSortType type : {soString, soStringCaseSensitive}) {
    TmStrList list(locale);
    list.SetSubstringSearch(true);
    list.SetSortType(type);
    list.Add("");
    list.Add("9");
    EXPECT_EQ(list.IndexOf(""), 0) << type;
    EXPECT_EQ(list.IndexOf("9"), 1) << type;
  }
}

}  // namespace
}  // namespace tavrin
