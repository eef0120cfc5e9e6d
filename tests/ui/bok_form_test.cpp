#include "ui/bok_form.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "builders/start_build.h"
#include "platform/exceptions.h"
#include "source/session.h"
#include "support/recording_host.h"
#include "ui/grid_view.h"
#include "ui/main_form.h"
#include "ui_test_util.h"

namespace tavrin {

namespace {

std::string ReadFile(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const QString& path, const std::string& data) {
  std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc) << data;
}

// "Book1" .. "Book<count>", CR LF after each.
std::string Names(int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) out += "Book" + std::to_string(i) + "\r\n";
  return out;
}

}  // namespace

class BokFormTest : public QObject {
  Q_OBJECT

 private slots:
  void LoadsOneNumberedRowPerLine() {
    test::UiSandbox sandbox;
    TBokF form(sandbox.ProgramFolder());
    const TmStrGrid& grid = form.Grid()->Grid();
    WriteFile(sandbox.Path("tavrin.bok"), Names(65) + " Rev \r\n");
    form.LoadBookNames();
    QCOMPARE(grid.RowCount(), 67);
    QCOMPARE(grid.FixedRows(), 1);
    QCOMPARE(grid.FixedCols(), 1);
    QCOMPARE(grid.Cell(1, 0), std::string("Book name"));
    QCOMPARE(grid.Cell(0, 1), std::string("1"));
    QCOMPARE(grid.Cell(1, 1), std::string("Book1"));
    QCOMPARE(grid.Cell(0, 66), std::string("66"));
    QCOMPARE(grid.Cell(1, 66), std::string(" Rev "));  // as the file has it

    WriteFile(sandbox.Path("tavrin.bok"), Names(70));
    form.LoadBookNames();
    QCOMPARE(grid.RowCount(), 71);
    QCOMPARE(grid.Cell(0, 70), std::string("70"));
    QCOMPARE(grid.Cell(1, 70), std::string("Book70"));

    // An empty file leaves the header alone; the next file gets its fixed row back.
    WriteFile(sandbox.Path("tavrin.bok"), "");
    form.LoadBookNames();
    QCOMPARE(grid.RowCount(), 1);
    WriteFile(sandbox.Path("tavrin.bok"), Names(3));
    form.LoadBookNames();
    QCOMPARE(grid.RowCount(), 4);
    QCOMPARE(grid.FixedRows(), 1);

    QFile::remove(sandbox.Path("tavrin.bok"));
    try {
      form.LoadBookNames();
      QFAIL("no exception");
    } catch (const EFOpenError& e) {
      QCOMPARE(QString(e.what()), "Cannot open file " + sandbox.Path("tavrin.bok"));
    }
    QCOMPARE(grid.RowCount(), 4);
  }

  void SaveWritesTrimmedNamesAndCloses() {
    test::UiSandbox sandbox;
    test::FakeDialogs dialogs;
    TBokF form(sandbox.ProgramFolder());
    form.SetDialogs(&dialogs);
    WriteFile(sandbox.Path("tavrin.bok"), Names(66));
    form.LoadBookNames();
    form.show();
    TmStrGrid& grid = form.Grid()->Grid();
    grid.SetCell(1, 1, "  Genesis\t");
    grid.SetCell(1, 2, "");
    // The last name through the cell editor, still open when Save is pressed.
    grid.SetCurrentCell(1, 66);
    form.Grid()->ShowEditor();
    form.Grid()->Editor()->setText(" Apocalypse ");
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(!form.isVisible());
    std::string expected = Names(66);
    expected.replace(0, std::string("Book1\r\nBook2").size(), "Genesis\r\n");
    expected.replace(expected.rfind("Book66"), 6, "Apocalypse");
    QCOMPARE(ReadFile(sandbox.Path("tavrin.bok")), expected);
    QVERIFY(dialogs.messages.empty());
  }

