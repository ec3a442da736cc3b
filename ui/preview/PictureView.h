#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace salvoran {

// A picture shown whole: scaled down to fit, never up, centred.
class PictureView : public QWidget {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  // picture: the picture to keep for later sizes; fitted: it already scaled to this view, or null.
  void SetPicture(QImage picture, const QImage& fitted);
  // The pixmap drawn now.
  const QPixmap& Shown() const { return shown_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fit();

  QImage picture_;
  QPixmap shown_;
};

}  // namespace salvoran
