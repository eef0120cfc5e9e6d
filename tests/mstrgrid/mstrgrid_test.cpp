#include "mstrgrid/mstrgrid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {
namespace {

using Rows = std::vector<std::vector<std::string>>;

const TextLocale& Western() {
  static const TextLocale locale("en_US", 1252);
  return locale;
}

// A grid sized to `rows` (all rows equally long) with the given fixed counts.
std::unique_ptr<TmStrGrid> MakeGrid(const Rows& rows, int fixed_rows = 0, int fixed_cols = 0) {
  auto grid = std::make_unique<TmStrGrid>(Western());
  grid->SetRowCount(static_cast<int>(rows.size()));
  grid->SetColCount(static_cast<int>(rows[0].size()));
  grid->SetFixedRows(fixed_rows);
  grid->SetFixedCols(fixed_cols);
  for (int r = 0; r < grid->RowCount(); ++r)
    for (int c = 0; c < grid->ColCount(); ++c) grid->SetCell(c, r, rows[r][c]);
  return grid;
}

Rows CellsOf(const TmStrGrid& grid) {
  Rows rows(grid.RowCount());
  for (int r = 0; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) rows[r].push_back(grid.Cell(c, r));
  return rows;
}

std::string Column(const TmStrGrid& grid, int col) {
  std::string out;
  for (int r = 0; r < grid.RowCount(); ++r) out += (r ? "|" : "") + grid.Cell(col, r);
  return out;
}

std::string Row(const TmStrGrid& grid, int row) {
  std::string out;
  for (int c = 0; c < grid.ColCount(); ++c) out += (c ? "|" : "") + grid.Cell(c, row);
  return out;
}

std::string SortIndexText(const TmStrGrid& grid) {
  std::string out;
  for (int i = 0; i < grid.SortIndex().Count(); ++i)
    out += (i ? "|" : "") + grid.SortIndex().Get(i);
  return out;
}

class TempDir {
 public:
  TempDir() {
    path_ = CreateTempFile("mstrgrid");
    std::filesystem::remove(path_);
    std::filesystem::create_directory(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(StringGridTest, CountsFixedCountsAndCellsBeyondTheSize) {
  TmStrGrid grid(Western());
  EXPECT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(grid.FixedRows(), 1);
  grid.SetCell(7, 9, "far");  // outside: kept without growing
  EXPECT_EQ(grid.RowCount(), 5);
  grid.SetRowCount(10);
  grid.SetColCount(8);
  EXPECT_EQ(grid.Cell(7, 9), "far");

  grid.SetFixedRows(3);
  grid.SetRowCount(3);  // not above the fixed rows: they drop to count - 1
  EXPECT_EQ(grid.FixedRows(), 2);
  grid.SetRowCount(0);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.FixedRows(), 0);
  grid.SetRowCount(10);
  EXPECT_EQ(grid.Cell(7, 9), "far");  // shrinking kept it

  EXPECT_THROW(grid.SetFixedCols(8), EListError);
  EXPECT_THROW(grid.Cell(-1, 0), EListError);
  EXPECT_THROW(grid.SetCurrentCell(8, 0), EListError);

  // The current cell leaves the fixed area when it grows.
  grid.SetCurrentCell(0, 0);
  grid.SetFixedCols(2);
  EXPECT_EQ(grid.Col(), 2);
}

TEST(TmStrGridTest, CompleteRowsUnderEachFixedMode) {
  const Rows rows = {
      {"#", "Name", "Age"}, {"1", "Cid", "30"}, {"2", "Abe", "20"}, {"3", "Bea", "10"}};
  TNumberObject tag;

  auto grid = MakeGrid(rows, 1, 1);
  grid->SetObject(2, 1, &tag);
  grid->SortCompleteRows(1);
  // Header stays, column 0 stays, the other columns travel with their row.
  EXPECT_EQ(Column(*grid, 0), "#|1|2|3");
  EXPECT_EQ(Column(*grid, 1), "Name|Abe|Bea|Cid");
  EXPECT_EQ(Column(*grid, 2), "Age|20|10|30");
  EXPECT_EQ(grid->Object(2, 3), &tag);

  grid = MakeGrid(rows, 1, 1);
  grid->SetUseFixed(hfSmart);
  grid->SortCompleteRows(1);
  EXPECT_EQ(Column(*grid, 0), "#|2|3|1");  // row labels move with their rows
  EXPECT_EQ(Column(*grid, 1), "Name|Abe|Bea|Cid");

  grid = MakeGrid(rows, 1, 1);
  grid->SetUseFixed(hfYes);
  grid->SetKeyType(soStringCaseSensitive);
  grid->SortCompleteRows(1);  // the header row is sorted too
  EXPECT_EQ(Column(*grid, 1), "Abe|Bea|Cid|Name");
  EXPECT_EQ(Column(*grid, 0), "2|3|1|#");
}

TEST(TmStrGridTest, KeysNumbersAndDescending) {
  auto grid = MakeGrid({{"2"}, {"10"}, {"1"}});
  grid->SetKeyType(soNumeric);
  grid->SetSortDescending(true);
  grid->SortCol(0);
  EXPECT_EQ(Column(*grid, 0), "10|2|1");

  // The key is the part from KeyPos for KeyLen characters.
  grid = MakeGrid({{"x-b-9"}, {"y-a-5"}, {"z-c-1"}});
  grid->SetKeyPos(3);
  grid->SetKeyLen(1);
  grid->SortCol(0);
  EXPECT_EQ(Column(*grid, 0), "y-a-5|x-b-9|z-c-1");
}

TEST(TmStrGridTest, SortIndexHoldsEachOldLinesNewPosition) {
  auto grid = MakeGrid({{"c", "3"}, {"a", "1"}, {"b", "2"}});
  grid->SortCompleteRows(0);
  EXPECT_EQ(Column(*grid, 1), "1|2|3");
  EXPECT_EQ(SortIndexText(*grid), "2|0|1");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(static_cast<TNumberObject*>(grid->SortIndex().GetObject(i))->Value(),
              std::stoi(grid->SortIndex().Get(i)));
  EXPECT_EQ(grid->LastSortKind(), TGridSortKind::kCompleteRows);
}

TEST(TmStrGridTest, UndoAfterEachSortRestoresCellsAndObjectsAndRedoes) {
  const Rows rows = {{"h", "k", "e", "b"}, {"g", "d", "l", "a"}, {"f", "i", "c", "j"}};
  using Sort = void (*)(TmStrGrid&);
  const std::vector<std::pair<const char*, Sort>> sorts = {
      {"complete rows", [](TmStrGrid& g) { g.SortCompleteRows(2); }},
      {"complete columns", [](TmStrGrid& g) { g.SortCompleteColumns(1); }},
      {"row", [](TmStrGrid& g) { g.SortRow(2); }},
      {"col", [](TmStrGrid& g) { g.SortCol(2); }},
      {"all rows", [](TmStrGrid& g) { g.SortAllRows(); }},
      {"all cols", [](TmStrGrid& g) { g.SortAllCols(); }},
  };
  std::vector<TNumberObject> objects(12);
  for (THandleFixed mode : {hfNot, hfSmart, hfYes}) {
    for (const auto& [name, sort] : sorts) {
      SCOPED_TRACE(std::string(name) + " mode " + std::to_string(mode));
      auto grid = MakeGrid(rows, 1, 1);
      grid->SetUseFixed(mode);
      for (int i = 0; i < 12; ++i) grid->SetObject(i % 4, i / 4, &objects[i]);
      sort(*grid);
      const Rows sorted = CellsOf(*grid);
      EXPECT_NE(sorted, rows);
      grid->UndoSort();
      EXPECT_EQ(CellsOf(*grid), rows);
      for (int i = 0; i < 12; ++i) EXPECT_EQ(grid->Object(i % 4, i / 4), &objects[i]);
      grid->UndoSort();
      EXPECT_EQ(CellsOf(*grid), sorted);
    }
  }
}

TEST(TmStrGridTest, LongCyclesAndUndoAfterResize) {
  Rows rows;
  for (int i = 0; i < 300; ++i)
    rows.push_back({std::to_string((i * 7919) % 101), std::to_string(i)});
  auto grid = MakeGrid(rows);
  grid->SetKeyType(soNumeric);
  grid->SortCompleteRows(0);
  for (int r = 1; r < 300; ++r)
    EXPECT_LE(std::stoi(grid->Cell(0, r - 1)), std::stoi(grid->Cell(0, r)));
  // Each row's second cell still names the row it came from.
  for (int r = 0; r < 300; ++r) EXPECT_EQ(grid->Cell(0, r), rows[std::stoi(grid->Cell(1, r))][0]);
  const Rows sorted = CellsOf(*grid);
  grid->SetRowCount(299);
  grid->UndoSort();  // the record no longer fits: nothing moves
  grid->SetRowCount(300);
  EXPECT_EQ(CellsOf(*grid), sorted);
  grid->UndoSort();
  EXPECT_EQ(CellsOf(*grid), rows);
}

TEST(TmStrGridTest, AllRowsSortsEachRowOnItsOwnAndSkipsFixedRowsUnderNot) {
  auto grid = MakeGrid({{"z", "y", "x"}, {"c", "a", "b"}, {"f", "e", "d"}}, 1, 0);
  grid->SortAllRows();
  EXPECT_EQ(Row(*grid, 0), "z|y|x");
  EXPECT_EQ(Row(*grid, 1), "a|b|c");
  EXPECT_EQ(Row(*grid, 2), "d|e|f");
  EXPECT_EQ(SortIndexText(*grid), "2|0|1|2|1|0");  // one block per sorted row
}

TEST(TmStrGridTest, BadDateLeavesGridAndUndoRecordAlone) {
  auto grid = MakeGrid({{"b"}, {"a"}, {"c"}});
  grid->SortCol(0);
  grid->SetCell(0, 0, "1/15/2020");
  grid->SetCell(0, 1, "not a date");
  grid->SetCell(0, 2, "3/1/2019");
  grid->SetKeyType(soDate);
  try {
    grid->SortCol(0);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'not a date' is not a valid date and time");
  }
  EXPECT_EQ(Column(*grid, 0), "1/15/2020|not a date|3/1/2019");
  EXPECT_EQ(SortIndexText(*grid), "1|0|2");  // the earlier sort's record is intact
  grid->SetCell(0, 1, "12/31/2019");
  grid->SortCol(0);
  EXPECT_EQ(Column(*grid, 0), "3/1/2019|12/31/2019|1/15/2020");
}

TEST(TmStrGridTest, SubstringSearchAndContinuation) {
  auto grid = MakeGrid({{"Genesis", "Daniel", "Joshua"}});
  grid->SetSearchSubstring(true);
  int col = 0;
  int row = 0;
  EXPECT_TRUE(grid->FindFirst("an", true, col, row));
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 0);
  EXPECT_TRUE(grid->SearchExists());
  EXPECT_FALSE(grid->FindNext(col, row));
  EXPECT_EQ(col, -1);
  EXPECT_EQ(row, -1);

  grid->SetKeyType(soStringCaseSensitive);
  EXPECT_FALSE(grid->FindFirst("AN", true, col, row));
  grid->SetSearchSubstring(false);
  grid->SetKeyType(soString);
  EXPECT_TRUE(grid->FindFirst("JOSHUA", true, col, row));  // whole key, case ignored
  EXPECT_EQ(col, 2);
}

TEST(TmStrGridTest, SearchAreaAndDirection) {
  // Fixed cells hold matches too; they are found only when UseFixed lets them in.
  auto grid = MakeGrid({{"x", "x", "o"}, {"x", "o", "x"}, {"o", "x", "x"}}, 1, 1);
  int col = 0;
  int row = 0;
  std::vector<std::pair<int, int>> found;
  for (bool ok = grid->FindFirst("x", true, col, row); ok; ok = grid->FindNext(col, row))
    found.emplace_back(col, row);
  EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{2, 1}, {1, 2}, {2, 2}}));

  found.clear();
  grid->SetUseFixed(hfSmart);  // column by column: the fixed rows head each column
  for (bool ok = grid->FindFirst("x", false, col, row); ok; ok = grid->FindNext(col, row))
    found.emplace_back(col, row);
  EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{1, 0}, {1, 2}, {2, 1}, {2, 2}}));

  grid->SetUseFixed(hfNot);
  EXPECT_TRUE(grid->FindFirstInCol("x", 0, col, row));  // a fixed column searched on purpose
  EXPECT_EQ(std::make_pair(col, row), std::make_pair(0, 1));
  EXPECT_FALSE(grid->FindNext(col, row));
  grid->SetKeyType(soNumeric);
  grid->SetCell(2, 2, "2.50");
  EXPECT_TRUE(grid->FindFirst("2.5", true, col, row));
  EXPECT_EQ(std::make_pair(col, row), std::make_pair(2, 2));
}

