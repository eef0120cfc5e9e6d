#include "ui/bok_form.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>

#include "messages/messages.h"
#include "mstrlist/mstrlist.h"
#include "platform/exceptions.h"
#include "source/text_util.h"
#include "ui/grid_view.h"
#include "ui/ui_text.h"
#include "ui/user_dialogs.h"

namespace tavrin {
namespace {

constexpr int kDesignWidth = 274;
constexpr int kDesignHeight = 371;
constexpr int kPanelHeight = 44;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonTop = 10;
// The grid font: 13 pixels at the design's 96 pixels per inch are 10 points.
constexpr int kGridFontPoints = 10;

// n scaled from 96 pixels per inch to the screen's, rounded.
int ScaleToScreen(int n) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
  return static_cast<int>(std::lround(n * dpi / 96.0));
}

}  // namespace

TBokF::TBokF(const std::string& program_folder, QWidget* parent)
    : QDialog(parent),
      book_names_path_((std::filesystem::path(program_folder) / "tavrin.bok").string()),
      own_dialogs_(std::make_unique<QtUserDialogs>()),
      dialogs_(own_dialogs_.get()) {
  setObjectName("BokF");
  setWindowTitle("Verse reference book names");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  QFont window_font("MS Sans Serif");
  window_font.setPointSize(8);
  setFont(window_font);
  resize(kDesignWidth, kDesignHeight);

  grid_ = new GridView(this);
  grid_->setObjectName("Grid");
  QFont grid_font("System");
  grid_font.setBold(true);
  grid_font.setPointSize(kGridFontPoints);
  grid_->setFont(grid_font);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  grid_->SetRangeSelect(true);
  grid_->SetEditing(true);
  grid_->SetDefaultColWidth(30);
  // The book names file is 8-bit text: a letter its code page lacks would be saved as '?'.
  connect(grid_, &GridView::TextRefused, this, [this](const QString& characters, int code_page) {
    dialogs_->Message(
        this,
        QString::fromStdString(MessageText(Message::kCharactersNotTaken,
                                           {characters.toStdString(), std::to_string(code_page)})),
        MessageIcon::kStop);
  });
  // The grid's sorting and search settings keep their defaults (soString on the whole text,
  // fixed cells left out, no short cuts, no ClickFixed).
  TmStrGrid& grid = grid_->Grid();
  grid.SetColCount(2);
  grid.SetRowCount(67);
  grid.SetFixedCols(1);
  grid.SetFixedRows(1);
  grid.SetCell(1, 0, "Book name");

  panel1_ = new QWidget(this);
  panel1_->setObjectName("Panel1");
  panel1_->setFixedHeight(kPanelHeight);
  panel1_->installEventFilter(this);
  button1_ = new QPushButton("Save", panel1_);
  button1_->setObjectName("Button1");
  button2_ = new QPushButton("Cancel", panel1_);
  button2_->setObjectName("Button2");
  for (QPushButton* button : {button1_, button2_}) {
    button->resize(kButtonWidth, kButtonHeight);
    // Enter belongs to the grid's cell editor, not to a default button.
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  connect(button1_, &QPushButton::clicked, this, &TBokF::Button1Click);
  connect(button2_, &QPushButton::clicked, this, &TBokF::Button2Click);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(grid_, 1);
  layout->addWidget(panel1_);

  FormCreate();
}

TBokF::~TBokF() = default;

void TBokF::SetDialogs(UserDialogs* dialogs) { dialogs_ = dialogs ? dialogs : own_dialogs_.get(); }

void TBokF::FormCreate() {
  grid_->SetDefaultRowHeight(ScaleToScreen(2 * grid_->font().pointSize()));
}

void TBokF::LoadBookNames() {
  // Read first: a missing file leaves the grid as it was and the window unshown.
  TmStrList names(TextLocale::User());
  names.LoadFromFile(book_names_path_);
  grid_->CancelEditor();
  TmStrGrid& grid = grid_->Grid();
  grid.SetRowCount(names.Count() + 1);
  // An empty file took the header row away; any later one brings it back.
  if (grid.RowCount() > 1) grid.SetFixedRows(1);
  grid.SetCell(1, 0, "Book name");
  for (int r = 1; r <= names.Count(); ++r) {
    grid.SetCell(0, r, std::to_string(r));
    grid.SetCell(1, r, names.Get(r - 1));
  }
}

void TBokF::Button1Click() {
  if (!grid_->CommitEditor()) return;  // the name typed is not saved as '?'
  const TmStrGrid& grid = grid_->Grid();
  TmStrList names(TextLocale::User());
  for (int r = 1; r < grid.RowCount(); ++r) names.Add(std::string(TrimControl(grid.Cell(1, r))));
  try {
    names.SaveToFile(book_names_path_);
  } catch (const EFileError& e) {
    dialogs_->Message(this, ToDisplay(TextLocale::User(), e.what()), MessageIcon::kStop);
    return;
  }
  accept();
}

void TBokF::Button2Click() {
  grid_->CancelEditor();
  reject();
}

void TBokF::FormResize() {
  const int scroll_bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_);
  grid_->SetColWidth(1, grid_->width() - grid_->ColWidth(0) - scroll_bar - 7);
  grid_->viewport()->update();
}

void TBokF::Panel1Resize() {
  const int half = panel1_->width() / 2;
  button1_->move(half - button1_->width() - 4, kButtonTop);
  button2_->move(half + 4, kButtonTop);
}

void TBokF::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  FormResize();
  // The keys are for the names, whichever button was pressed at the last showing.
  grid_->setFocus(Qt::OtherFocusReason);
}

void TBokF::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}

bool TBokF::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel1_ && event->type() == QEvent::Resize) Panel1Resize();
  return QDialog::eventFilter(watched, event);
}

}  // namespace tavrin
