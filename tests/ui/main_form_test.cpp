#include "ui/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "builders/window_rules.h"
#include "platform/text_locale.h"
#include "ui/log_form.h"
#include "ui/radio_group.h"
#include "ui/srich_edit.h"
#include "ui_test_util.h"

namespace tavrin::test {

class MainFormTest : public QObject {
  Q_OBJECT

 private:
  MainFormHarness h_;

  TMainF& Open() { return h_.Open(); }
  template <typename T>
  T* Find(const char* name) {
    T* child = h_.form->findChild<T*>(name);
    if (child == nullptr) qFatal("no control %s", name);
    return child;
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QCheckBox* Check(const char* name) { return Find<QCheckBox>(name); }
  bool MakeEnabled() { return Find<QPushButton>("MakeBut")->isEnabled(); }
  void SetTab(int index) { Find<QTabWidget>("PageControl1")->setCurrentIndex(index); }

 private slots:
  void init() { h_.Start(); }
  void cleanup() { h_.Stop(); }

  void firstStartDefaultsAndTheSavedSettings() {
    TMainF& f = Open();
    QCOMPARE(f.windowTitle(), QString("Tavrin for Corvalinth 2.0"));
    QCOMPARE(Find<QTabWidget>("PageControl1")->currentIndex(), 0);
    QVERIFY(Find<QAction>("ShowLogM")->isChecked());
    QCOMPARE(Edit("LineMark")->text(), QString("#"));
    QCOMPARE(Find<TRadioGroup>("MarkTypeRG")->ItemIndex(), 0);
    QVERIFY(!Find<TRadioGroup>("MarkTypeRG")->isEnabled());
    QVERIFY(!Check("Option2")->isChecked());
    for (const char* name : {"Option3", "Option4", "Option5", "Option6"})
      QVERIFY2(Check(name)->isChecked(), name);
    QVERIFY(Check("Option6")->isEnabled());
    QVERIFY(!MakeEnabled());
    QVERIFY(!Find<QPushButton>("CancelBut")->isEnabled());
    QVERIFY(Find<QProgressBar>("Gauge")->isHidden());
    QCOMPARE(Find<TRadioGroup>("CharRG1")->ItemIndex(), 0);
    QVERIFY(f.NewFormat());
    QVERIFY(!h_.sandbox->AnyStored());  // nothing is written before the end

    Check("Option2")->setChecked(true);
    Edit("LineMark")->setText("##");
    h_.form.reset();
    std::unique_ptr<QSettings> stored = h_.sandbox->Stored();
    QSettings& ini = *stored;
    QCOMPARE(ini.childGroups(), QStringList{"Settings"});
    ini.beginGroup("Settings");
    QCOMPARE(ini.value("Show log").toString(), QString("1"));
    QCOMPARE(ini.value("Mark").toString(), QString("##"));
    QCOMPARE(ini.value("Reference type").toString(), QString("0"));
    QCOMPARE(ini.value("Join lines").toString(), QString("1"));
    QCOMPARE(ini.value("Preserve empty").toString(), QString("1"));
    QCOMPARE(ini.value("Remove lines").toString(), QString("1"));
    QCOMPARE(ini.value("Remove spaces").toString(), QString("1"));
    QCOMPARE(ini.value("Trim spaces").toString(), QString("1"));
    QCOMPARE(ini.value("ApPath").toString(),
             QString::fromStdString(h_.sandbox->ProgramFolder()).toLower());
  }

  void storedSettingsAreReadWithTheirDefaults() {
    {
      std::unique_ptr<QSettings> stored = h_.sandbox->Stored();
      QSettings& ini = *stored;
      ini.beginGroup("Settings");
      ini.setValue("Preserve empty", "0");
      ini.setValue("Show log", "no");  // not a number: default
      ini.setValue("Reference type", "1");
      ini.setValue("Join lines", "7");  // any number but 0 is true
      ini.setValue("Trim spaces", "0");
      ini.setValue("Mark", "@@");
    }
    Open();
    QVERIFY(!Check("Option3")->isChecked());
    QVERIFY(!Check("Option6")->isEnabled());
    QVERIFY(Check("Option6")->isChecked());
    QVERIFY(Find<QAction>("ShowLogM")->isChecked());
    QCOMPARE(Find<TRadioGroup>("MarkTypeRG")->ItemIndex(), 1);
    QVERIFY(Check("Option2")->isChecked());
    QVERIFY(!Check("Option5")->isChecked());
    QCOMPARE(Edit("LineMark")->text(), QString("@@"));
    Check("Option3")->setChecked(true);
    QVERIFY(Check("Option6")->isEnabled());
  }

  void createFollowsTheFieldsOfTheActiveTab() {
    Open();
    Edit("FromFile1")->setText("book.hdr");
    QVERIFY(MakeEnabled());  // a header file supplies the rest
    Edit("FromFile1")->setText("book.HDR");
    QVERIFY(!MakeEnabled());
    Edit("ToFile1")->setText("out.k30");
    QVERIFY(!MakeEnabled());
    Edit("ModuleName1")->setText("   ");
    QVERIFY(!MakeEnabled());
    Edit("ModuleName1")->setText(" Name ");
    QVERIFY(MakeEnabled());
    Edit("LineMark")->clear();
    QVERIFY(!MakeEnabled());  // no line could open an entry
    Edit("LineMark")->setText("#");
    QVERIFY(MakeEnabled());
    Edit("ModuleName1")->clear();
    Check("DOption1")->setChecked(true);
    QVERIFY(MakeEnabled());
    QVERIFY(!Edit("ModuleName1")->isEnabled());
    QVERIFY(!Check("CompCB1")->isEnabled());
    QVERIFY(!Find<TRadioGroup>("CharRG1")->isEnabled());
    QVERIFY(Check("DOption1")->isEnabled());

    // Another tab decides for itself; coming back recomputes.
    SetTab(1);
    QVERIFY(!MakeEnabled());
    Edit("FromFile2")->setText("notes.txt");
    Edit("ToFile2")->setText("notes.k30");
    QVERIFY(!MakeEnabled());
    Check("COption1")->setChecked(true);
    QVERIFY(MakeEnabled());
    QCOMPARE(Edit("ToFile2")->text(), QString("notes.nts"));
    SetTab(3);
    Edit("FromFile4")->setText("x.hdr");
    QVERIFY(!MakeEnabled());  // no header rule on the Jumplist tab
    Edit("ToFile4")->setText(" j.jpl ");
    QVERIFY(MakeEnabled());
    SetTab(0);
    QVERIFY(MakeEnabled());
  }

  void formatBoxesKeepTheOutputExtensionInStep() {
    TMainF& f = Open();
    SetTab(2);
    Edit("ToFile3")->setText("w.k30");
    Check("CompCB3")->setChecked(true);
    QCOMPARE(Edit("ToFile3")->text(), QString("w.dat"));
    QVERIFY(!Find<TRadioGroup>("CharRG3")->isEnabled());
    QVERIFY(!f.NewFormat());
    Check("CompCB3")->setChecked(false);
    QCOMPARE(Edit("ToFile3")->text(), QString("w.k30"));
    QVERIFY(Find<TRadioGroup>("CharRG3")->isEnabled());
    QVERIFY(f.NewFormat());
    Edit("ToFile3")->setText("my.dat.k30");
    Check("CompCB3")->setChecked(true);
    QCOMPARE(Edit("ToFile3")->text(), QString("my.dat.dat"));

    SetTab(0);
    QVERIFY(f.NewFormat());
    Edit("ToFile1")->setText("d.k30");
    Check("DOption1")->setChecked(true);
    QCOMPARE(Edit("ToFile1")->text(), QString("d.tpb"));
    QVERIFY(!f.NewFormat());
    Check("DOption1")->setChecked(false);
    QCOMPARE(Edit("ToFile1")->text(), QString("d.k30"));
    QVERIFY(Find<TRadioGroup>("CharRG1")->isEnabled());
    // An empty output stays empty.
    Edit("ToFile1")->clear();
    Check("CompCB1")->setChecked(true);
    QCOMPARE(Edit("ToFile1")->text(), QString());
    Check("DOption1")->setChecked(true);
    Check("DOption1")->setChecked(false);
    QVERIFY(!Find<TRadioGroup>("CharRG1")->isEnabled());  // compatible: no character set
    SetTab(3);
    QVERIFY(!f.NewFormat());
  }

  void markTypeOnlyOnTheVerseTabs() {
    Open();
    auto* rg = Find<TRadioGroup>("MarkTypeRG");
    SetTab(3);
    QVERIFY(rg->isEnabled());
    SetTab(2);
    QVERIFY(!rg->isEnabled());
    SetTab(1);
    QVERIFY(rg->isEnabled());
    SetTab(0);
    QVERIFY(!rg->isEnabled());
  }

  void browseProposesABareOutputName() {
    Open();
    const QString here = QDir::currentPath();
    QTemporaryDir src;
    const QString chosen = src.path() + "/my.notes.txt";
    SetTab(1);
    h_.dialogs->open_file = chosen;
    Find<QPushButton>("BrowseB2")->click();
    QCOMPARE(Edit("FromFile2")->text(), QDir::toNativeSeparators(chosen));
    QCOMPARE(Edit("ToFile2")->text(), QString("my.notes.k30"));
    QCOMPARE(QDir::currentPath(), QDir(src.path()).canonicalPath().isEmpty()
                                      ? src.path()
                                      : QDir(src.path()).canonicalPath());
    QCOMPARE(h_.dialogs->open_titles.back(), QString("Open file"));
    QCOMPARE(h_.dialogs->open_filters.back(),
             QString("Source files [*.txt; *.nts; *.ntm; *.hdr] (*.txt *.nts *.ntm *.hdr)"));

    // Cancelled: nothing changes.
    h_.dialogs->open_file.clear();
    Find<QPushButton>("BrowseB2")->click();
    QCOMPARE(Edit("ToFile2")->text(), QString("my.notes.k30"));

    Check("COption1")->setChecked(true);
    h_.dialogs->open_file = src.path() + "/b.txt";
    Find<QPushButton>("BrowseB2")->click();
    QCOMPARE(Edit("ToFile2")->text(), QString("b.nts"));
    SetTab(3);
    h_.dialogs->open_file = src.path() + "/refs";
    Find<QPushButton>("BrowseB4")->click();
    QCOMPARE(Edit("ToFile4")->text(), QString("refs.jpl"));
    QCOMPARE(h_.dialogs->open_filters.back(), QString("Source files [*.txt] (*.txt)"));
    QDir::setCurrent(here);
  }

  void openDialogShowsEachPatternOnce() {
    for (BuildTab tab : {BuildTab::kDictionary, BuildTab::kCommentary, BuildTab::kJumplist}) {
      const QString given = QString::fromLatin1(SourceFilter(tab));
      const QString filter = ToolkitFilter(given);
      std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(nullptr, "Open file", filter, "txt");
      auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      QVERIFY(types);
      QCOMPARE(types->itemText(0), given.left(given.indexOf('|')));
      QCOMPARE(dialog->nameFilters(), QStringList{filter});  // the patterns still apply
    }
  }

  void tabCaptionsFitAtTheUsualFonts() {
    const UsualFontSizes fonts;
    for (int points : UsualFontSizes::kPoints) {
      fonts.Set(points);
      Open().show();
      QCoreApplication::processEvents();
      auto* pages = Find<QTabWidget>("PageControl1");
      QTabBar* bar = pages->tabBar();
      for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        const QString where = QString("%1 pt: %2").arg(points).arg(bar->tabText(i));
        QVERIFY2(bar->rect().contains(tab), qPrintable(where));
        QVERIFY2(pages->rect().contains(QRect(bar->mapTo(pages, tab.topLeft()), tab.size())),
                 qPrintable(where));
      }
    }
  }