TEST(TmStrGridTest, ReverseSearch) {
  auto grid = MakeGrid({{"a", "b", "a", "c", "a"}});
  int col = 0;
  int row = 0;
  grid->SetReverseSearch(true);
  EXPECT_TRUE(grid->FindFirstInRow("a", 0, col, row));
  EXPECT_EQ(col, 4);  // starts at the row's last column
  grid->SetReverseSearch(false);

  // Turning round during a search gives the match before the last one found.
  EXPECT_TRUE(grid->FindFirst("a", true, col, row));
  EXPECT_TRUE(grid->FindNext(col, row));
  EXPECT_EQ(col, 2);
  grid->SetReverseSearch(true);
  EXPECT_TRUE(grid->FindNext(col, row));
  EXPECT_EQ(col, 0);
  EXPECT_FALSE(grid->FindNext(col, row));

  // Turning round after the search ended restarts it from the other end.
  grid->SetReverseSearch(false);
  EXPECT_TRUE(grid->FindNext(col, row));
  EXPECT_EQ(col, 0);

  // A forward search that ran off its end, turned round, resumes at the area's last cell.
  auto rows = MakeGrid({{"x", "a"}, {"a", "x"}, {"x", "a"}});
  for (bool ok = rows->FindFirst("a", true, col, row); ok; ok = rows->FindNext(col, row)) {
  }
  rows->SetReverseSearch(true);
  EXPECT_TRUE(rows->FindNext(col, row));
  EXPECT_EQ(std::make_pair(col, row), std::make_pair(1, 2));

  // Without any search, turning round starts nothing.
  auto fresh = MakeGrid({{"a"}});
  fresh->SetReverseSearch(true);
  EXPECT_FALSE(fresh->FindNext(col, row));
}

