#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "builders/build_log.h"
#include "builders/lint.h"
#include "builders/start_build.h"
#include "builders/window_rules.h"
#include "messages/messages.h"
#include "module/character_set.h"
#include "module/module_kind.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "platform/text_locale.h"
#include "source/text_util.h"
#include "ui/about_form.h"
#include "ui/bok_form.h"
#include "ui/help_viewer.h"
#include "ui/log_form.h"
#include "ui/radio_group.h"
#include "ui/settings_store.h"
#include "ui/ui_text.h"
#include "ui/user_dialogs.h"

namespace tavrin {
namespace {

// Pending input is handled at most this often during a build: often enough for Cancel and the
// menus, seldom enough that a million-line source is not slowed by it.
constexpr qint64 kEventIntervalMs = 20;

QStringList CharsetCaptions() {
  QStringList captions;
  for (const CharacterSet& set : kCharacterSets)
    captions << QString::fromLatin1(set.name.data(), static_cast<qsizetype>(set.name.size()));
  return captions;
}

QLineEdit* Edit(const QString& name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

QCheckBox* CheckBox(const QString& name, const QString& caption, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

}  // namespace

TMainF::TMainF(const TextLocale& locale, const MainFormSetup& setup, QWidget* parent)
    : QMainWindow(parent), locale_(locale), session_(locale), dialogs_(setup.dialogs) {
  setObjectName("MainF");
  setWindowTitle(kMainCaption);
  if (dialogs_ == nullptr) {
    own_dialogs_ = std::make_unique<QtUserDialogs>();
    dialogs_ = own_dialogs_.get();
  }

  // FormCreate: the screen's scale, the program folder and its help document, the settings.
  // The tag table and the link lists come with the session.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    scale_ = screen->logicalDotsPerInch() / 96.0;
  if (!setup.program_folder.empty()) session_.SetProgramFolder(setup.program_folder);

  CreateControls();
  CreateMenus();
  LoadSettings();
  PageControl1Change();
  RestoreStatus();

  // A fixed-size window in the middle of the screen.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  adjustSize();
  setFixedSize(size());
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  log_form_ = new TLogF(locale_, LogFilePath(ProgramFolder()), this);
  bok_form_ = new TBokF(ProgramFolder(), this);
  help_form_ = new THelpF(PathFromCore(ProgramFolder() + "tavrin-help.html"), this);
}

TMainF::~TMainF() {
  // FormDestroy.
  SaveSettings();
}

int TMainF::ScaleToScreen(int n) const { return static_cast<int>(std::lround(n * scale_)); }

QWidget* TMainF::CreateTab(int index, const QString& from_caption, const QString& name_caption,
                           const QString& editable_caption) {
  const QString n = QString::number(index);
  Tab& tab = tabs_[index - 1];
  auto* sheet = new QWidget;
  sheet->setObjectName("TabSheet" + n);
  tab.sheet = sheet;
  auto* layout = new QVBoxLayout(sheet);

  layout->addWidget(new QLabel(from_caption, sheet));
  auto* from_row = new QHBoxLayout;
  tab.from_file = Edit("FromFile" + n, sheet);
  tab.browse = new QPushButton("Browse", sheet);
  tab.browse->setObjectName("BrowseB" + n);
  from_row->addWidget(tab.from_file, 1);
  from_row->addWidget(tab.browse);
  layout->addLayout(from_row);

  layout->addWidget(new QLabel("Output data file name:", sheet));
  tab.to_file = Edit("ToFile" + n, sheet);
  layout->addWidget(tab.to_file);

  if (!name_caption.isEmpty()) {
    layout->addWidget(new QLabel(name_caption, sheet));
    tab.module_name = Edit("ModuleName" + n, sheet);
    layout->addWidget(tab.module_name);
    if (!editable_caption.isEmpty()) {
      tab.editable = CheckBox(index == 1 ? "DOption1" : "COption1", editable_caption, sheet);
      layout->addWidget(tab.editable);
    }
    tab.comp_cb = CheckBox("CompCB" + n, "Corvalinth 2.6 compatible", sheet);
    layout->addWidget(tab.comp_cb);
    tab.char_rg = new TRadioGroup("Default character set", CharsetCaptions(), sheet);
    tab.char_rg->setObjectName("CharRG" + n);
    tab.char_rg->SetItemIndex(0);
    layout->addWidget(tab.char_rg);
  }
  layout->addStretch();
  return sheet;
}

void TMainF::CreateControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);

