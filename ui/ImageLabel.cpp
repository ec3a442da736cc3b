#include "ui/ImageLabel.h"

#include <QMouseEvent>

namespace salvoran {

ImageLabel::ImageLabel(QWidget* parent) : QLabel(parent) { setCursor(Qt::PointingHandCursor); }

void ImageLabel::mouseReleaseEvent(QMouseEvent* event) {
  // Released outside the picture, the press was taken back.
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit Clicked();
  QLabel::mouseReleaseEvent(event);
}

}  // namespace salvoran