TEST(TmStrGridTest, ClickFixedSelectsHeaderWithRealFixedCountsVisible) {
  auto grid = MakeGrid({{"#", "Name"}, {"1", "b"}, {"2", "a"}}, 1, 1);
  int selected_col = -1;
  int selected_row = -1;
  int mouse_downs = 0;
  grid->SetOnMouseDown([&](TStringGrid&, TMouseButton, TShiftState, int, int) { ++mouse_downs; });
  grid->SetOnSelectCell([&](TStringGrid& g, int col, int row, bool&) {
    auto& m = static_cast<TmStrGrid&>(g);
    selected_col = col;
    selected_row = row;
    EXPECT_EQ(m.FixedRows(), 0);
    EXPECT_EQ(m.EffectiveFixedRows(), 1);
    if (row < m.EffectiveFixedRows()) m.SortCompleteRows(col);  // sort by the clicked header
  });

  // Off: the press goes to the default handling.
  EXPECT_TRUE(grid->MouseDown(TMouseButton::mbLeft, 0, 0, 0, 1, 0, false));
  EXPECT_EQ(mouse_downs, 1);
  EXPECT_EQ(selected_col, -1);

  grid->SetClickFixed(true);
  EXPECT_FALSE(grid->MouseDown(TMouseButton::mbLeft, 0, 0, 0, 1, 0, false));
  EXPECT_EQ(mouse_downs, 1);
  EXPECT_EQ(std::make_pair(selected_col, selected_row), std::make_pair(1, 0));
  EXPECT_EQ(Column(*grid, 1), "Name|a|b");
  EXPECT_EQ(grid->FixedRows(), 1);
  EXPECT_EQ(grid->FixedCols(), 1);
  grid->MouseUp(TMouseButton::mbLeft, 0, 0, 0);
  EXPECT_EQ(grid->EffectiveFixedRows(), 1);

  // Double clicks, other buttons, sizing edges and normal cells are not taken.
  EXPECT_TRUE(grid->MouseDown(TMouseButton::mbLeft, ssDouble, 0, 0, 1, 0, false));
  EXPECT_TRUE(grid->MouseDown(TMouseButton::mbRight, 0, 0, 0, 1, 0, false));
  EXPECT_TRUE(grid->MouseDown(TMouseButton::mbLeft, 0, 0, 0, 1, 0, true));
  EXPECT_TRUE(grid->MouseDown(TMouseButton::mbLeft, 0, 0, 0, 1, 1, false));
}

