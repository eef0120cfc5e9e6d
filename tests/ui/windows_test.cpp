// The small windows: log, splash, about, the link label, the help window.
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "platform/exceptions.h"
#include "platform/text_locale.h"
#include "ui/about_form.h"
#include "ui/as_link.h"
#include "ui/help_viewer.h"
#include "ui/log_form.h"
#include "ui/main_form.h"
#include "ui/splash_form.h"
#include "ui/srich_edit.h"
#include "ui_test_util.h"

namespace tavrin::test {
namespace {

// Counts the times a window is raised.
struct RaiseCounter : QObject {
  explicit RaiseCounter(QWidget* window) { window->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::ZOrderChange;
    return false;
  }
  int count = 0;
};

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT

  TextLocale locale_{"en_US"};

 private slots:
  void logWindowLayoutAndScrollEvents() {
    TLogF log(locale_, "/nonexistent/tavrin.log");
    QCOMPARE(log.windowTitle(), QString("Module creation log"));
    QCOMPARE(log.size(), QSize(500, 250));
    auto* button = log.findChild<QPushButton*>("Button1");
    auto* panel = log.findChild<QWidget*>("Panel1");
    QCOMPARE(button->text(), QString("Close"));
    QVERIFY(button->isDefault());
    log.show();
    for (int width : {500, 731, 320}) {
      log.resize(width, 250);
      QApplication::processEvents();
      QCOMPARE(button->x(), panel->width() / 2 - button->width() / 2);
    }
    QVERIFY_THROWS_EXCEPTION(EFOpenError, log.LoadLog());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    TSRichEdit* memo = log.Memo1();
    QString text;
    for (int i = 0; i < 200; ++i) text += QString(300, 'x') + "\n";
    memo->setPlainText(text);
    QApplication::processEvents();
    QSignalSpy vertical(memo, &TSRichEdit::OnVScroll);
    QSignalSpy horizontal(memo, &TSRichEdit::OnHScroll);
    memo->verticalScrollBar()->setValue(50);
    QCOMPARE(vertical.count(), 1);
    QCOMPARE(horizontal.count(), 0);
    QCOMPARE(vertical.at(0).at(0).value<TSRichEdit*>(), memo);
    memo->horizontalScrollBar()->setValue(40);
    QCOMPARE(horizontal.count(), 1);
    QCOMPARE(vertical.count(), 1);
    button->click();
    QVERIFY(!log.isVisible());
  }

  void linkAddressesAndClicks() {
    TASLink link;
    QCOMPARE(link.URLType(), TURLType::utMailto);
    QVERIFY(link.URLEnabled() && link.URLTypeAdd());
    QCOMPARE(link.ShadowSize(), 1);
    QCOMPARE(link.ShadowPos(), TShadowPosition::spLeftTop);
    QVERIFY(!link.ShowFocus());
    QCOMPARE(link.LinkColor(), QColor(Qt::blue));
    QCOMPARE(link.size(), QSize(65, 17));
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);

    const QStringList prefixes = {"file://", "ftp://", "gopher://", "http://", "https://",
                                  "mailto:", "news:",  "telnet:",   "wais:"};
    for (int i = 0; i < prefixes.size(); ++i)
      QCOMPARE(URLTypePrefix(static_cast<TURLType>(i)), prefixes[i]);

    QList<QUrl> opened;
    link.SetOpener([&](const QUrl& url) {
      opened << url;
      return true;
    });
    QSignalSpy clicked(&link, &TASLink::Clicked);
    link.Click();  // empty caption: the notification only
    QCOMPARE(clicked.count(), 1);
    QVERIFY(opened.isEmpty());
    link.setText("someone@example.org");
    link.Click();
    QCOMPARE(opened, QList<QUrl>{QUrl("mailto:someone@example.org")});
    link.SetURLType(TURLType::utHttps);
    link.SetURLTypeAdd(false);
    link.setText("https://example.org/a");
    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(opened.back(), QUrl("https://example.org/a"));
    link.SetURLEnabled(false);
    link.Click();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(clicked.count(), 4);
  }

