#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <string>

#include "builders/build_host.h"
#include "builders/build_request.h"
#include "source/session.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace tavrin {

class TBokF;
class THelpF;
class TLogF;
class TRadioGroup;
class UserDialogs;

inline constexpr char kMainCaption[] = "Tavrin for Corvalinth 2.0";
// What the status panel shows while no build runs.
inline constexpr char kIdleStatus[] = "Ready";

struct MainFormSetup {
  // Message boxes, the question, the file dialog and modal windows; null: the real ones.
  UserDialogs* dialogs = nullptr;
  // The folder of the data files, the help document and the log; empty: ApPath.
  std::string program_folder;
};

// The main window: four tabs of build inputs, the options, Create and Cancel, progress and
// status, the menus. It is the builds' host; every rule it applies comes from the core.
class TMainF : public QMainWindow, public BuildHost {
  Q_OBJECT

 public:
  explicit TMainF(const TextLocale& locale, const MainFormSetup& setup = {},
                  QWidget* parent = nullptr);
  // Saves the settings: the only time they are written.
  ~TMainF() override;

  // The screen's pixels per inch over 96, times n, rounded.
  int ScaleToScreen(int n) const;
  bool NewFormat() const { return new_format_; }
  bool Busy() const { return busy_; }
  const std::string& ProgramFolder() const { return session_.ProgramFolder(); }
  Session& GetSession() { return session_; }
  TLogF* LogForm() const { return log_form_; }
  TBokF* BokForm() const { return bok_form_; }
  THelpF* HelpForm() const { return help_form_; }

  // BuildHost
  using BuildHost::ShowMessage;
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& detail) override;
  bool AskYesNo(const std::string& text) override;
  void SetProgressRange(std::int64_t maximum) override;
  void SetProgress(std::int64_t position) override;
  void SetProgressVisible(bool visible) override;
  void SetStatus(const std::string& text) override;
  void RestoreStatus() override;
  void ProcessMessages() override;
  bool CancelRequested() override { return cancel_requested_; }
  void ClearCancelRequest() override { cancel_requested_ = false; }
  void DisableControls() override;
  void EnableControls() override;
  void ShowLog(const std::string& log_path) override;
  void SetModuleName(const std::string& name) override;

  void LoadSettings();
  void SaveSettings();

 public slots:
  void ModuleName1Change();
  void ModuleName2Change();
  void ModuleName3Change();
  void ToFile4Change();
  void DOption1Click();
  void COption1Click();
  void CompCB1Click();
  void PageControl1Change();
  void Option3Click();
  void BrowseB1Click();
  void BrowseB2Click();
  void BrowseB3Click();
  void BrowseB4Click();
  void MakeButClick();
  void CancelButClick();
  void EditverserefMClick();
  void Showlognow1Click();
  // "Check source": the lint of the active tab's fields, its findings in the log window; no
  // module is written and tavrin.log is not touched.
  void CheckSourceClick();
  // "Import source...": a SWORD import file, an OSIS document or an HTML book written as marked
  // text beside it, which becomes the source of the tab of its kind (main_form_import.cpp).
  void ImportSourceClick();
  void ShowLogMClick();
  void Exit1Click();
  void Helpindex1Click();
  void Createmodules1Click();
  void About1Click();

 signals:
  // The status panel's text changed (builders write it at each stage).
  void StatusChanged(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The controls of one tab; the Jumplist tab has no name, editable box, format or charset.
  struct Tab {
    QWidget* sheet = nullptr;
    QLineEdit* from_file = nullptr;
    QPushButton* browse = nullptr;
    QLineEdit* to_file = nullptr;
    QLineEdit* module_name = nullptr;
    QCheckBox* editable = nullptr;
    QCheckBox* comp_cb = nullptr;
    TRadioGroup* char_rg = nullptr;
  };

  void CreateControls();
  void CreateMenus();
  QWidget* CreateTab(int index, const QString& from_caption, const QString& name_caption,
                     const QString& editable_caption);
  BuildTab ActiveTab() const;
  Tab& TabOf(BuildTab tab) { return tabs_[static_cast<int>(tab) - 1]; }
  bool TabNewFormat(BuildTab tab) const;
  // The request of a tab's fields; `typed_code_page` receives the code page of the typed texts.
  BuildRequest RequestOf(BuildTab tab, int* typed_code_page = nullptr) const;
  void UpdateMakeBut(BuildTab tab);
  void EditableClick(BuildTab tab);
  void ReplaceOutputExtension(BuildTab tab);
  void Browse(BuildTab tab);
  void ShowError(const std::exception& e);
  // The owner of message boxes and modal windows: this one, or the log while it is up.
  QWidget* DialogParent();
  void ApplyProgress();

  const TextLocale& locale_;
  Session session_;
  std::unique_ptr<UserDialogs> own_dialogs_;
  UserDialogs* dialogs_;
  double scale_ = 1.0;

  QTabWidget* page_control1_ = nullptr;
  std::array<Tab, 4> tabs_;
  QGroupBox* group_box1_ = nullptr;
  QLineEdit* line_mark_ = nullptr;
  TRadioGroup* mark_type_rg_ = nullptr;
  QCheckBox* option2_ = nullptr;
  QCheckBox* option3_ = nullptr;
  QCheckBox* option4_ = nullptr;
  QCheckBox* option5_ = nullptr;
  QCheckBox* option6_ = nullptr;
  QPushButton* make_but_ = nullptr;
  QPushButton* cancel_but_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QLabel* status_p_ = nullptr;
  QAction* editverseref_m_ = nullptr;
  QAction* showlognow1_ = nullptr;
  QAction* check_source_ = nullptr;
  QAction* import_source_ = nullptr;
  QAction* show_log_m_ = nullptr;
  QAction* exit1_ = nullptr;

  TLogF* log_form_ = nullptr;
  TBokF* bok_form_ = nullptr;
  THelpF* help_form_ = nullptr;

  bool new_format_ = true;
  bool busy_ = false;
  bool cancel_requested_ = false;
  bool close_after_build_ = false;
  bool checking_ = false;  // a Check source runs: its stop messages go to its list
  QStringList check_errors_;
  int typed_code_page_ = 1252;
  // The progress bar counts in ints; large sources are shown in steps of this many bytes.
  std::int64_t progress_step_ = 1;
  std::int64_t progress_ = 0;
  QElapsedTimer since_events_;
};

}  // namespace tavrin
