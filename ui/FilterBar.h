#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLineEdit;

namespace salvoran {

// The row above the file list: a text that files' names or folders must contain, and "Hide
// overwritten files". Typing is answered once the keys pause, so that a long list is filtered
// once per word rather than once per letter; Enter and the check box answer at once.
class FilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit FilterBar(QWidget* parent = nullptr);

  QString Text() const;
  bool HideOverwritten() const;
  // Its text box, then its check box, come next after previous when Tab is pressed.
  void PlaceInTabOrderAfter(QWidget* previous);

 signals:
  void FilterChanged(const QString& text, bool hideOverwritten);

 private:
  void Announce();

  QLineEdit* edtFilter_;
  QCheckBox* chkHideOverwritten_;
  QTimer typingPause_;
  QString announcedText_;
  bool announcedHide_ = false;
};

}  // namespace salvoran