TEST(TmStrGridTest, InsertAndDeleteRowsAndColumns) {
  auto grid = MakeGrid({{"0"}, {"1"}, {"2"}, {"3"}, {"4"}});
  TNumberObject tag;
  grid->SetObject(0, 3, &tag);
  grid->InsertRows(2, 3);
  EXPECT_EQ(grid->RowCount(), 8);
  EXPECT_EQ(Column(*grid, 0), "0|1||||2|3|4");
  EXPECT_EQ(grid->Object(0, 6), &tag);
  EXPECT_EQ(grid->Object(0, 3), nullptr);

  grid->DeleteRows(2, 100);  // cut to the rows that exist
  EXPECT_EQ(Column(*grid, 0), "0|1");

  auto wide = MakeGrid({{"a", "b", "c"}, {"d", "e", "f"}}, 1, 1);
  wide->InsertCols(1, 1);
  EXPECT_EQ(Row(*wide, 1), "d||e|f");
  wide->DeleteCols(0, 2);
  EXPECT_EQ(Row(*wide, 1), "e|f");
  wide->DeleteRows(1, 1);  // down to the fixed rows: they drop
  EXPECT_EQ(wide->RowCount(), 1);
  EXPECT_EQ(wide->FixedRows(), 0);
  EXPECT_THROW(wide->InsertRows(5, 1), EListError);
}

