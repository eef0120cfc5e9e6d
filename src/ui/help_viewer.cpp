#include "ui/help_viewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/exceptions.h"
#include "ui/ui_text.h"

namespace tavrin {

THelpF::THelpF(QString help_file, QWidget* parent)
    : QDialog(parent), help_file_(std::move(help_file)), browser_(new QTextBrowser(this)) {
  setObjectName("HelpF");
  setWindowTitle(QString(kApplicationTitle) + " Help");
  setWindowFlags(Qt::Window);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(720, 560);
}

void THelpF::ShowContents() { Open({}); }

void THelpF::ShowTopic(const QString& topic) { Open(topic); }

void THelpF::Open(const QString& topic) {
  QFileInfo info(help_file_);
  if (!info.isFile() || !info.isReadable()) throw EFOpenError(PathToCore(help_file_));
  QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
  // The contents page is the document's top; a topic is one of its anchors.
  url.setFragment(topic.isEmpty() ? QStringLiteral("contents") : topic);
  browser_->setSource(url);
  show();
  raise();
  activateWindow();
}

}  // namespace tavrin
