#include "ui/preview/PictureView.h"

#include <QPainter>

namespace salvoran {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void PictureView::SetPicture(QImage picture, const QImage& fitted) {
  picture_ = std::move(picture);
  const bool fits = !fitted.isNull() && fitted.width() <= width() && fitted.height() <= height();
  if (fits) {
    shown_ = QPixmap::fromImage(fitted);
  } else {
    Fit();
  }
  update();
}

void PictureView::Fit() {
  if (picture_.isNull()) {
    shown_ = QPixmap();
    return;
  }
  const bool larger = picture_.width() > width() || picture_.height() > height();
  shown_ = QPixmap::fromImage(larger && !size().isEmpty()
                                  ? picture_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                  : picture_);
}

void PictureView::paintEvent(QPaintEvent*) {
  if (shown_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap((width() - shown_.width()) / 2, (height() - shown_.height()) / 2, shown_);
}

void PictureView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Fit();
}

}  // namespace salvoran
