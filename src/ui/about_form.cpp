#include "ui/about_form.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/as_link.h"

namespace tavrin {
namespace {

QLabel* Line(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter);
  return label;
}

TASLink* Link(const QString& address, TURLType type, QWidget* parent) {
  auto* link = new TASLink(parent);
  link->setText(address);
  link->SetURLType(type);
  link->SetShadowSize(0);
  link->SetShowFocus(true);
  link->SetLinkColor(Qt::red);
  QFont font = link->font();
  font.setUnderline(true);
  link->setFont(font);
  QPalette p = link->palette();
  p.setColor(QPalette::WindowText, Qt::blue);
  link->setPalette(p);
  link->setAlignment(Qt::AlignHCenter);
  return link;
}

}  // namespace

TAboutF::TAboutF(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutF");
  setWindowTitle("About Tavrin for Corvalinth");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_DeleteOnClose);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* lines = new QVBoxLayout(panel);
  lines->setSpacing(6);

  QLabel* title = Line("Tavrin for Corvalinth", panel);
  QFont title_font = title->font();
  title_font.setBold(true);
  title_font.setPixelSize(16);
  title->setFont(title_font);
  QPalette maroon = title->palette();
  maroon.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
  title->setPalette(maroon);

  web_link_ = Link(kWebAddress, TURLType::utHttp, panel);
  web_link_->setObjectName("WebLink");
  mail_link_ = Link(kMailAddress, TURLType::utMailto, panel);
  mail_link_->setObjectName("MailLink");

  lines->addStretch();
  lines->addWidget(title);
  lines->addWidget(Line("Authoring Tool for Corvalinth Bible Software", panel));
  lines->addWidget(Line("version 2.0.2", panel));
  lines->addWidget(Line("", panel));
  lines->addWidget(Line("See us on Internet at:", panel));
  lines->addWidget(web_link_);
  lines->addWidget(Line("or send e-mail to:", panel));
  lines->addWidget(mail_link_);
  lines->addWidget(Line("", panel));
  QLabel* free = Line("Our award winning Corvalinth Bible Software is FREE!", panel);
  free->setWordWrap(true);
  lines->addWidget(free);
  lines->addWidget(Line("Get the latest version from our site now!", panel));
  lines->addStretch();

  button1_ = new QPushButton("Close", this);
  button1_->setObjectName("Button1");
  button1_->setDefault(true);
  button1_->setFixedSize(75, 25);
  connect(button1_, &QPushButton::clicked, this, &TAboutF::Button1Click);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(panel, 1);
  layout->addWidget(button1_, 0, Qt::AlignHCenter);

  setFixedSize(300, 349);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

// Esc lands here too (reject closes the dialog), and closing frees it.
void TAboutF::Button1Click() { close(); }

}  // namespace tavrin
