// Builds started from the main window, compared with the same builds by tavrin-cli.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "platform/text_locale.h"
#include "ui/log_form.h"
#include "ui/main_form.h"
#include "ui/radio_group.h"
#include "ui/srich_edit.h"
#include "ui_test_util.h"

namespace tavrin::test {

class BuildTest : public QObject {
  Q_OBJECT

 private:
  MainFormHarness h_;

  TMainF& Open() { return h_.Open(); }
  QLineEdit* Edit(const char* name) { return h_.form->findChild<QLineEdit*>(name); }
  QPushButton* Button(const char* name) { return h_.form->findChild<QPushButton*>(name); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(h_.sandbox->Path(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray Read(const QString& name) {
    QFile f(h_.sandbox->Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void FillDictionaryTab(const QString& source, const QString& output, const QString& name) {
    Edit("FromFile1")->setText(h_.sandbox->Path(source));
    Edit("ToFile1")->setText(h_.sandbox->Path(output));
    Edit("ModuleName1")->setText(name);
  }
  // A source large enough that a build polls many times.
  QByteArray LargeSource() {
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
      text += "#Topic " + QByteArray::number(i) + "\r\nline one of the text\r\nline two\r\n";
    return text;
  }
  QString LastMessage() const {
    return h_.dialogs->messages.empty() ? QString() : h_.dialogs->messages.back().text;
  }

 private slots:
  void init() { h_.Start(); }
  void cleanup() { h_.Stop(); }

  void createMakesTheModuleTheCommandLineMakes() {
    if (QString(TAVRIN_CLI_PATH).isEmpty()) QSKIP("tavrin-cli is not built");
    Write("fruits.txt",
          "#  Banana\r\nyellow   and <b>long</b>\r\n\r\n\r\n\r\nsweet\r\n#apple\r\nred\r\n");
    TMainF& f = Open();
    FillDictionaryTab("fruits.txt", "window.k30", "  Fruit    Book ");
    h_.form->findChild<QCheckBox*>("Option2")->setChecked(true);
    Button("MakeBut")->click();

    QCOMPARE(Edit("ModuleName1")->text(), QString("Fruit Book"));
    QCOMPARE(LastMessage(), "File '" + h_.sandbox->Path("window.k30") + "' successfuly created.");
    QCOMPARE(h_.dialogs->messages.back().icon, MessageIcon::kInformation);
    QVERIFY(h_.dialogs->questions.isEmpty());
    QVERIFY(f.LogForm()->isVisible());  // "Show log when finished" is checked
    QVERIFY(f.LogForm()->Memo1()->toPlainText().contains("Total of: 8 lines, 2 topics"));
    QVERIFY(h_.form->findChild<QProgressBar*>("Gauge")->isHidden());
    QVERIFY(Button("MakeBut")->isEnabled());
    QVERIFY(!Button("CancelBut")->isEnabled());

    const QString cli_name = QFileInfo(TAVRIN_CLI_PATH).fileName();  // tavrin-cli.exe on Windows
    QFile::copy(TAVRIN_CLI_PATH, h_.sandbox->Path(cli_name));
    QProcess cli;
    cli.setWorkingDirectory(h_.sandbox->program.path());
    cli.start(h_.sandbox->Path(cli_name), {"build", "dictionary", "fruits.txt", "cli.k30", "--name",
                                           "Fruit Book", "--join-lines"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(!Read("cli.k30").isEmpty());
    QCOMPARE(Read("window.k30"), Read("cli.k30"));
  }

  // The examples of the command line's demonstration, built through the window, against the
  // modules the Linux command line made of them (the test's fixture): on Windows this holds the
  // window there to the Linux bytes. Sources are named from their folder, as a header file's
  // includes are.
  void windowBuildsTheLinuxModules_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<int>("reference_type");
    const QStringList none;
    QTest::newRow("dictionary") << 0 << "fruits.txt"
                                << "fruits.k30"
                                << "Fruits of the Bible" << none << 0;
    QTest::newRow("2.6 dictionary") << 0 << "fruits.txt"
                                    << "fruits.dat"
                                    << "Fruits of the Bible" << QStringList{"CompCB1"} << 0;
    QTest::newRow("topic book") << 0 << "topics.txt"
                                << "topics.tpb"
                                << "" << QStringList{"DOption1"} << 0;
    QTest::newRow("writing") << 2 << "writing.txt"
                             << "writing.k30"
                             << "A Small Writing" << QStringList{"Option2"} << 0;
    QTest::newRow("header file") << 0 << "psalms.hdr"
                                 << "psalms.k30"
                                 << "" << none << 0;
    QTest::newRow("commentary") << 1 << "commentary.txt"
                                << "commentary.k30"
                                << "A Short Commentary" << none << 0;
    QTest::newRow("note set") << 1 << "commentary.txt"
                              << "commentary.nts"
                              << "" << QStringList{"COption1"} << 0;
    QTest::newRow("2.6 commentary") << 1 << "commentary-inline.txt"
                                    << "psalms-notes.dat"
                                    << "Psalm Notes" << QStringList{"CompCB2"} << 1;
    QTest::newRow("jumplist") << 3 << "crossrefs.txt"
                              << "crossrefs.jpl"
                              << "" << none << 0;
  }
  void windowBuildsTheLinuxModules() {
    const QString linux_modules = qEnvironmentVariable("TAVRIN_LINUX_MODULES");
    if (linux_modules.isEmpty()) QSKIP("no modules of the Linux command line to compare with");
    QFETCH(int, tab);
    QFETCH(QString, source);
    QFETCH(QString, module);
    QFETCH(QString, name);
    QFETCH(QStringList, ticked);
    QFETCH(int, reference_type);
    for (const char* data : {"tavrin.bok", "master.map"})
      QVERIFY(QFile::copy(QDir(TAVRIN_BIN_DIR).filePath(data), h_.sandbox->Path(data)));
    const QString folder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(TAVRIN_EXAMPLES_DIR));
    Open();
    h_.form->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(tab);
    for (const QString& box : ticked) h_.form->findChild<QCheckBox*>(box)->setChecked(true);
    h_.form->findChild<TRadioGroup*>("MarkTypeRG")->SetItemIndex(reference_type);
    const QString n = QString::number(tab + 1);
    Edit(qPrintable("FromFile" + n))->setText(QDir(TAVRIN_EXAMPLES_DIR).filePath(source));
    Edit(qPrintable("ToFile" + n))->setText(h_.sandbox->Path(module));
    if (!name.isEmpty()) Edit(qPrintable("ModuleName" + n))->setText(name);
    Button("MakeBut")->click();
    QDir::setCurrent(folder);

    // Created, with or without warnings (some examples show them on purpose).
    QVERIFY2(LastMessage().startsWith("File '" + h_.sandbox->Path(module) + "' "),
             qPrintable(LastMessage()));
    QFile expected(QDir(linux_modules).filePath(module));
    QVERIFY2(expected.open(QIODevice::ReadOnly), qPrintable(expected.fileName()));
    QVERIFY(Read(module) == expected.readAll());
  }

  // Names with letters of no single code page, typed into the file boxes.
  void sourceAndOutputNamedInAnyLetters() {
    const QString source = QString::fromUtf8("Ésaïe Псалми.txt");
    const QString output = QString::fromUtf8("Книга Ésaïe.k30");
    Write(source, "#Topic\r\ntext\r\n");
    Open();
    FillDictionaryTab(source, output, "Name");
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(), "File '" + h_.sandbox->Path(output) + "' successfuly created.");
    QVERIFY(!Read(output).isEmpty());
  }

  void checkSourceShowsTheFindingsAndWritesNothing() {
    const QString source = QString::fromUtf8(
        "\xC3\x89sa\xC3\xAF"
        "e.txt");  // a path, not text
    Write(source, "#A\r\n<colr>x\r\n");
    TMainF& f = Open();
    FillDictionaryTab(source, "", "Name");
    h_.form->findChild<QAction*>("CheckSource")->trigger();
    QVERIFY(f.LogForm()->isVisible());
    QVERIFY2(f.LogForm()->Memo1()->toPlainText().endsWith(
                 source + ":2:1: warning: unknown tag <colr> is shown as text [unknown-tag]"),
             qPrintable(f.LogForm()->Memo1()->toPlainText()));
    QVERIFY(h_.dialogs->messages.empty());
    QVERIFY(!QFile::exists(h_.sandbox->Path("tavrin.log")));

    // A source the build cannot use: the cause is listed, with no box and no "clean".
    Write(source, "");
    h_.form->findChild<QAction*>("CheckSource")->trigger();
    QVERIFY2(f.LogForm()->Memo1()->toPlainText().endsWith("error: no topics marked [build]"),
             qPrintable(f.LogForm()->Memo1()->toPlainText()));
    FillDictionaryTab("gone.txt", "", "Name");
    h_.form->findChild<QAction*>("CheckSource")->trigger();
    QVERIFY2(f.LogForm()->Memo1()->toPlainText().startsWith("error: File opening error."),
             qPrintable(f.LogForm()->Memo1()->toPlainText()));
    QVERIFY(h_.dialogs->messages.empty());
  }

  void importSourceWritesMarkedTextAndMakesItTheSourceOfItsTab() {
    for (const char* data : {"tavrin.bok", "master.map"})
      QVERIFY(QFile::copy(QString(TAVRIN_DATA_BIN_DIR) + "/" + data, h_.sandbox->Path(data)));
    Write("mhc.imp", "$$$Genesis 1:1\n<hi type=\"bold\">In</hi> the beginning\n$$$Tobit 1:1\nx\n");
    TMainF& f = Open();
    h_.dialogs->open_file = h_.sandbox->Path("mhc.imp");
    h_.form->findChild<QAction*>("ImportSource")->trigger();
    QCOMPARE(QString(Read("mhc.txt")).section("\r\n", 3),
             QString("#Gen 1:1\r\n<b>In</b> the beginning\r\n"));
    QCOMPARE(Edit("FromFile2")->text(), QDir::toNativeSeparators(h_.sandbox->Path("mhc.txt")));
    QCOMPARE(Edit("ModuleName2")->text(), QString("mhc"));
    QVERIFY(f.LogForm()->isVisible());
    QCOMPARE(f.LogForm()->Memo1()->toPlainText().split('\n').first(),
             h_.sandbox->Path("mhc.imp") +
                 ":3:1: warning: 'Tobit' is a book outside the 66 of the book names; entry left "
                 "out [import]");
    Button("MakeBut")->click();
    QVERIFY(!Read("mhc.k30").isEmpty());
  }

  void overwriteAnsweredNoLeavesTheFile() {
    Write("s.txt", "#A\r\ntext\r\n");
    Write("out.k30", "old bytes");
    Open();
    FillDictionaryTab("s.txt", "out.k30", "N");
    h_.dialogs->answer_yes = false;
    Button("MakeBut")->click();
    QCOMPARE(h_.dialogs->questions, QStringList{"File named '" + h_.sandbox->Path("out.k30") +
                                                "' already exists. Do you wish to overwrite it?"});
    QCOMPARE(Read("out.k30"), QByteArray("old bytes"));
    QVERIFY(h_.dialogs->messages.empty());
    QVERIFY(!QFile::exists(h_.sandbox->Path("tavrin.log")));
    QVERIFY(Button("MakeBut")->isEnabled());

    h_.dialogs->answer_yes = true;
    Button("MakeBut")->click();
    QVERIFY(Read("out.k30") != QByteArray("old bytes"));
  }

  void cancelWhileReadingWritesNothing() {
    Write("big.txt", LargeSource());
    Write("out.k30", "old bytes");
    TMainF& f = Open();
    FillDictionaryTab("big.txt", "out.k30", "Big");
    QString status_at_cancel;
    // Runs at the build's first handling of pending input, like a click on Cancel.
    QTimer::singleShot(0, this, [&] {
      QVERIFY(f.Busy());
      status_at_cancel = h_.form->findChild<QLabel*>("StatusP")->text();
      Button("CancelBut")->click();
    });
    Button("MakeBut")->click();
    QCOMPARE(status_at_cancel, QString("Reading text from file..."));
    QCOMPARE(LastMessage(), QString("Module creation canceled by user."));
    QCOMPARE(h_.dialogs->messages.back().icon, MessageIcon::kInformation);
    QCOMPARE(Read("out.k30"), QByteArray("old bytes"));
    QVERIFY(!f.Busy());
    QVERIFY(Button("MakeBut")->isEnabled());
    QCOMPARE(h_.form->findChild<QLabel*>("StatusP")->text(), QString(kIdleStatus));
  }

  void cancelWhileWritingWritesNothing() {
    Write("big.txt", LargeSource());
    TMainF& f = Open();
    FillDictionaryTab("big.txt", "new.k30", "Big");
    bool cancelled_in_writing = false;
    connect(&f, &TMainF::StatusChanged, this, [&](const QString& status) {
      if (status == "Creating module...") {
        Button("CancelBut")->click();
        cancelled_in_writing = true;
      }
    });
    Button("MakeBut")->click();
    QVERIFY(cancelled_in_writing);
    QCOMPARE(LastMessage(), QString("Module creation canceled by user."));
    QVERIFY(!QFile::exists(h_.sandbox->Path("new.k30")));
    // The next build starts with Cancel cleared.
    disconnect(&f, &TMainF::StatusChanged, this, nullptr);
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(), "File '" + h_.sandbox->Path("new.k30") + "' successfuly created.");
  }

  void closingDuringABuildCancelsItFirst() {
    Write("big.txt", LargeSource());
    TMainF& f = Open();
    f.show();
    FillDictionaryTab("big.txt", "new.k30", "Big");
    QTimer::singleShot(0, this, [&] {
      f.close();
      QVERIFY(f.isVisible());  // still there while the build unwinds
    });
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(), QString("Module creation canceled by user."));
    QVERIFY(!f.isVisible());
  }

  void createFollowsTheFieldsAfterABuild() {
    Write("s.txt", "no control lines\r\n");
    Open();
    h_.form->findChild<QAction*>("ShowLogM")->setChecked(false);
    FillDictionaryTab("s.txt", "o.k30", "N");
    Edit("ModuleName1")->setText("N");
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(),
             QString("Module creation terminated due to error. See log for details."));
    QCOMPARE(h_.dialogs->messages.back().icon, MessageIcon::kStop);
    QVERIFY(!h_.form->LogForm()->isVisible());
    QVERIFY(Button("MakeBut")->isEnabled());
    // A source that cannot be opened: the message, with the path and the system's reason as its
    // details; the log says the same, so the previous build's does not stand.
    Edit("FromFile1")->setText(h_.sandbox->Path("missing.txt"));
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(),
             QString("File opening error. File does not exist or is used by other application."));
    QVERIFY2(h_.dialogs->messages.back().detail.startsWith(h_.sandbox->Path("missing.txt") + ": "),
             qPrintable(h_.dialogs->messages.back().detail));
    QVERIFY(Read("tavrin.log").startsWith("Error: File opening error."));
    Edit("ModuleName1")->clear();
    QVERIFY(!Button("MakeBut")->isEnabled());
  }
};

}  // namespace tavrin::test

QTEST_MAIN(tavrin::test::BuildTest)
#include "build_test.moc"
