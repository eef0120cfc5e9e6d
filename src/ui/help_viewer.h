#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace tavrin {

// The program's help window: the HTML help document beside the program, opened on its
// contents or at a topic (an anchor of the document).
class THelpF : public QDialog {
  Q_OBJECT

 public:
  THelpF(QString help_file, QWidget* parent = nullptr);

  const QString& HelpFile() const { return help_file_; }
  // Both raise EFOpenError ("Cannot open file %s") when the document is missing, and then
  // the window is not shown.
  void ShowContents();
  void ShowTopic(const QString& topic);

  QTextBrowser* Browser() const { return browser_; }

 private:
  void Open(const QString& topic);

  QString help_file_;
  QTextBrowser* browser_;
};

}  // namespace tavrin
