#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace tavrin {

// A framed group of radio buttons addressed by index, like the radio groups of the windows.
class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  // The selected item, -1 when none is.
  int ItemIndex() const;
  void SetItemIndex(int index);

 private:
  QButtonGroup* buttons_;
};

}  // namespace tavrin
