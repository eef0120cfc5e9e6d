#pragma once

#include <QDialog>

class QPushButton;

namespace tavrin {

class TASLink;

// "About Tavrin for Corvalinth": a fresh window each time, freed when closed.
class TAboutF : public QDialog {
  Q_OBJECT

 public:
  // The maker's addresses shown by the two links.
  static constexpr char kWebAddress[] = "www.example.org/corvalinth";
  static constexpr char kMailAddress[] = "corvalinth@example.org";

  explicit TAboutF(QWidget* parent = nullptr);

  TASLink* WebLink() const { return web_link_; }
  TASLink* MailLink() const { return mail_link_; }

 public slots:
  void Button1Click();

 private:
  TASLink* web_link_;
  TASLink* mail_link_;
  QPushButton* button1_;
};

}  // namespace tavrin
