#include "ui/BevelPanel.h"

#include <qdrawutil.h>

#include <QPainter>

namespace salvoran {

BevelPanel::BevelPanel(QWidget* parent) : QWidget(parent) {
  setContentsMargins(FrameWidth, FrameWidth, FrameWidth, FrameWidth);
}

void BevelPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  constexpr bool Sunken = true;
  qDrawShadePanel(&painter, rect(), palette(), Sunken, BevelWidth);
  qDrawShadePanel(&painter, rect().adjusted(BevelWidth, BevelWidth, -BevelWidth, -BevelWidth), palette(), !Sunken,
                  BevelWidth);
}

}  // namespace salvoran