  void busyStateAndBack() {
    TMainF& f = Open();
    Edit("FromFile1")->setText("a.txt");
    Edit("ToFile1")->setText("a.k30");
    Edit("ModuleName1")->setText("A");
    QVERIFY(MakeEnabled());
    f.DisableControls();
    QVERIFY(!MakeEnabled());
    QVERIFY(Find<QPushButton>("CancelBut")->isEnabled());
    QVERIFY(!Find<QTabWidget>("PageControl1")->isEnabled());
    QVERIFY(!Find<QGroupBox>("GroupBox1")->isEnabled());
    for (const char* name : {"EditverserefM", "Showlognow1", "Exit1"})
      QVERIFY2(!Find<QAction>(name)->isEnabled(), name);
    QVERIFY(Find<QAction>("ShowLogM")->isEnabled());
    QVERIFY(Find<QAction>("About1")->isEnabled());
    // Fields that change meanwhile (a header file's title) do not enable Create.
    Edit("ModuleName1")->setText("B");
    QVERIFY(!MakeEnabled());
    Edit("ModuleName1")->clear();
    f.EnableControls();
    QVERIFY(!MakeEnabled());  // follows the fields, not the state before
    QVERIFY(!Find<QPushButton>("CancelBut")->isEnabled());
    QVERIFY(Find<QAction>("Exit1")->isEnabled());
    Edit("ModuleName1")->setText("C");
    QVERIFY(MakeEnabled());
  }