TEST(TmStrGridTest, ModifyAndAddRowsAndColumns) {
  auto grid = MakeGrid({{"1", "2", "3", "4"}});
  EXPECT_EQ(grid->ModifyRow(0, "x;;y", ";"), 3);
  EXPECT_EQ(Row(*grid, 0), "x||y|4");  // later cells stay
  EXPECT_EQ(grid->ModifyRow(0, "a;b", ""), 1);
  EXPECT_EQ(grid->Cell(0, 0), "a;b");
  EXPECT_EQ(grid->ModifyRow(0, "p<>q<>r<>s<>t", "<>"), 5);
  EXPECT_EQ(grid->ColCount(), 4);  // not grown; the fifth piece waits beyond
  grid->SetColCount(5);
  EXPECT_EQ(grid->Cell(4, 0), "t");

  grid->AddRow("m,n", ',');
  EXPECT_EQ(grid->RowCount(), 2);
  EXPECT_EQ(Row(*grid, 1), "m|n|||");
  grid->AddCol("u,v", ',');
  EXPECT_EQ(Column(*grid, 5), "u|v");
  EXPECT_EQ(grid->ModifyCol(0, "1\t2", "\t"), 2);
  EXPECT_EQ(Column(*grid, 0), "1|2");
}

TEST(TmStrGridTest, SaveAndLoadFiles) {
  TempDir dir;
  const std::string path = dir.File("grid.txt");
  auto grid = MakeGrid({{"a", "b"}, {"c", ""}});
  grid->SaveToFile(path, "\t");
  EXPECT_EQ(ReadFile(path), "a\tb\r\nc\t\r\n");

  auto loaded = MakeGrid({{"old"}});
  loaded->LoadFromFile(path, "\t");
  EXPECT_EQ(CellsOf(*loaded), CellsOf(*grid));

  // Blank lines, LF-only and CR-only ends load the same grid; code 26 ends the file.
  WriteFile(path, "\r\n\r\na\tb\n\nc\t\r\x1ag\th\r\n");
  loaded = MakeGrid({{"old"}});
  loaded->LoadFromFile(path, "\t");
  EXPECT_EQ(CellsOf(*loaded), CellsOf(*grid));

  // A one-column grid loses its empty rows, and a cell the file does not set is kept.
  auto column = MakeGrid({{"x"}, {""}, {"y"}, {"z"}});
  column->SaveToFile(path, ",");
  column->SetCell(0, 3, "kept");
  column->LoadFromFile(path, ",");
  EXPECT_EQ(Column(*column, 0), "x|y|z");
  column->SetRowCount(4);
  EXPECT_EQ(column->Cell(0, 3), "kept");

  // More fixed rows than lines: the fixed rows drop; an empty file leaves 1 by 1.
  auto fixed = MakeGrid({{"1", "2"}, {"3", "4"}, {"5", "6"}, {"7", "8"}}, 3, 1);
  WriteFile(path, "p;q\r\nr;s\r\n");
  fixed->LoadFromFile(path, ";");
  EXPECT_EQ(fixed->RowCount(), 2);
  EXPECT_EQ(fixed->FixedRows(), 1);
  EXPECT_EQ(CellsOf(*fixed), (Rows{{"p", "q"}, {"r", "s"}}));
  WriteFile(path, "");
  fixed->LoadFromFile(path, ";");
  EXPECT_EQ(fixed->RowCount(), 1);
  EXPECT_EQ(fixed->ColCount(), 1);
  EXPECT_EQ(fixed->FixedRows(), 0);
  EXPECT_EQ(fixed->FixedCols(), 0);

  const std::string missing = dir.File("none.txt");
  try {
    fixed->LoadFromFile(missing, ";");
    FAIL() << "no exception";
  } catch (const MFileError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + missing + " not found");
  }
  // A folder is no file to open; a file whose reads fail gives the read error.
  EXPECT_THROW(fixed->LoadFromFile(dir.File(""), ";"), MFileError);
  EXPECT_THROW(fixed->LoadFromFile("/proc/self/mem", ";"), EInOutError);
  EXPECT_EQ(fixed->RowCount(), 1);
  EXPECT_THROW(grid->SaveToFile(dir.File("no/such/dir.txt"), "\t"), EInOutError);
}

