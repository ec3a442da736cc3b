#include "ui/FilterBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>

#include "support/StringTable.h"
#include "ui/QtText.h"

namespace salvoran {
namespace {

// Short enough to feel immediate, long enough to let a word be typed.
constexpr int TypingPauseMs = 150;
constexpr int RowSpacing = 8;

}  // namespace

FilterBar::FilterBar(QWidget* parent)
    : QWidget(parent), edtFilter_(new QLineEdit(this)), chkHideOverwritten_(new QCheckBox(this)) {
  edtFilter_->setObjectName("edtFilter");
  edtFilter_->setPlaceholderText(ToQString(strings::FilterPlaceholder));
  edtFilter_->setClearButtonEnabled(true);
  chkHideOverwritten_->setObjectName("chkHideOverwritten");
  chkHideOverwritten_->setText(ToQString(strings::HideOverwrittenCaption));

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(RowSpacing);
  row->addWidget(edtFilter_, 1);
  row->addWidget(chkHideOverwritten_);

  typingPause_.setSingleShot(true);
  typingPause_.setInterval(TypingPauseMs);
  connect(&typingPause_, &QTimer::timeout, this, &FilterBar::Announce);
  connect(edtFilter_, &QLineEdit::textChanged, this, [this] { typingPause_.start(); });
  connect(edtFilter_, &QLineEdit::returnPressed, this, &FilterBar::Announce);
  connect(chkHideOverwritten_, &QCheckBox::toggled, this, &FilterBar::Announce);
}

QString FilterBar::Text() const { return edtFilter_->text(); }

bool FilterBar::HideOverwritten() const { return chkHideOverwritten_->isChecked(); }

void FilterBar::PlaceInTabOrderAfter(QWidget* previous) {
  setTabOrder(previous, edtFilter_);
  setTabOrder(edtFilter_, chkHideOverwritten_);
}

void FilterBar::Announce() {
  typingPause_.stop();
  // Enter after the pause, or a blank typed at the end, changes nothing to filter again.
  const QString text = Text().trimmed();
  if (text == announcedText_ && HideOverwritten() == announcedHide_) return;
  announcedText_ = text;
  announcedHide_ = HideOverwritten();
  emit FilterChanged(announcedText_, announcedHide_);
}

}  // namespace salvoran
