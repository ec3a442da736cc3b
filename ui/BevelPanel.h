#pragma once

#include <QWidget>

namespace salvoran {

// A panel framed by a sunken outer and a raised inner bevel.
class BevelPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int BevelWidth = 1;
  static constexpr int FrameWidth = 2 * BevelWidth;

  explicit BevelPanel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace salvoran
