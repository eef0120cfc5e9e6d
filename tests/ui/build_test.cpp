// Builds started from the main window, compared with the same builds by tavrin-cli.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "platform/text_locale.h"
#include "ui/log_form.h"
#include "ui/main_form.h"
#include "ui/srich_edit.h"
#include "ui_test_util.h"

namespace tavrin::test {

class BuildTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiSandbox> sandbox_;
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<TMainF> form_;
  TextLocale locale_{"en_US"};

  TMainF& Open() {
    form_ = std::make_unique<TMainF>(
        locale_,
        MainFormSetup{.dialogs = dialogs_.get(), .program_folder = sandbox_->ProgramFolder()});
    return *form_;
  }
  QLineEdit* Edit(const char* name) { return form_->findChild<QLineEdit*>(name); }
  QPushButton* Button(const char* name) { return form_->findChild<QPushButton*>(name); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(sandbox_->Path(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray Read(const QString& name) {
    QFile f(sandbox_->Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void FillDictionaryTab(const QString& source, const QString& output, const QString& name) {
    Edit("FromFile1")->setText(sandbox_->Path(source));
    Edit("ToFile1")->setText(sandbox_->Path(output));
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
    return dialogs_->messages.empty() ? QString() : dialogs_->messages.back().text;
  }

 private slots:
  void init() {
    sandbox_ = std::make_unique<UiSandbox>();
    dialogs_ = std::make_unique<FakeDialogs>();
  }
  void cleanup() {
    form_.reset();
    dialogs_.reset();
    sandbox_.reset();
  }

  void createMakesTheModuleTheCommandLineMakes() {
    if (QString(TAVRIN_CLI_PATH).isEmpty()) QSKIP("tavrin-cli is not built");
    Write("fruits.txt",
          "#  Banana\r\nyellow   and <b>long</b>\r\n\r\n\r\n\r\nsweet\r\n#apple\r\nred\r\n");
    TMainF& f = Open();
    FillDictionaryTab("fruits.txt", "window.k30", "  Fruit    Book ");
    form_->findChild<QCheckBox*>("Option2")->setChecked(true);
    Button("MakeBut")->click();

    QCOMPARE(Edit("ModuleName1")->text(), QString("Fruit Book"));
    QCOMPARE(LastMessage(), "File '" + sandbox_->Path("window.k30") + "' successfuly created.");
    QCOMPARE(dialogs_->messages.back().icon, MessageIcon::kInformation);
    QVERIFY(dialogs_->questions.isEmpty());
    QVERIFY(f.LogForm()->isVisible());  // "Show log when finished" is checked
    QVERIFY(f.LogForm()->Memo1()->toPlainText().contains("Total of: 8 lines, 2 topics"));
    QVERIFY(form_->findChild<QProgressBar*>("Gauge")->isHidden());
    QVERIFY(Button("MakeBut")->isEnabled());
    QVERIFY(!Button("CancelBut")->isEnabled());

    QFile::copy(TAVRIN_CLI_PATH, sandbox_->Path("tavrin-cli"));
    QProcess cli;
    cli.setWorkingDirectory(sandbox_->program.path());
    cli.start(sandbox_->Path("tavrin-cli"), {"build", "dictionary", "fruits.txt", "cli.k30",
                                             "--name", "Fruit Book", "--join-lines"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(!Read("cli.k30").isEmpty());
    QCOMPARE(Read("window.k30"), Read("cli.k30"));
  }

  void overwriteAnsweredNoLeavesTheFile() {
    Write("s.txt", "#A\r\ntext\r\n");
    Write("out.k30", "old bytes");
    Open();
    FillDictionaryTab("s.txt", "out.k30", "N");
    dialogs_->answer_yes = false;
    Button("MakeBut")->click();
    QCOMPARE(dialogs_->questions, QStringList{"File named '" + sandbox_->Path("out.k30") +
                                              "' already exists. Do you wish to overwrite it?"});
    QCOMPARE(Read("out.k30"), QByteArray("old bytes"));
    QVERIFY(dialogs_->messages.empty());
    QVERIFY(!QFile::exists(sandbox_->Path("tavrin.log")));
    QVERIFY(Button("MakeBut")->isEnabled());

    dialogs_->answer_yes = true;
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
      status_at_cancel = form_->findChild<QLabel*>("StatusP")->text();
      Button("CancelBut")->click();
    });
    Button("MakeBut")->click();
    QCOMPARE(status_at_cancel, QString("Reading text from file..."));
    QCOMPARE(LastMessage(), QString("Module creation canceled by user."));
    QCOMPARE(dialogs_->messages.back().icon, MessageIcon::kInformation);
    QCOMPARE(Read("out.k30"), QByteArray("old bytes"));
    QVERIFY(!f.Busy());
    QVERIFY(Button("MakeBut")->isEnabled());
    QCOMPARE(form_->findChild<QLabel*>("StatusP")->text(), QString(kIdleStatus));
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
    QVERIFY(!QFile::exists(sandbox_->Path("new.k30")));
    // The next build starts with Cancel cleared.
    disconnect(&f, &TMainF::StatusChanged, this, nullptr);
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(), "File '" + sandbox_->Path("new.k30") + "' successfuly created.");
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
    form_->findChild<QAction*>("ShowLogM")->setChecked(false);
    FillDictionaryTab("s.txt", "o.k30", "N");
    Edit("ModuleName1")->setText("N");
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(),
             QString("Module creation terminated due to error. See log for details."));
    QCOMPARE(dialogs_->messages.back().icon, MessageIcon::kStop);
    QVERIFY(!form_->LogForm()->isVisible());
    QVERIFY(Button("MakeBut")->isEnabled());
    // A source that cannot be opened: the message, nothing else.
    Edit("FromFile1")->setText(sandbox_->Path("missing.txt"));
    Button("MakeBut")->click();
    QCOMPARE(LastMessage(),
             QString("File opening error. File does not exist or is used by other application."));
    Edit("ModuleName1")->clear();
    QVERIFY(!Button("MakeBut")->isEnabled());
  }
};

}  // namespace tavrin::test

QTEST_MAIN(tavrin::test::BuildTest)
#include "build_test.moc"
