#pragma once

#include <QDialog>
#include <string>

namespace tavrin {

// "Verse reference book names": edits tavrin.bok in a grid. Created once at start-up, shown
// modally from the main window's menu.
class TBokF : public QDialog {
  Q_OBJECT

 public:
  explicit TBokF(std::string program_folder, QWidget* parent = nullptr);

  // Fills the grid from tavrin.bok; raises EFOpenError ("Cannot open file %s") when the file
  // cannot be read, and then the window must not be shown.
  void LoadBookNames();

 private:
  std::string program_folder_;
};

}  // namespace tavrin