  page_control1_ = new QTabWidget(central);
  page_control1_->setObjectName("PageControl1");
  const auto caption = [](ModuleKind kind) {
    return QString::fromUtf8(KindInfo(kind).editable_caption);
  };
  page_control1_->addTab(CreateTab(1, "File to create dictionary from:", "Dictionary name:",
                                   caption(ModuleKind::kTopics)),
                         "Dictionary/Topics");
  page_control1_->addTab(CreateTab(2, "File to create commentary from:", "Commentary name:",
                                   caption(ModuleKind::kNotes)),
                         "Commentary/Notes");
  page_control1_->addTab(CreateTab(3, "File to create writing from:", "Writing name:", ""),
                         "Writing");
  page_control1_->addTab(CreateTab(4, "File to create jumplist from:", "", ""), "Jumplist");
  page_control1_->setCurrentIndex(0);
  // All four tabs in sight: the window has a fixed size.
  page_control1_->tabBar()->setUsesScrollButtons(false);

  group_box1_ = new QGroupBox("Options", central);
  group_box1_->setObjectName("GroupBox1");
  auto* options = new QVBoxLayout(group_box1_);
  auto* mark_row = new QHBoxLayout;
  mark_row->addWidget(new QLabel("Control line mark:", group_box1_));
  line_mark_ = Edit("LineMark", group_box1_);
  line_mark_->setText("#");
  line_mark_->setMaximumWidth(ScaleToScreen(60));
  mark_row->addWidget(line_mark_);
  mark_row->addStretch();
  options->addLayout(mark_row);
  option2_ = CheckBox("Option2", "Join lines into paragraphs", group_box1_);
  option3_ = CheckBox("Option3", "Preserve empty lines", group_box1_);
  option6_ = CheckBox("Option6", "Remove extra empty lines", group_box1_);
  option4_ = CheckBox("Option4", "Remove extra spaces in text", group_box1_);
  option5_ = CheckBox("Option5", "Trim leading spaces and tabs", group_box1_);
  option3_->setChecked(true);
  option6_->setChecked(true);
  option4_->setChecked(true);
  option5_->setChecked(true);
  for (QCheckBox* box : {option2_, option3_, option6_, option4_, option5_}) options->addWidget(box);
  // The dependent box sits under the one it depends on.
  option6_->setContentsMargins(ScaleToScreen(16), 0, 0, 0);
  mark_type_rg_ = new TRadioGroup("Verse reference mark type",
                                  {"#Gen 1:1 (line will be deleted)", "Gen 1:1 (part of the text)"},
                                  group_box1_);
  mark_type_rg_->setObjectName("MarkTypeRG");
  mark_type_rg_->SetItemIndex(0);
  mark_type_rg_->setEnabled(false);
  options->addWidget(mark_type_rg_);
  options->addStretch();

  make_but_ = new QPushButton("Create", central);
  make_but_->setObjectName("MakeBut");
  make_but_->setEnabled(false);
  make_but_->setDefault(true);
  cancel_but_ = new QPushButton("Cancel", central);
  cancel_but_->setObjectName("CancelBut");
  cancel_but_->setEnabled(false);
  gauge_ = new QProgressBar(central);
  gauge_->setObjectName("Gauge");
  gauge_->setVisible(false);
  // The window keeps its size whether the bar shows or not.
  QSizePolicy gauge_policy = gauge_->sizePolicy();
  gauge_policy.setRetainSizeWhenHidden(true);
  gauge_->setSizePolicy(gauge_policy);
  status_p_ = new QLabel(central);
  status_p_->setObjectName("StatusP");
  status_p_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  status_p_->setMinimumHeight(ScaleToScreen(20));

