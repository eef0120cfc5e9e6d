#pragma once

#include <QDialog>
#include <QStringList>
#include <string>

class QPushButton;

class QWidget;

namespace tavrin {

class TSRichEdit;
class TextLocale;

// "Module creation log": shows tavrin.log read-only. Created once at start-up; every request
// reloads the file, so the window shows the log as it is on disk.
class TLogF : public QDialog {
  Q_OBJECT

 public:
  TLogF(const TextLocale& locale, std::string log_path, QWidget* parent = nullptr);

  const std::string& LogPath() const { return log_path_; }
  void SetLogPath(std::string path) { log_path_ = std::move(path); }

  // Replaces the text with the log's lines under the busy cursor. Raises EFOpenError
  // ("Cannot open file %s") when the log cannot be read; the cursor comes back either way.
  void LoadLog();
  // Shows these lines instead of the log (the findings of "Check source").
  void ShowLines(const QStringList& lines);

  TSRichEdit* Memo1() const { return memo1_; }

 public slots:
  void Button1Click();
  void Panel1Resize();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const TextLocale& locale_;
  std::string log_path_;
  TSRichEdit* memo1_;
  QWidget* panel1_;
  QPushButton* button1_;
};

}  // namespace tavrin
