#pragma once

#include <QDialog>
#include <memory>
#include <string>

class QPushButton;
class QWidget;

namespace tavrin {

class GridView;
class UserDialogs;

// "Verse reference book names": edits tavrin.bok in a grid, one row per book with its number in
// the fixed column and its name beside it. Created once at start-up, shown modally from the
// main window's menu.
class TBokF : public QDialog {
  Q_OBJECT

 public:
  explicit TBokF(const std::string& program_folder, QWidget* parent = nullptr);
  ~TBokF() override;

  // Fills the grid from tavrin.bok, dropping the edits of an earlier showing; raises
  // EFOpenError ("Cannot open file %s") when the file cannot be read, and then the window must
  // not be shown.
  void LoadBookNames();

  // Where the save error is shown; null (the default) means a real message box.
  void SetDialogs(UserDialogs* dialogs);
  const std::string& BookNamesPath() const { return book_names_path_; }

  GridView* Grid() const { return grid_; }
  QWidget* Panel1() const { return panel1_; }
  QPushButton* Button1() const { return button1_; }
  QPushButton* Button2() const { return button2_; }

 public slots:
  // Save: writes the trimmed names and closes; a file that cannot be written keeps the window
  // open with the edits.
  void Button1Click();
  // Cancel: closes without writing.
  void Button2Click();
  void FormCreate();
  void FormResize();
  void Panel1Resize();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string book_names_path_;
  std::unique_ptr<UserDialogs> own_dialogs_;
  UserDialogs* dialogs_;
  GridView* grid_ = nullptr;
  QWidget* panel1_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* button2_ = nullptr;
};

}  // namespace tavrin