  auto* top = new QHBoxLayout;
  top->addWidget(page_control1_, 3);
  top->addWidget(group_box1_, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(make_but_);
  buttons->addWidget(cancel_but_);
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->addWidget(gauge_);
  layout->addWidget(status_p_);
  // Wide enough for the four captions whole at the desktop's font, which may be larger than
  // the design's.
  page_control1_->setMinimumWidth(
      std::max(ScaleToScreen(380), page_control1_->tabBar()->sizeHint().width()));

  // Every change of a tab's edits recomputes Create.
  const std::array<void (TMainF::*)(), 4> change = {
      &TMainF::ModuleName1Change, &TMainF::ModuleName2Change, &TMainF::ModuleName3Change,
      &TMainF::ToFile4Change};
  const std::array<void (TMainF::*)(), 4> browse = {&TMainF::BrowseB1Click, &TMainF::BrowseB2Click,
                                                    &TMainF::BrowseB3Click, &TMainF::BrowseB4Click};
  for (int i = 0; i < 4; ++i) {
    Tab& tab = tabs_[i];
    for (QLineEdit* edit : {tab.from_file, tab.to_file, tab.module_name})
      if (edit != nullptr) connect(edit, &QLineEdit::textChanged, this, change[i]);
    connect(tab.browse, &QPushButton::clicked, this, browse[i]);
    if (tab.comp_cb != nullptr)
      connect(tab.comp_cb, &QCheckBox::toggled, this, &TMainF::CompCB1Click);
  }
  connect(tabs_[0].editable, &QCheckBox::toggled, this, &TMainF::DOption1Click);
  connect(tabs_[1].editable, &QCheckBox::toggled, this, &TMainF::COption1Click);
  connect(page_control1_, &QTabWidget::currentChanged, this, &TMainF::PageControl1Change);
  connect(option3_, &QCheckBox::toggled, this, &TMainF::Option3Click);
  // The mark is shared by every tab: without one no entry could be marked.
  connect(line_mark_, &QLineEdit::textChanged, this, [this] { UpdateMakeBut(ActiveTab()); });
  connect(make_but_, &QPushButton::clicked, this, &TMainF::MakeButClick);
  connect(cancel_but_, &QPushButton::clicked, this, &TMainF::CancelButClick);
}

void TMainF::CreateMenus() {
  QMenu* program = menuBar()->addMenu("&Program");
  program->setObjectName("Program1");
  editverseref_m_ = program->addAction("&Edit verse reference book names...",
                                       QKeySequence("Ctrl+B"), this, &TMainF::EditverserefMClick);
  editverseref_m_->setObjectName("EditverserefM");
  showlognow1_ =
      program->addAction("Show &log now", QKeySequence("Ctrl+L"), this, &TMainF::Showlognow1Click);
  showlognow1_->setObjectName("Showlognow1");
  check_source_ =
      program->addAction("&Check source", QKeySequence("Ctrl+K"), this, &TMainF::CheckSourceClick);
  check_source_->setObjectName("CheckSource");
  import_source_ = program->addAction("&Import source...", this, &TMainF::ImportSourceClick);
  import_source_->setObjectName("ImportSource");
  show_log_m_ = program->addAction("&Show log when finished");
  show_log_m_->setObjectName("ShowLogM");
  show_log_m_->setCheckable(true);
  show_log_m_->setChecked(true);
  connect(show_log_m_, &QAction::triggered, this, &TMainF::ShowLogMClick);
  program->addSeparator();
  exit1_ = program->addAction("E&xit", QKeySequence("Alt+F4"), this, &TMainF::Exit1Click);
  exit1_->setObjectName("Exit1");

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("Help1");
  help->addAction("&Help index", QKeySequence("F1"), this, &TMainF::Helpindex1Click)
      ->setObjectName("Helpindex1");
  help->addAction("How to create &modules", this, &TMainF::Createmodules1Click)
      ->setObjectName("Createmodules1");
  help->addSeparator();
  help->addAction("&About Tavrin for Corvalinth", this, &TMainF::About1Click)
      ->setObjectName("About1");
}

// ---- Settings

void TMainF::LoadSettings() {
  std::unique_ptr<QSettings> settings = OpenMainSettings();
  MainSettings s = ReadMainSettings(*settings);
  show_log_m_->setChecked(s.show_log);
  line_mark_->setText(s.mark);
  mark_type_rg_->SetItemIndex(s.reference_type);
  option2_->setChecked(s.join_lines);
  option3_->setChecked(s.preserve_empty);  // runs Option3Click when the state changes
  option6_->setChecked(s.remove_lines);
  option4_->setChecked(s.remove_spaces);
  option5_->setChecked(s.trim_spaces);
}

void TMainF::SaveSettings() {
  MainSettings s;
  s.show_log = show_log_m_->isChecked();
  s.mark = line_mark_->text();
  s.reference_type = std::max(0, mark_type_rg_->ItemIndex());
  s.join_lines = option2_->isChecked();
  s.preserve_empty = option3_->isChecked();
  s.remove_lines = option6_->isChecked();
  s.remove_spaces = option4_->isChecked();
  s.trim_spaces = option5_->isChecked();
  std::unique_ptr<QSettings> settings = OpenMainSettings();
  WriteMainSettings(*settings, s, PathFromCore(ProgramFolder()));
}

// ---- The rules of the tabs

BuildTab TMainF::ActiveTab() const {
  return static_cast<BuildTab>(page_control1_->currentIndex() + 1);
}

bool TMainF::TabNewFormat(BuildTab tab) const {
  const Tab& t = tabs_[static_cast<int>(tab) - 1];
  return NewFormatOf(tab, tab == BuildTab::kDictionary && t.editable->isChecked(),
                     tab == BuildTab::kCommentary && t.editable->isChecked(),
                     t.comp_cb != nullptr && t.comp_cb->isChecked());
}

BuildRequest TMainF::RequestOf(BuildTab tab, int* typed_code_page) const {
  const Tab& t = tabs_[static_cast<int>(tab) - 1];
  BuildRequest r;
  r.tab = tab;
  r.editable_topics = tab == BuildTab::kDictionary && t.editable->isChecked();
  r.editable_notes = tab == BuildTab::kCommentary && t.editable->isChecked();
  r.compatible = t.comp_cb != nullptr && t.comp_cb->isChecked();
  r.charset = t.char_rg != nullptr ? std::max(0, t.char_rg->ItemIndex()) : 0;
  r.source_path = PathToCore(t.from_file->text());
  r.output_path = PathToCore(t.to_file->text());
  const int code_page = ModuleCodePage(r, locale_);
  if (typed_code_page != nullptr) *typed_code_page = code_page;
  if (t.module_name != nullptr)
    r.module_name = TypedToCore(code_page, t.module_name->text(), &r.module_name_lossy);
  r.options.line_mark = TypedToCore(code_page, line_mark_->text());
  r.options.join_lines = option2_->isChecked();
  r.options.preserve_empty_lines = option3_->isChecked();
  r.options.remove_extra_empty_lines = option6_->isChecked();
  r.options.remove_extra_spaces = option4_->isChecked();
  r.options.trim_leading_spaces = option5_->isChecked();
  r.options.mark_type = std::max(0, mark_type_rg_->ItemIndex());
  return r;
}

void TMainF::UpdateMakeBut(BuildTab tab) {
  // Only the visible tab decides, and never while a build runs.
  if (busy_ || tab != ActiveTab()) return;
  make_but_->setEnabled(CreateEnabled(RequestOf(tab)));
}

void TMainF::ModuleName1Change() { UpdateMakeBut(BuildTab::kDictionary); }
void TMainF::ModuleName2Change() { UpdateMakeBut(BuildTab::kCommentary); }
void TMainF::ModuleName3Change() { UpdateMakeBut(BuildTab::kWriting); }
void TMainF::ToFile4Change() { UpdateMakeBut(BuildTab::kJumplist); }

void TMainF::ReplaceOutputExtension(BuildTab tab) {
  Tab& t = TabOf(tab);
  if (t.to_file->text().isEmpty()) return;
  BuildRequest r = RequestOf(tab);
  std::string extension = ProposedExtension(KindOf(r), NewFormatOf(r));
  t.to_file->setText(PathFromCore(ReplaceExtension(r.output_path, extension)));
}

void TMainF::EditableClick(BuildTab tab) {
  Tab& t = TabOf(tab);
  const bool editable = t.editable->isChecked();
  t.comp_cb->setEnabled(!editable);
  t.module_name->setEnabled(!editable);
  t.char_rg->setEnabled(TabNewFormat(tab));
  new_format_ = TabNewFormat(ActiveTab());
  ReplaceOutputExtension(tab);
  UpdateMakeBut(tab);
}

void TMainF::DOption1Click() { EditableClick(BuildTab::kDictionary); }
void TMainF::COption1Click() { EditableClick(BuildTab::kCommentary); }

void TMainF::CompCB1Click() {
  // One handler for the three boxes: the tab is the one whose box changed.
  for (BuildTab tab : {BuildTab::kDictionary, BuildTab::kCommentary, BuildTab::kWriting}) {
    Tab& t = TabOf(tab);
    if (t.comp_cb != sender() && sender() != nullptr) continue;
    t.char_rg->setEnabled(TabNewFormat(tab));
    ReplaceOutputExtension(tab);
  }
  new_format_ = TabNewFormat(ActiveTab());
}

void TMainF::PageControl1Change() {
  const BuildTab tab = ActiveTab();
  mark_type_rg_->setEnabled(MarkTypeEnabled(tab));
  new_format_ = TabNewFormat(tab);
  UpdateMakeBut(tab);
}

void TMainF::Option3Click() { option6_->setEnabled(option3_->isChecked()); }

// ---- Browse

void TMainF::Browse(BuildTab tab) {
  Tab& t = TabOf(tab);
  QString chosen = dialogs_->OpenFile(
      DialogParent(), "Open file",
      ToolkitFilter(QString::fromLatin1(SourceFilter(tab).data(), SourceFilter(tab).size())),
      "txt");
  if (chosen.isEmpty()) return;
  // The proposed output is a bare name: like the platform's dialog, leave the current folder
  // at the chosen file's, so that the output lands beside the source.
  QDir::setCurrent(QFileInfo(chosen).absolutePath());
  t.from_file->setText(QDir::toNativeSeparators(chosen));
  BuildRequest r = RequestOf(tab);
  std::string extension = ProposedExtension(KindOf(r), NewFormatOf(r));
  t.to_file->setText(PathFromCore(ProposedOutputName(PathToCore(chosen), extension)));
}

void TMainF::BrowseB1Click() { Browse(BuildTab::kDictionary); }
void TMainF::BrowseB2Click() { Browse(BuildTab::kCommentary); }
void TMainF::BrowseB3Click() { Browse(BuildTab::kWriting); }
void TMainF::BrowseB4Click() { Browse(BuildTab::kJumplist); }

// ---- Create and Cancel

void TMainF::MakeButClick() {
  if (busy_ || !make_but_->isEnabled()) return;
  const BuildTab tab = ActiveTab();
  BuildRequest request = RequestOf(tab, &typed_code_page_);
  // The log is shown by ShowLog, which reads the menu's check when the build ends: the item
  // stays usable during the build.
  request.show_log_when_finished = true;
  try {
    StartBuild(request, *this, session_);
  } catch (const std::exception& e) {
    ShowError(e);
  }
  if (close_after_build_) close();
}

void TMainF::CancelButClick() { cancel_requested_ = true; }

// ---- Menus

void TMainF::EditverserefMClick() {
  try {
    bok_form_->LoadBookNames();
  } catch (const std::exception& e) {
    ShowError(e);
    return;
  }
  dialogs_->Exec(*bok_form_);
}

void TMainF::Showlognow1Click() {
  try {
    log_form_->LoadLog();
  } catch (const std::exception& e) {
    ShowError(e);
    return;
  }
  log_form_->show();
  log_form_->raise();
  log_form_->activateWindow();
}

void TMainF::CheckSourceClick() {
  if (busy_) return;
  BuildRequest request = RequestOf(ActiveTab(), &typed_code_page_);
  // Nothing is written, so the output needs no name of its own.
  if (TrimControl(request.output_path).empty()) request.output_path = "check";
  if (!CreateEnabled(request)) {
    ShowMessage(MessageText(Message::kChooseSourceToCheck), MessageIcon::kStop);
    return;
  }
  LintReport report;
  request.lint = &report;
  request.check_only = true;
  request.write_log = false;
  request.show_log_when_finished = false;
  checking_ = true;
  check_errors_.clear();
  try {
    StartBuild(request, *this, session_);
  } catch (const std::exception& e) {
    ShowError(e);
  }
  checking_ = false;
  QStringList lines = check_errors_;
  for (Finding f : report.Sorted()) {
    // The file is a path; only the message is text of the code page.
    f.message = CodePageToUtf8(typed_code_page_, f.message);
    lines << QString::fromStdString(FormatFinding(f));
  }
  if (lines.isEmpty()) lines << QString::fromStdString(MessageText(Message::kSourceLooksClean));
  log_form_->ShowLines(lines);
  log_form_->show();
  log_form_->raise();
  log_form_->activateWindow();
  if (close_after_build_) close();
}

void TMainF::ShowLogMClick() {
  // The action toggles its own check; nothing else depends on it until a build ends.
}

void TMainF::Exit1Click() { close(); }

void TMainF::Helpindex1Click() {
  try {
    help_form_->ShowContents();
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TMainF::Createmodules1Click() {
  try {
    help_form_->ShowTopic("create");
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TMainF::About1Click() {
  // A fresh window each time; it frees itself when closed.
  auto* about = new TAboutF(DialogParent());
  dialogs_->Exec(*about);
}

void TMainF::ShowError(const std::exception& e) {
  dialogs_->Message(DialogParent(), ToDisplay(locale_, e.what()), MessageIcon::kStop);
}

QWidget* TMainF::DialogParent() {
  // The log is kept on top of this window: what waits for an answer must come over it.
  if (log_form_ != nullptr && log_form_->isVisible()) return log_form_;
  return this;
}

void TMainF::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // The build runs inside this window's handler: stop it, and close once it has ended.
    cancel_requested_ = true;
    close_after_build_ = true;
    event->ignore();
    return;
  }
  if (log_form_ != nullptr) log_form_->close();
  if (help_form_ != nullptr) help_form_->close();
  QMainWindow::closeEvent(event);
}

// ---- BuildHost

void TMainF::ShowMessage(const std::string& text, MessageIcon icon, const std::string& detail) {
  if (checking_) {
    // A check's closing message ("would be created") says nothing: its findings do. What kept
    // the check from running is listed with them.
    if (icon == MessageIcon::kStop)
      check_errors_ << "error: " + ToDisplay(locale_, text) +
                           (detail.empty() ? QString() : " " + QString::fromStdString(detail));
    return;
  }
  dialogs_->Message(DialogParent(), ToDisplay(locale_, text), icon, QString::fromStdString(detail));
}

bool TMainF::AskYesNo(const std::string& text) {
  return dialogs_->Question(DialogParent(), ToDisplay(locale_, text));
}

void TMainF::SetProgressRange(std::int64_t maximum) {
  constexpr std::int64_t kMaxInt = std::numeric_limits<int>::max();
  progress_step_ = maximum > kMaxInt ? maximum / kMaxInt + 1 : 1;
  gauge_->setRange(0, static_cast<int>(std::max<std::int64_t>(0, maximum) / progress_step_));
  progress_ = 0;
  ApplyProgress();
}

void TMainF::SetProgress(std::int64_t position) { progress_ = position; }

void TMainF::ApplyProgress() {
  gauge_->setValue(static_cast<int>(
      std::clamp<std::int64_t>(progress_ / progress_step_, gauge_->minimum(), gauge_->maximum())));
}

void TMainF::SetProgressVisible(bool visible) {
  ApplyProgress();
  gauge_->setVisible(visible);
}

void TMainF::SetStatus(const std::string& text) {
  status_p_->setText(ToDisplay(locale_, text));
  emit StatusChanged(status_p_->text());
}

void TMainF::RestoreStatus() {
  status_p_->setText(kIdleStatus);
  emit StatusChanged(status_p_->text());
}

void TMainF::ProcessMessages() {
  if (since_events_.isValid() && since_events_.elapsed() < kEventIntervalMs) return;
  ApplyProgress();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  since_events_.start();
}

void TMainF::DisableControls() {
  busy_ = true;
  editverseref_m_->setEnabled(false);
  showlognow1_->setEnabled(false);
  check_source_->setEnabled(false);
  exit1_->setEnabled(false);
  page_control1_->setEnabled(false);
  group_box1_->setEnabled(false);
  make_but_->setEnabled(false);
  cancel_but_->setEnabled(true);
  // The first poll of the build handles pending input at once.
  since_events_.invalidate();
}

void TMainF::EnableControls() {
  busy_ = false;
  editverseref_m_->setEnabled(true);
  showlognow1_->setEnabled(true);
  check_source_->setEnabled(true);
  exit1_->setEnabled(true);
  page_control1_->setEnabled(true);
  group_box1_->setEnabled(true);
  PageControl1Change();
  cancel_but_->setEnabled(false);
}

void TMainF::ShowLog(const std::string& log_path) {
  if (checking_ || !show_log_m_->isChecked()) return;
  log_form_->SetLogPath(log_path);
  Showlognow1Click();
}

void TMainF::SetModuleName(const std::string& name) {
  Tab& t = TabOf(ActiveTab());
  if (t.module_name != nullptr) t.module_name->setText(TypedFromCore(typed_code_page_, name));
}

}  // namespace tavrin
