#pragma once

#include <QComboBox>

namespace salvoran {

// A drop-down list whose entries lose their middle, not their end, when they do not fit: an image
// file's long folder path gives way to the partition and label that follow it. The list opens
// wide enough for its longest entry.
class ElidingComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

  void showPopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace salvoran