TEST(TmStrGridTest, CopyCutAndPaste) {
  MemoryClipboard clipboard;
  auto grid = MakeGrid({{"a", "b", "x"}, {"c", "d", "y"}, {"e", "f", "z"}});
  grid->SetClipboard(&clipboard);
  grid->SetSelection({0, 0, 1, 1});
  grid->CopyToClipboard();
  EXPECT_EQ(clipboard.Text(), "a\tb\r\nc\td");

  // Pasting at the bottom-right corner grows the grid as the block needs.
  grid->SetSelection({2, 2, 2, 2});
  grid->PasteFromClipboard();
  EXPECT_EQ(grid->ColCount(), 4);
  EXPECT_EQ(grid->RowCount(), 4);
  EXPECT_EQ(Row(*grid, 2), "e|f|a|b");
  EXPECT_EQ(Row(*grid, 3), "||c|d");

  grid->SetSelection({0, 0, 0, 1});
  grid->CutToClipboard();
  EXPECT_EQ(clipboard.Text(), "a\r\nc");
  EXPECT_EQ(Column(*grid, 0), "||e|");

  // PasteToCursor uses the current cell rather than the selection's top-left.
  grid->SetCurrentCell(1, 1);
  grid->SetSelection({1, 0, 1, 1});  // current cell (1, 1), top-left (1, 0)
  grid->SetPasteToCursor(true);
  grid->PasteText("p\r\n");  // a closing line break writes an empty cell below
  EXPECT_EQ(grid->Cell(1, 1), "p");
  EXPECT_EQ(grid->Cell(1, 2), "");
  grid->SetPasteToCursor(false);
  grid->PasteText("q");
  EXPECT_EQ(grid->Cell(1, 0), "q");

  clipboard.Clear();  // no text: nothing happens
  grid->PasteFromClipboard();
  EXPECT_EQ(grid->Cell(1, 0), "q");
}

TEST(TmStrGridTest, ClipboardShortcuts) {
  MemoryClipboard clipboard;
  auto grid = MakeGrid({{"a", "b"}});
  grid->SetClipboard(&clipboard);
  grid->SetSelection({0, 0, 1, 0});
  int keys = 0;
  grid->SetOnKeyPress([&](TStringGrid&, char&) { ++keys; });
  char ctrl_c = 3;
  grid->KeyPress(ctrl_c);
  EXPECT_FALSE(clipboard.Text().has_value());  // off by default
  EXPECT_EQ(keys, 1);

  grid->SetEnableClipboardShortcuts(true);
  grid->SetEditorMode(true);
  char ctrl_x = 24;
  grid->KeyPress(ctrl_x);
  EXPECT_FALSE(clipboard.Text().has_value());  // an open editor keeps the key
  grid->SetEditorMode(false);
  grid->KeyPress(ctrl_x);
  EXPECT_EQ(clipboard.Text(), "a\tb");
  EXPECT_EQ(Row(*grid, 0), "|");
  char ctrl_v = 22;
  grid->KeyPress(ctrl_v);
  EXPECT_EQ(Row(*grid, 0), "a|b");
  EXPECT_EQ(keys, 4);  // every key also goes on to the default handling
}

}  // namespace
}  // namespace tavrin
