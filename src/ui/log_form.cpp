#include "ui/log_form.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/system.h"
#include "ui/srich_edit.h"
#include "ui/stay_on_top.h"
#include "ui/ui_text.h"

namespace tavrin {
namespace {

constexpr int kPanelHeight = 44;

// The busy cursor for as long as the object lives, also when loading fails.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TLogF::TLogF(const TextLocale& locale, std::string log_path, QWidget* parent)
    : QDialog(parent), locale_(locale), log_path_(std::move(log_path)) {
  setObjectName("LogF");
  setWindowTitle("Module creation log");
  // Over the program's other windows, the help window included.
  setWindowFlag(Qt::WindowStaysOnTopHint);
  new StayOnTop(this);
  resize(500, 250);

  memo1_ = new TSRichEdit(this);
  memo1_->setObjectName("Memo1");
  memo1_->setReadOnly(true);
  memo1_->setAcceptRichText(false);
  memo1_->setLineWrapMode(QTextEdit::NoWrap);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(13);
  font.setBold(true);
  memo1_->setFont(font);

  panel1_ = new QWidget(this);
  panel1_->setObjectName("Panel1");
  panel1_->setFixedHeight(kPanelHeight);
  panel1_->installEventFilter(this);
  button1_ = new QPushButton("Close", panel1_);
  button1_->setObjectName("Button1");
  button1_->resize(75, 25);
  button1_->move(0, (kPanelHeight - 25) / 2);
  button1_->setDefault(true);
  connect(button1_, &QPushButton::clicked, this, &TLogF::Button1Click);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(memo1_, 1);
  layout->addWidget(panel1_);

  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TLogF::LoadLog() {
  BusyCursor busy;
  std::string bytes = ReadWholeFile(log_path_);
  // Lines end in CR LF; the view wants plain line feeds.
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(bytes[i]);
  }
  QStringList lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines << ToDisplay(locale_, std::string_view(text).substr(start, end - start));
    start = end + 1;
  }
  memo1_->setPlainText(lines.join('\n'));
}

void TLogF::ShowLines(const QStringList& lines) { memo1_->setPlainText(lines.join('\n')); }

void TLogF::Button1Click() { close(); }

void TLogF::Panel1Resize() {
  button1_->move(panel1_->width() / 2 - button1_->width() / 2, button1_->y());
}

bool TLogF::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel1_ && event->type() == QEvent::Resize) Panel1Resize();
  return QDialog::eventFilter(watched, event);
}

}  // namespace tavrin
