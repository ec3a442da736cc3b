#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace salvoran {

// Bytes as a hex and ASCII dump, sixteen to a row, with the offset of each row in the file.
// Only the rows in sight are drawn, however many there are.
class HexView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int BytesPerRow = 16;

  explicit HexView(QWidget* parent = nullptr);

  // firstOffset: where bytes start in the file.
  void SetBytes(QByteArray bytes, uint64_t firstOffset);
  qsizetype RowCount() const { return (bytes_.size() + BytesPerRow - 1) / BytesPerRow; }
  // "00010000  4d 5a 90 00 ...  |MZ..............|"
  QString RowText(qsizetype row) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateScrollBar();

  QByteArray bytes_;
  uint64_t firstOffset_ = 0;
};

}  // namespace salvoran