  // Letters the book names' code page (1252 here) lacks are refused with a message, never saved
  // as '?': typed into the editor or as the key that opens it.
  void LettersBeyondTheCodePageAreRefused() {
    test::UiSandbox sandbox;
    test::FakeDialogs dialogs;
    TBokF form(sandbox.ProgramFolder());
    form.SetDialogs(&dialogs);
    WriteFile(sandbox.Path("tavrin.bok"), Names(66));
    form.LoadBookNames();
    form.show();
    form.Grid()->Grid().SetCurrentCell(1, 3);
    form.Grid()->ShowEditor();
    form.Grid()->Editor()->setText(QString::fromUtf8("\xC3\x89x\xD0\x96\xD0\x96"));  // ÉxЖЖ
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QVERIFY(dialogs.messages[0].text.contains(QString::fromUtf8("\"\xD0\x96\"")));
    QVERIFY(dialogs.messages[0].text.contains("code page 1252"));
    QVERIFY(form.Grid()->Editor()->isVisible());
    QCOMPARE(ReadFile(sandbox.Path("tavrin.bok")), Names(66));

    form.Grid()->CancelEditor();
    QTest::keyClick(form.Grid(), 'x');
    form.Grid()->CancelEditor();
    QKeyEvent cyrillic(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\xD0\x96"));
    QApplication::sendEvent(form.Grid(), &cyrillic);
    QCOMPARE(dialogs.messages.size(), std::size_t{2});
    QVERIFY(!form.Grid()->Editor()->isVisible());
    QCOMPARE(form.Grid()->Grid().Cell(1, 3), std::string("Book3"));
  }

  void CancelAndEscapeDiscardEdits() {
    test::UiSandbox sandbox;
    TBokF form(sandbox.ProgramFolder());
    WriteFile(sandbox.Path("tavrin.bok"), Names(66));
    form.LoadBookNames();
    form.show();
    form.Grid()->Grid().SetCell(1, 5, "Changed");
    QTest::mouseClick(form.Button2(), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(ReadFile(sandbox.Path("tavrin.bok")), Names(66));
    form.LoadBookNames();
    QCOMPARE(form.Grid()->Grid().Cell(1, 5), std::string("Book5"));

    form.show();
    form.Grid()->setFocus();
    form.Grid()->Grid().SetCell(1, 5, "Changed");
    QTest::keyClick(form.Grid(), Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QCOMPARE(ReadFile(sandbox.Path("tavrin.bok")), Names(66));
  }

  void SaveFailureKeepsTheWindowOpen() {
    test::UiSandbox sandbox;
    test::FakeDialogs dialogs;
    TBokF form(sandbox.ProgramFolder());
    form.SetDialogs(&dialogs);
    WriteFile(sandbox.Path("tavrin.bok"), Names(66));
    form.LoadBookNames();
    form.show();
    form.Grid()->Grid().SetCell(1, 1, "Edited");
    // A folder where the file was cannot be replaced by a file.
    QFile::remove(sandbox.Path("tavrin.bok"));
    QDir().mkdir(sandbox.Path("tavrin.bok"));
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QCOMPARE(dialogs.messages[0].text, "Cannot create file " + sandbox.Path("tavrin.bok"));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::kStop);
    QVERIFY(form.isVisible());
    QCOMPARE(form.Grid()->Grid().Cell(1, 1), std::string("Edited"));
  }

  void WindowLayout() {
    test::UiSandbox sandbox;
    TBokF form(sandbox.ProgramFolder());
    QCOMPARE(form.windowTitle(), QString("Verse reference book names"));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(form.Grid()->Grid().RowCount(), 67);  // the design's rows before any file
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    QCOMPARE(form.Grid()->DefaultRowHeight(), static_cast<int>(std::lround(20 * dpi / 96.0)));
    QCOMPARE(form.Grid()->DefaultColWidth(), 30);
    form.show();
    form.resize(300, 400);
    QCoreApplication::processEvents();
    QCOMPARE(form.Panel1()->height(), 44);
    const int half = form.Panel1()->width() / 2;
    QCOMPARE(form.Button1()->geometry(), QRect(half - 79, 10, 75, 25));
    QCOMPARE(form.Button2()->geometry(), QRect(half + 4, 10, 75, 25));
    const int scroll_bar =
        form.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, form.Grid());
    QCOMPARE(form.Grid()->ColWidth(1), form.Grid()->width() - 30 - scroll_bar - 7);
  }

  void CommentaryUsesTheSavedName() {
    const QString cli = TAVRIN_CLI_PATH;
    if (cli.isEmpty()) QSKIP("the verse map comes with the command-line program's folder");
    test::UiSandbox sandbox;
    const QString map = QFileInfo(cli).absolutePath() + "/master.map";
    QVERIFY(QFile::copy(map, sandbox.Path("master.map")));
    WriteFile(sandbox.Path("tavrin.bok"), "Gen\r\n" + Names(65).substr(7));
    WriteFile(sandbox.Path("notes.txt"),
              "#Genesis 1:1\r\nIn the beginning\r\n#Book2 1:1\r\nOut\r\n");

    auto build = [&] {
      Session session;
      session.SetProgramFolder(sandbox.ProgramFolder());
      RecordingHost host;
      BuildRequest request;
      request.tab = BuildTab::kCommentary;
      request.module_name = "Notes";
      request.source_path = sandbox.Path("notes.txt").toStdString();
      request.output_path = sandbox.Path("notes.k30").toStdString();
      StartBuild(request, host, session);
      return host.messages.empty() ? std::string() : host.messages.back().text;
    };
    QVERIFY(build().find("created with warnings") != std::string::npos);

    TBokF form(sandbox.ProgramFolder());
    form.LoadBookNames();
    form.show();
    form.Grid()->Grid().SetCell(1, 1, " Genesis ");
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(build().find("successfuly created") != std::string::npos);
  }

  void DrawsTheCurrentCellAndTheWholeSelection() {
    test::UiSandbox sandbox;
    WriteFile(sandbox.Path("tavrin.bok"), Names(66));
    TBokF form(sandbox.ProgramFolder());
    GridView* view = form.Grid();
    TmStrGrid& grid = view->Grid();
    auto open = [&] {
      form.LoadBookNames();
      form.show();
      form.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&form));
    };
    // Rows of column 1 drawn highlighted, and whether the current cell has its frame.
    auto drawn = [&] {
      const QImage image = view->viewport()->grab().toImage();
      const QColor highlight = view->palette().color(QPalette::Highlight);
      QList<int> rows;
      for (int r = 1; r < 12; ++r)
        if (image.pixelColor(view->CellRect(1, r).center() + QPoint(30, 0)) == highlight) rows << r;
      const QRect current = view->CellRect(grid.Col(), grid.Row());
      int frame = 0;
      for (int x = current.left(); x <= current.right(); ++x)
        frame += image.pixelColor(x, current.top()) !=
                 image.pixelColor(current.center().x() + 30, current.center().y());
      return std::make_pair(rows, frame > 0);
    };
    open();
    QCOMPARE(grid.Row(), 1);  // first opening
    QCOMPARE(drawn(), std::make_pair(QList<int>{1}, true));