  void logWindowOnDemand() {
    TMainF& f = Open();
    const QString log = QString::fromStdString(f.LogForm()->LogPath());
    QCOMPARE(log, h_.sandbox->Path("tavrin.log"));
    Find<QAction>("Showlognow1")->trigger();
    QCOMPARE(h_.dialogs->messages.size(), std::size_t{1});
    QCOMPARE(h_.dialogs->messages[0].text, "Cannot open file " + log);
    QCOMPARE(h_.dialogs->messages[0].icon, MessageIcon::kStop);
    QVERIFY(!f.LogForm()->isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("first\r\nline \xE9\r\n");
    file.close();
    Find<QAction>("Showlognow1")->trigger();
    QVERIFY(f.LogForm()->isVisible());
    QCOMPARE(f.LogForm()->Memo1()->toPlainText(), QString("first\nline \u00e9\n"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("second\r\n");
    file.close();
    Find<QAction>("Showlognow1")->trigger();
    QCOMPARE(f.LogForm()->Memo1()->toPlainText(), QString("second\n"));
    QCOMPARE(f.findChildren<TLogF*>().size(), 1);
    QVERIFY(f.LogForm()->Memo1()->isReadOnly());
  }

  void bookNamesNeedTheirFile() {
    Open();
    Find<QAction>("EditverserefM")->trigger();
    QCOMPARE(h_.dialogs->messages.size(), std::size_t{1});
    QCOMPARE(h_.dialogs->messages[0].text, "Cannot open file " + h_.sandbox->Path("tavrin.bok"));
    QVERIFY(h_.dialogs->executed.isEmpty());
    QFile bok(h_.sandbox->Path("tavrin.bok"));
    QVERIFY(bok.open(QIODevice::WriteOnly));
    bok.write("Gen\r\nExo\r\n");
    bok.close();
    Find<QAction>("EditverserefM")->trigger();
    QCOMPARE(h_.dialogs->executed, QStringList{"BokF"});
  }

  void menusAndShortcuts() {
    TMainF& f = Open();
    QCOMPARE(Find<QAction>("EditverserefM")->shortcut(), QKeySequence("Ctrl+B"));
    QCOMPARE(Find<QAction>("Showlognow1")->shortcut(), QKeySequence("Ctrl+L"));
    QCOMPARE(Find<QAction>("Exit1")->shortcut(), QKeySequence("Alt+F4"));
    QCOMPARE(Find<QAction>("Helpindex1")->shortcut(), QKeySequence("F1"));
    QVERIFY(Find<QAction>("ShowLogM")->isCheckable());
    Find<QAction>("ShowLogM")->trigger();
    QVERIFY(!Find<QAction>("ShowLogM")->isChecked());
    // Fixed size: no room to grow or shrink.
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QCOMPARE(f.ScaleToScreen(96) >= 96, true);
  }
};

}  // namespace tavrin::test

QTEST_MAIN(tavrin::test::MainFormTest)
#include "main_form_test.moc"
