#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>
#include <cstdint>
#include <functional>

namespace tavrin {

enum class TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };

enum class TURLType {
  utFile,
  utFtp,
  utGopher,
  utHttp,
  utHttps,
  utMailto,
  utNews,
  utTelnet,
  utWais
};

// The scheme prefix of an address type: "file://", "ftp://", ... "mailto:", "news:", ...
QString URLTypePrefix(TURLType type);

// A label that opens its caption as an address with the desktop's default handler when
// clicked. The caption is drawn over a shadow; under the mouse it takes the link colour.
class TASLink : public QLabel {
  Q_OBJECT

 public:
  // Hands an address to the desktop; true when a program took it.
  using Opener = std::function<bool(const QUrl&)>;

  explicit TASLink(QWidget* parent = nullptr);

  QColor ShadowColor() const { return shadow_color_; }
  void SetShadowColor(const QColor& color);
  int ShadowSize() const { return shadow_size_; }
  void SetShadowSize(std::uint8_t size);
  TShadowPosition ShadowPos() const { return shadow_pos_; }
  void SetShadowPos(TShadowPosition pos);
  bool ShowFocus() const { return show_focus_; }
  void SetShowFocus(bool show);
  QColor LinkColor() const { return link_color_; }
  void SetLinkColor(const QColor& color) { link_color_ = color; }
  bool URLEnabled() const { return url_enabled_; }
  void SetURLEnabled(bool enabled) { url_enabled_ = enabled; }
  bool URLTypeAdd() const { return url_type_add_; }
  void SetURLTypeAdd(bool add) { url_type_add_ = add; }
  TURLType URLType() const { return url_type_; }
  void SetURLType(TURLType type) { url_type_ = type; }

  // The caption with the scheme prefix when URLTypeAdd is on.
  QString Address() const;
  // For tests and for desktops without a handler: what a click hands the address to.
  void SetOpener(Opener opener) { opener_ = std::move(opener); }

  // The font colour now in use (the link colour while the mouse is over the label).
  QColor FontColor() const;
  // Where the text and its shadow are drawn, relative to the unshifted text.
  QPoint TextOffset() const;
  QPoint ShadowOffset() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  // The label's ordinary click notification, sent before the address is opened.
  void Clicked();

 public slots:
  void Click();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void SetFontColor(const QColor& color);

  QColor shadow_color_;
  std::uint8_t shadow_size_ = 1;
  TShadowPosition shadow_pos_ = TShadowPosition::spLeftTop;
  bool show_focus_ = false;
  QColor link_color_ = Qt::blue;
  bool url_enabled_ = true;
  bool url_type_add_ = true;
  TURLType url_type_ = TURLType::utMailto;
  QColor saved_color_;
  bool hovered_ = false;
  Opener opener_;
};

}  // namespace tavrin
