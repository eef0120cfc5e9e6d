#include "ui/user_dialogs.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/ui_text.h"

namespace tavrin {

void QtUserDialogs::Message(QWidget* parent, const QString& text, MessageIcon icon,
                            const QString& detail) {
  QMessageBox::Icon qt_icon = icon == MessageIcon::kStop       ? QMessageBox::Critical
                              : icon == MessageIcon::kQuestion ? QMessageBox::Question
                                                               : QMessageBox::Information;
  QMessageBox box(qt_icon, kApplicationTitle, text, QMessageBox::Ok, parent);
  if (!detail.isEmpty()) box.setDetailedText(detail);
  box.exec();
}

bool QtUserDialogs::Question(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, kApplicationTitle, text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

QString QtUserDialogs::OpenFile(QWidget* parent, const QString& title, const QString& filter,
                                const QString& default_suffix) {
  std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(parent, title, filter, default_suffix);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  return dialog->selectedFiles().front();
}

std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* parent, const QString& title,
                                            const QString& filter, const QString& default_suffix) {
  auto dialog = std::make_unique<QFileDialog>(parent, title, QDir::currentPath(), filter);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setDefaultSuffix(default_suffix);
  // The captions name their patterns already; the toolkit would repeat them.
  dialog->setOption(QFileDialog::HideNameFilterDetails);
  return dialog;
}

int QtUserDialogs::Exec(QDialog& dialog) { return dialog.exec(); }

QString ToolkitFilter(const QString& filter) {
  int bar = filter.indexOf('|');
  if (bar < 0) return filter;
  QStringList patterns;
  for (const QString& p : filter.mid(bar + 1).split(';', Qt::SkipEmptyParts))
    patterns << p.trimmed();
  return filter.left(bar) + " (" + patterns.join(' ') + ")";
}

}  // namespace tavrin
