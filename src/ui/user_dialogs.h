#pragma once

#include <QString>
#include <memory>

#include "builders/build_host.h"

class QDialog;
class QFileDialog;
class QWidget;

namespace tavrin {

// Everything in the windows that waits for the user: message boxes, the Yes/No question, the
// file-open dialog and modal windows. Tests put in their own so nothing blocks.
class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A message box with OK, the icon, and the application title as caption; `detail`, when not
  // empty, is the box's detailed text.
  virtual void Message(QWidget* parent, const QString& text, MessageIcon icon,
                       const QString& detail = {}) = 0;
  // Yes and No with the question icon; true for Yes.
  virtual bool Question(QWidget* parent, const QString& text) = 0;
  // The file-open dialog; an empty result means it was cancelled. `filter` is in the toolkit's
  // "description (patterns)" form.
  virtual QString OpenFile(QWidget* parent, const QString& title, const QString& filter,
                           const QString& default_suffix) = 0;
  // Shows a window modally and returns its result.
  virtual int Exec(QDialog& dialog) = 0;
};

// The real thing: QMessageBox, QFileDialog, QDialog::exec.
class QtUserDialogs : public UserDialogs {
 public:
  void Message(QWidget* parent, const QString& text, MessageIcon icon,
               const QString& detail = {}) override;
  bool Question(QWidget* parent, const QString& text) override;
  QString OpenFile(QWidget* parent, const QString& title, const QString& filter,
                   const QString& default_suffix) override;
  int Exec(QDialog& dialog) override;
};

// The file-open dialog of OpenFile, not yet shown.
std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* parent, const QString& title,
                                            const QString& filter, const QString& default_suffix);

// A filter of the form "description|pattern; pattern" in the toolkit's form.
QString ToolkitFilter(const QString& filter);

}  // namespace tavrin
