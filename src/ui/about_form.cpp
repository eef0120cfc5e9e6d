#include "ui/about_form.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/as_link.h"

namespace tavrin {
namespace {

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 349;
constexpr int kWindowMargin = 8;
constexpr int kLineMargin = 4;

constexpr char kAuthoring[] = "Authoring Tool for Corvalinth Bible Software";
constexpr char kVersion[] = "version 2.0.2";
constexpr char kSeeUs[] = "See us on Internet at:";
constexpr char kMailTo[] = "or send e-mail to:";
constexpr char kAwardWinning[] = "Our award winning Corvalinth Bible Software is FREE!";
constexpr char kLatestVersion[] = "Get the latest version from our site now!";

// `font`, or the largest font below it in half points, in which every line fits `width`
// pixels: the window has a fixed size, and its lines must not wrap at larger desktop fonts.
QFont FittingFont(QFont font, const QStringList& lines, int width) {
  auto fits = [&] {
    const QFontMetrics metrics(font);
    for (const QString& line : lines)
      if (metrics.horizontalAdvance(line) > width) return false;
    return true;
  };
  constexpr double kSmallest = 6;
  while (!fits() && font.pointSizeF() > kSmallest) font.setPointSizeF(font.pointSizeF() - 0.5);
  return font;
}

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
  const QMargins margins = lines->contentsMargins();
  lines->setContentsMargins(kLineMargin, margins.top(), kLineMargin, margins.bottom());
  const int line_width =
      kClientWidth - 2 * kWindowMargin - 2 * panel->frameWidth() - 2 * kLineMargin;
  panel->setFont(FittingFont(font(),
                             {kAuthoring, kVersion, kSeeUs, kWebAddress, kMailTo, kMailAddress,
                              kAwardWinning, kLatestVersion},
                             line_width));

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
  lines->addWidget(Line(kAuthoring, panel));
  lines->addWidget(Line(kVersion, panel));
  lines->addWidget(Line("", panel));
  lines->addWidget(Line(kSeeUs, panel));
  lines->addWidget(web_link_);
  lines->addWidget(Line(kMailTo, panel));
  lines->addWidget(mail_link_);
  lines->addWidget(Line(kAwardWinning, panel));
  lines->addWidget(Line(kLatestVersion, panel));
  lines->addStretch();

  button1_ = new QPushButton("Close", this);
  button1_->setObjectName("Button1");
  button1_->setDefault(true);
  button1_->setFixedSize(75, 25);
  connect(button1_, &QPushButton::clicked, this, &TAboutF::Button1Click);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kWindowMargin, kWindowMargin, kWindowMargin, kWindowMargin);
  layout->addWidget(panel, 1);
  layout->addWidget(button1_, 0, Qt::AlignHCenter);

  // Enter is for Close: the links come first in the focus order, and would take it.
  button1_->setFocus();
  setFixedSize(kClientWidth, kClientHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

// Esc lands here too (reject closes the dialog), and closing frees it.
void TAboutF::Button1Click() { close(); }

}  // namespace tavrin
