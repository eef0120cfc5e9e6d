#include "ui/grid_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

namespace tavrin {

class GridViewTest : public QObject {
  Q_OBJECT

 private:
  // A shown 4 by 3 view with one fixed row and column, 1252 text.
  std::unique_ptr<GridView> MakeView() {
    auto view = std::make_unique<GridView>(nullptr, 1252);
    view->resize(400, 300);
    TmStrGrid& grid = view->Grid();
    grid.SetColCount(3);
    grid.SetRowCount(4);
    const char* cells[4][3] = {
        {"", "Name", "Age"}, {"1", "b", "20"}, {"2", "a", "10"}, {"3", "c\xE9", "30"}};
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) grid.SetCell(c, r, cells[r][c]);
    view->show();
    view->activateWindow();
    view->setFocus();
    return view;
  }

  QPoint Center(GridView& view, int col, int row) { return view.CellRect(col, row).center(); }

 private slots:
  void GeometryAndPainting() {
    auto view = MakeView();
    view->SetColWidth(1, 100);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 3; ++c) {
        int col = -1;
        int row = -1;
        view->MouseToCell(Center(*view, c, r), col, row);
        QCOMPARE(col, c);
        QCOMPARE(row, r);
      }
    }
    QCOMPARE(view->CellRect(1, 0).width(), 100);
    QCOMPARE(view->CellText(1, 3), QString::fromUtf8("c\xC3\xA9"));  // shown from 1252
    int col = 0;
    int row = 0;
    view->MouseToCell(QPoint(390, 290), col, row);
    QCOMPARE(col, -1);

    // Text, selection and header are really drawn.
    view->Grid().SetSelection({1, 1, 2, 2});
    view->clearFocus();
    const QImage image = view->viewport()->grab().toImage();
    auto count = [&](const QRect& rect, auto test) {
      int n = 0;
      for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) n += test(image.pixelColor(x, y));
      return n;
    };
    const QColor base = view->palette().color(QPalette::Base);
    const QColor highlight = view->palette().color(QPalette::Highlight);
    const QRect unselected = view->CellRect(1, 3);
    QVERIFY(count(unselected, [&](QColor c) { return c != base; }) > 0);  // its text
    const QRect selected = view->CellRect(2, 2);
    QVERIFY(count(selected, [&](QColor c) { return c == highlight; }) > selected.width());
    QVERIFY(count(view->CellRect(1, 0), [&](QColor c) { return c != base; }) > 0);
  }

  void MouseSelectsNormalCellsAndClickFixedReachesHeaders() {
    auto view = MakeView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Center(*view, 2, 2));
    QCOMPARE(view->Grid().Col(), 2);
    QCOMPARE(view->Grid().Row(), 2);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Center(*view, 1, 0));
    QCOMPARE(view->Grid().Row(), 2);  // a header is no cell to select by default

    int selected_row = -1;
    view->Grid().SetOnSelectCell([&](TStringGrid& g, int col, int row, bool&) {
      selected_row = row;
      auto& grid = static_cast<TmStrGrid&>(g);
      if (row < grid.EffectiveFixedRows()) grid.SortCompleteRows(col);
    });
    view->Grid().SetClickFixed(true);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Center(*view, 1, 0));
    QCOMPARE(selected_row, 0);
    QCOMPARE(view->Grid().Cell(1, 1), std::string("a"));
    QCOMPARE(view->Grid().FixedRows(), 1);

    // Range selection by Shift+click.
    view->Grid().SetOnSelectCell(nullptr);
    view->SetRangeSelect(true);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Center(*view, 1, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, Center(*view, 2, 3));
    QCOMPARE(view->Grid().Selection(), (TGridRect{1, 1, 2, 3}));
  }

  void InPlaceEditing() {
    auto view = MakeView();
    view->SetEditing(true);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, Center(*view, 1, 2));
    QVERIFY(view->Editor() && view->Editor()->isVisible());
    QVERIFY(view->Grid().EditorMode());
    QTest::keyClicks(view->Editor(), "Joel");
    QTest::keyClick(view->Editor(), Qt::Key_Return);
    QVERIFY(!view->Editor()->isVisible());
    QVERIFY(!view->Grid().EditorMode());
    QCOMPARE(view->Grid().Cell(1, 2), std::string("Joel"));

    // Typing starts the editor with the key; Escape drops the edit and stays in the view.
    QTest::keyClick(view.get(), Qt::Key_X);
    QVERIFY(view->Editor()->isVisible());
    QCOMPARE(view->Editor()->text(), QString("x"));
    QTest::keyClick(view->Editor(), Qt::Key_Escape);
    QVERIFY(!view->Editor()->isVisible());
    QCOMPARE(view->Grid().Cell(1, 2), std::string("Joel"));

    // Down from the editor keeps the text and moves on.
    QTest::keyClick(view.get(), Qt::Key_F2);
    view->Editor()->setText(QString::fromUtf8("\xC3\xA9"));
    QTest::keyClick(view->Editor(), Qt::Key_Down);
    QCOMPARE(view->Grid().Cell(1, 2), std::string("\xE9"));
    QCOMPARE(view->Grid().Row(), 3);

    // Fixed cells never get an editor.
    view->Grid().SetCurrentCell(0, 0);
    view->ShowEditor();
    QVERIFY(!view->Editor()->isVisible());
  }

  void KeyboardMovesAndScrolls() {
    auto view = MakeView();
    view->resize(300, 120);
    view->Grid().SetRowCount(100);
    view->SetRangeSelect(true);
    QTest::keyClick(view.get(), Qt::Key_Up);  // stays out of the fixed row
    QCOMPARE(view->Grid().Row(), 1);
    QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view->Grid().Selection(), (TGridRect{1, 1, 2, 2}));
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view->Grid().Row(), 99);
    QVERIFY(view->TopRow() > 1);
    QVERIFY(!view->CellRect(2, 99).isEmpty());
    QVERIFY(view->CellRect(2, 99).bottom() < view->viewport()->height());
    QTest::keyClick(view.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view->Grid().Row(), 1);
    QCOMPARE(view->TopRow(), 1);

    view->Grid().SetColCount(20);
    QTest::keyClick(view.get(), Qt::Key_End);
    QCOMPARE(view->Grid().Col(), 19);
    QVERIFY(view->LeftCol() > 1);
    QVERIFY(!view->CellRect(19, 1).isEmpty());
    QVERIFY(view->CellRect(19, 1).right() < view->viewport()->width());
    QVERIFY(view->CellRect(view->LeftCol() - 1, 1).isEmpty());
    QTest::keyClick(view.get(), Qt::Key_Home);
    QCOMPARE(view->LeftCol(), 1);
  }

  void ClipboardShortcuts() {
    auto view = MakeView();
    view->SetRangeSelect(true);
    view->Grid().SetSelection({1, 1, 2, 2});
    QGuiApplication::clipboard()->setText("untouched");
    QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));  // off by default

    view->Grid().SetEnableClipboardShortcuts(true);
    QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("b\t20\r\na\t10"));

    // Text from other programs ends its lines in LF alone.
    QGuiApplication::clipboard()->setText(QString::fromUtf8("p\tq\n\xC3\xA9\tr"));
    view->Grid().SetSelection({1, 3, 1, 3});
    QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(view->Grid().Cell(1, 3), std::string("p"));
    QCOMPARE(view->Grid().Cell(2, 3), std::string("q"));
    QCOMPARE(view->Grid().RowCount(), 5);
    QCOMPARE(view->Grid().Cell(1, 4), std::string("\xE9"));
    QCOMPARE(view->Grid().Cell(2, 4), std::string("r"));
  }
};

}  // namespace tavrin

QTEST_MAIN(tavrin::GridViewTest)
#include "grid_view_test.moc"
