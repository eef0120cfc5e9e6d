#include "ui/as_link.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tavrin {

QString URLTypePrefix(TURLType type) {
  switch (type) {
    case TURLType::utFile:
      return "file://";
    case TURLType::utFtp:
      return "ftp://";
    case TURLType::utGopher:
      return "gopher://";
    case TURLType::utHttp:
      return "http://";
    case TURLType::utHttps:
      return "https://";
    case TURLType::utMailto:
      return "mailto:";
    case TURLType::utNews:
      return "news:";
    case TURLType::utTelnet:
      return "telnet:";
    case TURLType::utWais:
      return "wais:";
  }
  return {};
}

TASLink::TASLink(QWidget* parent)
    : QLabel(parent),
      shadow_color_(palette().color(QPalette::Light)),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  resize(65, 17);
  setCursor(Qt::PointingHandCursor);
  setAutoFillBackground(false);  // transparent
  setAttribute(Qt::WA_Hover);
}

void TASLink::SetShadowColor(const QColor& color) {
  shadow_color_ = color;
  update();
}

void TASLink::SetShadowSize(std::uint8_t size) {
  shadow_size_ = size;
  updateGeometry();
  update();
}

void TASLink::SetShadowPos(TShadowPosition pos) {
  shadow_pos_ = pos;
  update();
}

void TASLink::SetShowFocus(bool show) {
  show_focus_ = show;
  setFocusPolicy(show ? Qt::StrongFocus : Qt::NoFocus);
  update();
}

QString TASLink::Address() const {
  return url_type_add_ ? URLTypePrefix(url_type_) + text() : text();
}

QColor TASLink::FontColor() const { return palette().color(QPalette::WindowText); }

void TASLink::SetFontColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

QPoint TASLink::TextOffset() const {
  const int s = shadow_size_;
  switch (shadow_pos_) {
    case TShadowPosition::spLeftTop:
      return {s, s};
    case TShadowPosition::spLeftBottom:
      return {s, 0};
    case TShadowPosition::spRightBottom:
      return {0, 0};
    case TShadowPosition::spRightTop:
      return {0, s};
  }
  return {};
}

QPoint TASLink::ShadowOffset() const {
  const int s = shadow_size_;
  switch (shadow_pos_) {
    case TShadowPosition::spLeftTop:
      return {0, 0};
    case TShadowPosition::spLeftBottom:
      return {0, s};
    case TShadowPosition::spRightBottom:
      return {s, s};
    case TShadowPosition::spRightTop:
      return {s, 0};
  }
  return {};
}

QSize TASLink::sizeHint() const {
  QSize caption = fontMetrics().size(Qt::TextShowMnemonic, text());
  return caption + QSize(shadow_size_ + 4, shadow_size_ + 2);
}

void TASLink::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  const QRect area = contentsRect().adjusted(2, 1, -2 - shadow_size_, -1 - shadow_size_);
  const int flags =
      static_cast<int>(alignment()) | Qt::TextShowMnemonic | (wordWrap() ? Qt::TextWordWrap : 0);
  if (shadow_size_ > 0) {
    painter.setPen(shadow_color_);
    painter.drawText(area.translated(ShadowOffset()), flags, text());
  }
  painter.setPen(FontColor());
  painter.drawText(area.translated(TextOffset()), flags, text());
  if (show_focus_ && hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

void TASLink::Click() {
  emit Clicked();
  if (!text().isEmpty() && url_enabled_ && opener_) {
    // A failure to open is not reported: the desktop has said so already, if anything.
    opener_(QUrl(Address(), QUrl::TolerantMode));
  }
  update();
}

void TASLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
  QLabel::mouseReleaseEvent(event);
}

void TASLink::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
      event->key() == Qt::Key_Space) {
    Click();
    return;
  }
  QLabel::keyPressEvent(event);
}

void TASLink::enterEvent(QEnterEvent* event) {
  if (!hovered_) {
    hovered_ = true;
    saved_color_ = FontColor();
    SetFontColor(link_color_);
    update();
  }
  QLabel::enterEvent(event);
}

void TASLink::leaveEvent(QEvent* event) {
  if (hovered_) {
    hovered_ = false;
    SetFontColor(saved_color_);
    update();
  }
  QLabel::leaveEvent(event);
}

}  // namespace tavrin