    const auto at = [&](int row) { return view->CellRect(1, row).center(); };
    const std::vector<std::function<void()>> ways = {
        [&] {
          QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(2));
          QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(5));
        },
        [&] {
          QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(2));
          QMouseEvent move(QEvent::MouseMove, at(5), view->viewport()->mapToGlobal(at(5)),
                           Qt::NoButton, Qt::LeftButton, {});
          QCoreApplication::sendEvent(view->viewport(), &move);
          QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(5));
        },
        [&] {
          QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(2));
          for (int i = 0; i < 3; ++i) QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
        }};
    for (const auto& select : ways) {
      select();
      QCOMPARE(grid.Selection(), (TGridRect{1, 2, 1, 5}));
      QCOMPARE(drawn(), std::make_pair(QList<int>{2, 3, 4, 5}, true));
    }

    form.hide();
    open();  // reopening: the cell left last
    QCOMPARE(grid.Row(), 5);
    QCOMPARE(form.focusWidget(), view);
    QVERIFY(drawn().first.contains(5));
  }

  void OpenedFromTheMainWindow() {
    test::UiSandbox sandbox;
    test::FakeDialogs dialogs;
    TMainF main(TextLocale::User(), {&dialogs, sandbox.ProgramFolder()});
    auto* item = main.findChild<QAction*>("EditverserefM");
    QVERIFY(item);
    QCOMPARE(item->shortcut(), QKeySequence("Ctrl+B"));

    item->trigger();  // no tavrin.bok: the open error, and the window stays shut
    QVERIFY(dialogs.executed.isEmpty());
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QVERIFY(dialogs.messages[0].text.startsWith("Cannot open file "));

    WriteFile(sandbox.Path("tavrin.bok"), Names(66));
    item->trigger();
    QCOMPARE(dialogs.executed, QStringList{"BokF"});
    QCOMPARE(main.BokForm()->Grid()->Grid().RowCount(), 67);
  }
};

}  // namespace tavrin

QTEST_MAIN(tavrin::BokFormTest)
#include "bok_form_test.moc"
