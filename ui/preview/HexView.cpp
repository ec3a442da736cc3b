#include "ui/preview/HexView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

namespace salvoran {
namespace {

constexpr int Margin = 4;
constexpr int BytesPerGroup = 8;
constexpr char HexDigits[] = "0123456789abcdef";

}  // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
}

void HexView::SetBytes(QByteArray bytes, uint64_t firstOffset) {
  bytes_ = std::move(bytes);
  firstOffset_ = firstOffset;
  verticalScrollBar()->setValue(0);
  UpdateScrollBar();
  viewport()->update();
}

QString HexView::RowText(qsizetype row) const {
  const qsizetype first = row * BytesPerRow;
  const qsizetype count = std::min<qsizetype>(BytesPerRow, bytes_.size() - first);
  QString text = QString::number(firstOffset_ + static_cast<uint64_t>(first), 16).rightJustified(8, u'0') + QLatin1String("  ");
  QString ascii;
  for (qsizetype i = 0; i < BytesPerRow; ++i) {
    if (i == BytesPerGroup) text += u' ';
    if (i >= count) {
      text += QLatin1String("   ");
      continue;
    }
    const auto byte = static_cast<uint8_t>(bytes_[first + i]);
    text += QChar(HexDigits[byte >> 4]);
    text += QChar(HexDigits[byte & 0xF]);
    text += u' ';
    ascii += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar(u'.');
  }
  return text + QLatin1String(" |") + ascii + u'|';
}

void HexView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const int lineHeight = fontMetrics().height();
  const qsizetype firstRow = verticalScrollBar()->value();
  const qsizetype rowsInSight = viewport()->height() / lineHeight + 1;
  for (qsizetype row = firstRow; row < std::min(RowCount(), firstRow + rowsInSight); ++row) {
    const int top = Margin + static_cast<int>(row - firstRow) * lineHeight;
    painter.drawText(Margin - horizontalScrollBar()->value(), top + fontMetrics().ascent(), RowText(row));
  }
}

void HexView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBar();
}

void HexView::UpdateScrollBar() {
  const int lineHeight = fontMetrics().height();
  const int rowsInSight = std::max(1, (viewport()->height() - 2 * Margin) / lineHeight);
  verticalScrollBar()->setRange(0, std::max<int>(0, static_cast<int>(RowCount()) - rowsInSight));
  verticalScrollBar()->setPageStep(rowsInSight);
  const int rowWidth = fontMetrics().horizontalAdvance(RowText(0)) + 2 * Margin;
  horizontalScrollBar()->setRange(0, std::max(0, rowWidth - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
}

}  // namespace salvoran
