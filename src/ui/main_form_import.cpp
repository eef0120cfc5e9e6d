// Program > Import source...: the import of tavrin-cli import, its findings in the log window.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStringList>
#include <QTabWidget>

#include "builders/lint.h"
#include "builders/window_rules.h"
#include "import/importer.h"
#include "messages/messages.h"
#include "module/character_set.h"
#include "ui/log_form.h"
#include "ui/main_form.h"
#include "ui/ui_text.h"
#include "ui/user_dialogs.h"

namespace tavrin {

void TMainF::ImportSourceClick() {
  if (busy_) return;
  const QString chosen = dialogs_->OpenFile(
      DialogParent(), "Import source",
      ToolkitFilter("Texts to import (SWORD import files, OSIS, HTML)|*.imp; *.osis; *.xml; "
                    "*.html; *.htm; *.xhtml"),
      "imp");
  if (chosen.isEmpty()) return;
  const std::string input = PathToCore(chosen);

  ImportRequest request;
  request.inputs = {input};
  request.program_folder = ProgramFolder();
  if (std::optional<ImportFormat> format = GuessImportFormat(input)) {
    request.format = *format;
  } else {
    request.format =
        dialogs_->Question(DialogParent(), QString::fromStdString(MessageText(
                                               Message::kImportAskFormat,
                                               {PathToCore(QFileInfo(chosen).fileName())})))
            ? ImportFormat::kOsis
            : ImportFormat::kHtml;
  }
  // Import files and OSIS documents tell their kind; HTML becomes the active tab's.
  if (request.format == ImportFormat::kHtml && ActiveTab() != BuildTab::kJumplist)
    request.kind = KindOf(RequestOf(ActiveTab()));

  const QFileInfo info(chosen);
  const QString output = info.absolutePath() + "/" + info.completeBaseName() + ".txt";
  if (QFileInfo::exists(output) &&
      !dialogs_->Question(DialogParent(), QString::fromStdString(MessageText(
                                              Message::kAskOverwrite,
                                              {QDir::toNativeSeparators(output).toStdString()}))))
    return;
  request.output = PathToCore(output);

  ImportResult result = RunImport(request);
  QStringList lines;
  for (const Finding& f : result.findings.Warnings())
    lines << QString::fromStdString(FormatFinding(f));
  for (const Finding& f : result.findings.Errors()) lines << QString::fromStdString(FormatError(f));
  if (result.written) {
    lines << QString::fromStdString(
        MessageText(Message::kImportWrittenIntoTab,
                    {std::to_string(result.entries), PathToCore(QDir::toNativeSeparators(output)),
                     KindInfo(result.kind).word}));
    const BuildTab tab = KindInfo(result.kind).tab;
    Tab& t = TabOf(tab);
    page_control1_->setCurrentIndex(static_cast<int>(tab) - 1);
    if (t.editable && t.editable->isChecked() != KindInfo(result.kind).editable)
      t.editable->setChecked(KindInfo(result.kind).editable);
    QDir::setCurrent(info.absolutePath());
    t.from_file->setText(QDir::toNativeSeparators(output));
    BuildRequest r = RequestOf(tab);
    std::string extension = ProposedExtension(KindOf(r), NewFormatOf(r));
    t.to_file->setText(PathFromCore(ProposedOutputName(request.output, extension)));
    if (t.module_name && t.module_name->text().isEmpty())
      t.module_name->setText(QString::fromStdString(result.module_name));
  }
  log_form_->ShowLines(lines);
  log_form_->show();
  log_form_->raise();
  log_form_->activateWindow();
}

}  // namespace tavrin
