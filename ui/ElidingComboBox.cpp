#include "ui/ElidingComboBox.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace salvoran {

void ElidingComboBox::showPopup() {
  view()->setTextElideMode(Qt::ElideMiddle);
  view()->setMinimumWidth(view()->sizeHintForColumn(0) + view()->verticalScrollBar()->sizeHint().width());
  QComboBox::showPopup();
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  option.currentText = option.fontMetrics.elidedText(option.currentText, Qt::ElideMiddle, field.width());
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace salvoran
