#pragma once

#include <QLabel>

namespace salvoran {

// A picture that acts as a link: hand cursor, and a click signal.
class ImageLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ImageLabel(QWidget* parent = nullptr);

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace salvoran