  void linkHoverAndShadow() {
    TASLink link;
    link.setText("x");
    QPalette p = link.palette();
    p.setColor(QPalette::WindowText, Qt::darkGreen);
    link.setPalette(p);
    link.SetLinkColor(Qt::red);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&link, &enter);
    QCOMPARE(link.FontColor(), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    QCOMPARE(link.FontColor(), QColor(Qt::darkGreen));

    link.SetShadowSize(3);
    struct Case {
      TShadowPosition pos;
      QPoint text, shadow;
    };
    for (const Case& c : {Case{TShadowPosition::spLeftTop, {3, 3}, {0, 0}},
                          Case{TShadowPosition::spRightBottom, {0, 0}, {3, 3}},
                          Case{TShadowPosition::spLeftBottom, {3, 0}, {0, 3}},
                          Case{TShadowPosition::spRightTop, {0, 3}, {3, 0}}}) {
      link.SetShadowPos(c.pos);
      QCOMPARE(link.TextOffset(), c.text);
      QCOMPARE(link.ShadowOffset(), c.shadow);
    }
    QImage painted = link.grab().toImage();  // paints without failing
    QVERIFY(!painted.isNull());
  }

  void aboutWindowIsFreshEachTime() {
    TextLocale locale("en_US");
    UiSandbox sandbox;
    FakeDialogs dialogs;
    TMainF main_form(locale, {.dialogs = &dialogs, .program_folder = sandbox.ProgramFolder()});
    QPointer<TAboutF> first, second;
    dialogs.on_exec = [&](QDialog& d) {
      (first.isNull() ? first : second) = qobject_cast<TAboutF*>(&d);
    };
    main_form.About1Click();
    main_form.About1Click();
    QVERIFY(first && second && first != second);
    QCOMPARE(first->windowTitle(), QString("About Tavrin for Corvalinth"));
    QCOMPARE(first->size(), QSize(300, 349));
    QCOMPARE(first->WebLink()->URLType(), TURLType::utHttp);
    QCOMPARE(first->MailLink()->URLType(), TURLType::utMailto);
    QCOMPARE(first->WebLink()->ShadowSize(), 0);
    QVERIFY(first->MailLink()->ShowFocus());
    QCOMPARE(first->WebLink()->LinkColor(), QColor(Qt::red));
    QVERIFY(first->WebLink()->font().underline());
    QCOMPARE(first->WebLink()->Address(), QString("http://") + TAboutF::kWebAddress);
    QStringList lines;
    for (QLabel* label : first->findChildren<QLabel*>()) lines << label->text();
    QVERIFY(lines.contains("version 2.0.2"));
    QVERIFY(lines.contains("Our award winning Corvalinth Bible Software is FREE!"));
    first->show();
    first->findChild<QPushButton*>("Button1")->click();
    QTRY_VERIFY(first.isNull());  // freed when closed
  }

  void aboutOpensWithTheFocusOnClose() {
    QPointer<TAboutF> about = new TAboutF;
    int opened = 0;
    for (TASLink* link : {about->WebLink(), about->MailLink()})
      link->SetOpener([&](const QUrl&) { return ++opened; });
    about->show();
    about->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(about));
    QCOMPARE(QApplication::focusWidget(), about->findChild<QPushButton*>("Button1"));
    about->WebLink()->setFocus();
    QTest::keyClick(about->WebLink(), Qt::Key_Space);
    QCOMPARE(opened, 1);
    about->findChild<QPushButton*>("Button1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(about.isNull());
    QCOMPARE(opened, 1);
  }

  void aboutLinesAreTheListOnOneLineEach() {
    // At the usual desktop fonts too: the window has a fixed size.
    const UsualFontSizes fonts;
    for (int points : UsualFontSizes::kPoints) {
      fonts.Set(points);
      TAboutF window;
      window.show();
      QCoreApplication::processEvents();
      QStringList lines;
      QLayout* list = window.findChild<QFrame*>("Panel1")->layout();
      for (int i = 0; i < list->count(); ++i) {
        auto* label = qobject_cast<QLabel*>(list->itemAt(i)->widget());
        if (label == nullptr) continue;  // the stretch above and below
        lines << label->text();
        QVERIFY(!label->wordWrap());
        QVERIFY2(
            label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
            qPrintable(QString("%1 pt: %2").arg(points).arg(label->text())));
      }
      QCOMPARE(lines,
               QStringList({"Tavrin for Corvalinth", "Authoring Tool for Corvalinth Bible Software",
                            "version 2.0.2", "", "See us on Internet at:", TAboutF::kWebAddress,
                            "or send e-mail to:", TAboutF::kMailAddress,
                            "Our award winning Corvalinth Bible Software is FREE!",
                            "Get the latest version from our site now!"}));
      QCOMPARE(window.size(), QSize(300, 349));
    }
  }

  void splashClosesOnAKeyAndOnItsTimer() {
    QPointer<TSplashF> splash = new TSplashF;
    QCOMPARE(splash->size(), QSize(304, 164));
    QCOMPARE(splash->Timer1()->interval(), 5000);
    QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    splash->show();
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_A);  // a key anywhere in the program
    QTRY_VERIFY(splash.isNull());

