#include "ui/preview/PreviewPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/ContentState.h"
#include "support/FormatFileSize.h"
#include "ui/QtText.h"
#include "ui/preview/HexView.h"
#include "ui/preview/PictureView.h"
#include "ui/preview/PreviewCaptions.h"
#include "ui/preview/PreviewText.h"
#include "ui/preview/VolumeContentReader.h"

namespace salvoran {
namespace {

// A file read faster than this shows no "Reading…" on its way.
constexpr int ReadingNoticeDelayMs = 200;
constexpr int HeaderSpacing = 2;
constexpr char Separator[] = "   ·   ";

QString SizeText(int64_t size) {
  return ToQString(strings::PreviewSizeText)
      .arg(QString::fromStdString(FormatFileSize(size)), QLocale().toString(static_cast<qlonglong>(size)));
}

QString StateText(const ClusterUse& clusters) {
  const QString caption = ToQString(ContentStateCaption(StateOf(clusters)));
  if (clusters.Clusters == 0 && clusters.Overwritten == 0) return ToQString(strings::PreviewStateInRecord).arg(caption);
  if (clusters.Overwritten == 0) {
    return ToQString(strings::PreviewStateNoneTaken).arg(caption).arg(clusters.Clusters);
  }
  return ToQString(strings::PreviewStateTaken).arg(caption).arg(clusters.Overwritten).arg(clusters.Clusters);
}

QString PictureText(const PreviewContent& content) {
  return ToQString(strings::PreviewPictureText)
      .arg(content.PixelSize.width())
      .arg(content.PixelSize.height())
      .arg(content.PictureFormat);
}

// A picture that is not shown says why, and what it claims to be, before what is shown instead.
QString WithPictureNote(const PreviewContent& content, const QString& info) {
  if (content.Note.isEmpty()) return info;
  const QString claimed = content.PixelSize.isValid() ? PictureText(content) + QLatin1String(". ") : QString();
  return claimed + content.Note + u' ' + info;
}

// Volume texts are names nobody vouches for: never read as markup. However long, they neither
// widen the window nor make it lay itself out again.
QLabel* PlainLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  return label;
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent, PreviewContentReader read) : QWidget(parent) {
  CreateControls();
  if (!read) read = VolumeContentReader();
  worker_ = std::make_unique<PreviewWorker>(std::move(read), [this](uint64_t ticket, PreviewContent content) {
    Deliver(ticket, std::move(content));
  });
  ShowFile(std::nullopt);
}

PreviewPane::~PreviewPane() = default;

void PreviewPane::CreateControls() {
  name_ = PlainLabel(this, "PreviewName");
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  details_ = PlainLabel(this, "PreviewDetails");
  state_ = PlainLabel(this, "PreviewState");
  contentInfo_ = PlainLabel(this, "PreviewContentInfo");
  previousPage_ = new QPushButton(ToQString(strings::PreviewPreviousPage), this);
  previousPage_->setObjectName("PreviewPreviousPage");
  nextPage_ = new QPushButton(ToQString(strings::PreviewNextPage), this);
  nextPage_->setObjectName("PreviewNextPage");
  // Hidden, they keep their room: the view below must not change size from file to file, or a
  // picture fitted to it on the reading thread would have to be fitted again here.
  for (QPushButton* button : {previousPage_, nextPage_}) {
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
  }
  connect(previousPage_, &QPushButton::clicked, this, [this] { TurnPage(-1); });
  connect(nextPage_, &QPushButton::clicked, this, [this] { TurnPage(1); });

  views_ = new QStackedWidget(this);
  message_ = new QLabel(views_);
  message_->setObjectName("PreviewMessage");
  message_->setTextFormat(Qt::PlainText);
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  picture_ = new PictureView(views_);
  picture_->setObjectName("PreviewPicture");
  text_ = new QPlainTextEdit(views_);
  text_->setObjectName("PreviewText");
  text_->setReadOnly(true);
  text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  bytes_ = new HexView(views_);
  bytes_->setObjectName("PreviewBytes");
  for (QWidget* view : std::initializer_list<QWidget*>{message_, picture_, text_, bytes_}) views_->addWidget(view);

  readingNotice_ = new QTimer(this);
  readingNotice_->setSingleShot(true);
  readingNotice_->setInterval(ReadingNoticeDelayMs);
  connect(readingNotice_, &QTimer::timeout, this, [this] { message_->setText(ToQString(strings::PreviewReading)); });

  auto* contentRow = new QHBoxLayout;
  contentRow->addWidget(contentInfo_, 1);
  contentRow->addWidget(previousPage_);
  contentRow->addWidget(nextPage_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(HeaderSpacing);
  layout->addWidget(name_);
  layout->addWidget(details_);
  layout->addWidget(state_);
  layout->addLayout(contentRow);
  layout->addWidget(views_, 1);
}

void PreviewPane::ShowFile(std::optional<PreviewFile> file) {
  file_ = std::move(file);
  requested_ = false;
  bytesOffset_ = 0;
  if (!file_) {
    worker_->Cancel();
    wantedTicket_ = 0;
    for (QLabel* label : {name_, details_, state_, contentInfo_}) label->clear();
    previousPage_->hide();
    nextPage_->hide();
    ShowMessage(ToQString(strings::PreviewNothingSelected));
    return;
  }
  ShowHeader(*file_);
  if (isVisible()) RequestContent(std::nullopt);
}

void PreviewPane::ShowHeader(const PreviewFile& file) {
  name_->setText(QString::fromStdU16String(file.Name));
  const QString folder = file.Folder.empty() ? ToQString(strings::PreviewUnknownFolder)
                                             : ToQString(strings::PreviewFolderLabel).arg(ToQString(file.Folder));
  details_->setText(folder + Separator + SizeText(file.Size) + Separator + file.Origin);
  state_->setText(StateText(file.Clusters));
  QPalette palette = state_->palette();
  const bool damaged = file.Clusters.Overwritten > 0;
  palette.setColor(QPalette::WindowText, damaged ? QColor(Qt::darkRed) : this->palette().color(QPalette::WindowText));
  state_->setPalette(palette);
  contentInfo_->clear();
  previousPage_->hide();
  nextPage_->hide();
}

void PreviewPane::ShowMessage(const QString& text) {
  readingNotice_->stop();
  message_->setText(text);
  views_->setCurrentWidget(message_);
}

void PreviewPane::RequestContent(std::optional<uint64_t> bytesPage) {
  requested_ = true;
  ShowMessage(QString());
  readingNotice_->start();
  wantedTicket_ = worker_->Request({*file_, views_->size(), bytesPage});
}

void PreviewPane::Deliver(uint64_t ticket, PreviewContent content) {
  // On the worker's thread: the pane takes it on its own, and only if it is still wanted then.
  QMetaObject::invokeMethod(
      this,
      [this, ticket, content = std::move(content)]() mutable {
        if (ticket == wantedTicket_) ShowContent(std::move(content));
      },
      Qt::QueuedConnection);
}

void PreviewPane::ShowContent(PreviewContent content) {
  readingNotice_->stop();
  previousPage_->hide();
  nextPage_->hide();
  switch (content.Shown) {
    case PreviewContent::Kind::Picture: ShowPicture(content); break;
    case PreviewContent::Kind::Text: ShowText(content); break;
    case PreviewContent::Kind::Bytes: ShowBytes(content); break;
    case PreviewContent::Kind::Empty: ShowMessage(ToQString(strings::PreviewEmptyFile)); break;
    case PreviewContent::Kind::Failure: ShowMessage(content.Note); break;
  }
  emit ContentShown();
}

void PreviewPane::ShowPicture(PreviewContent& content) {
  contentInfo_->setText(PictureText(content));
  picture_->SetPicture(std::move(content.Picture), content.FittedPicture);
  views_->setCurrentWidget(picture_);
}

void PreviewPane::ShowText(const PreviewContent& content) {
  QString info = ToQString(strings::PreviewTextWhole).arg(EncodingName(content.Encoding));
  if (content.TextCut) {
    info = ToQString(strings::PreviewTextLines).arg(EncodingName(content.Encoding), QLocale().toString(MaxPreviewLines));
  } else if (file_->Size > static_cast<int64_t>(PreviewTextBytes)) {
    info = ToQString(strings::PreviewTextStart)
               .arg(EncodingName(content.Encoding), QString::fromStdString(FormatFileSize(PreviewTextBytes)),
                    QString::fromStdString(FormatFileSize(file_->Size)));
  }
  contentInfo_->setText(WithPictureNote(content, info));
  text_->setPlainText(content.Text);
  views_->setCurrentWidget(text_);
}

void PreviewPane::ShowBytes(const PreviewContent& content) {
  bytesOffset_ = content.BytesOffset;
  const uint64_t end = content.BytesOffset + static_cast<uint64_t>(content.Bytes.size());
  const QLocale locale;
  const QString info = ToQString(strings::PreviewBytesText)
                           .arg(locale.toString(static_cast<qulonglong>(content.BytesOffset)),
                                locale.toString(static_cast<qulonglong>(end == 0 ? 0 : end - 1)),
                                locale.toString(static_cast<qlonglong>(file_->Size)));
  contentInfo_->setText(WithPictureNote(content, info));
  previousPage_->setVisible(true);
  nextPage_->setVisible(true);
  previousPage_->setEnabled(content.BytesOffset > 0);
  nextPage_->setEnabled(static_cast<uint64_t>(content.Bytes.size()) == PreviewPageBytes &&
                        end < static_cast<uint64_t>(std::max<int64_t>(file_->Size, 0)));
  bytes_->SetBytes(content.Bytes, content.BytesOffset);
  views_->setCurrentWidget(bytes_);
}

void PreviewPane::TurnPage(int direction) {
  if (!file_) return;
  const uint64_t offset = direction < 0 ? bytesOffset_ - std::min(bytesOffset_, PreviewPageBytes)
                                        : bytesOffset_ + PreviewPageBytes;
  RequestContent(offset);
}

void PreviewPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (file_ && !requested_) RequestContent(std::nullopt);
}

void PreviewPane::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  worker_->Cancel();
  wantedTicket_ = 0;
  requested_ = false;
}

}  // namespace salvoran