    splash = new TSplashF;
    splash->show();
    QTRY_VERIFY(splash->Timer1()->isActive());  // counts from the running loop
    splash->Timer1Timer();
    QTRY_VERIFY(splash.isNull());

    splash = new TSplashF;
    splash->show();
    QTest::mouseClick(splash->findChild<QLabel*>("Image1"), Qt::LeftButton);
    QTRY_VERIFY(splash.isNull());
  }

  void splashComesBackOverTheMainWindow() {
    // A display without a window manager stacks a window shown later over the splash.
    QPointer<TSplashF> splash = new TSplashF;
    splash->show();
    RaiseCounter raised(splash);
    QWidget main_window;
    main_window.show();
    QTRY_COMPARE(raised.count, 1);
    splash->close();
  }

  void logStaysOverTheHelpWindow() {
    UiSandbox sandbox;
    FakeDialogs dialogs;
    for (const char* name : {"tavrin.log", "tavrin-help.html"}) {
      QFile file(sandbox.Path(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("<p id=\"contents\">x</p>\r\n");
    }
    TMainF main_form(locale_, {.dialogs = &dialogs, .program_folder = sandbox.ProgramFolder()});
    main_form.show();
    TLogF* log = main_form.LogForm();
    QVERIFY(log->windowFlags() & Qt::WindowStaysOnTopHint);
    main_form.Showlognow1Click();
    QVERIFY(log->isVisible());
    RaiseCounter raised(log);
    main_form.Helpindex1Click();
    QVERIFY(main_form.HelpForm()->isVisible());
    QTRY_COMPARE(raised.count, 1);
    // A message comes over the log, not under it.
    main_form.ShowMessage("x", MessageIcon::kInformation);
    QCOMPARE(dialogs.messages.back().parent, log);
  }

  void splashClosesBeforeAShortCutRuns() {
    UiSandbox sandbox;
    FakeDialogs dialogs;
    TMainF main_form(locale_, {.dialogs = &dialogs, .program_folder = sandbox.ProgramFolder()});
    main_form.show();
    QPointer<TSplashF> splash;
    QStringList seen;  // what each command found when it ran
    dialogs.on_message = [&] { seen << (splash && splash->isVisible() ? "splash" : "clear"); };
    // With no log and no help document beside the program, each command shows a message.
    for (const char* key : {"F1", "Ctrl+L", "Ctrl+B", "A"}) {
      splash = new TSplashF;
      splash->show();
      main_form.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&main_form));
      QTest::keySequence(&main_form, QKeySequence(key));
      QVERIFY2(!splash->isVisible(), key);
    }
    QCOMPARE(seen, QStringList({"clear", "clear", "clear"}));
  }

  void helpOpensAtContentsAndTopics() {
    UiSandbox sandbox;
    THelpF missing(sandbox.Path("tavrin-help.html"));
    QVERIFY_THROWS_EXCEPTION(EFOpenError, missing.ShowContents());
    QVERIFY(!missing.isVisible());

    QFile file(sandbox.Path("tavrin-help.html"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "<html><body><h1 id=\"contents\">Contents</h1><p>x</p>"
        "<h2 id=\"create\">Creating</h2></body></html>");
    file.close();
    THelpF help(sandbox.Path("tavrin-help.html"));
    help.ShowTopic("create");
    QVERIFY(help.isVisible());
    QCOMPARE(help.Browser()->source().fragment(), QString("create"));
    QVERIFY(help.Browser()->toPlainText().contains("Creating"));
    help.ShowContents();
    QCOMPARE(help.Browser()->source().fragment(), QString("contents"));
  }

  void mainWindowHelpMenu() {
    UiSandbox sandbox;
    FakeDialogs dialogs;
    TextLocale locale("en_US");
    TMainF main_form(locale, {.dialogs = &dialogs, .program_folder = sandbox.ProgramFolder()});
    main_form.Helpindex1Click();
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QCOMPARE(dialogs.messages[0].text, "Cannot open file " + sandbox.Path("tavrin-help.html"));
    QCOMPARE(main_form.HelpForm()->HelpFile(), sandbox.Path("tavrin-help.html"));
  }

  void shippedHelpDocumentHasItsTopics() {
    QFile file(TAVRIN_HELP_PATH);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();
    for (const char* anchor : {"id=\"contents\"", "id=\"create\""})
      QVERIFY2(html.contains(anchor), anchor);
  }
};

}  // namespace tavrin::test

QTEST_MAIN(tavrin::test::WindowsTest)
#include "windows_test.moc"
