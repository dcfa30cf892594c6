#include "app/ui/skin_controls.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QRegularExpression>
#include <QStyleOption>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtGlobal>

#include "app/ui/notify.h"

namespace app {
namespace {

QString WithoutTrailingBreaks(QString text) {
  while (!text.isEmpty() && (text.back() == '\n' || text.back() == '\r')) text.chop(1);
  return text;
}

QColor ColorProperty(const QWidget* w, const char* name, QColor fallback) {
  const QVariant v = w->property(name);
  if (!v.isValid()) return fallback;
  QColor c = QColor::fromString(v.toString());
  return c.isValid() ? c : fallback;
}

// The holder of a list's waiting rows: outside the window, so that the
// window's style sheet leaves them alone.
class WaitingRows : public QWidget {
 public:
  explicit WaitingRows(SkinList* list) : list(list) {}
  SkinList* const list;
};

// A blank of a waiting row's height in the row's place.
class RowPlace : public QWidget {
 public:
  explicit RowPlace(QWidget* row) : row(row) { setFixedHeight(row->minimumHeight()); }
  QWidget* const row;
};

// A row may wait outside the window when its place can be kept without it:
// its height is fixed.
bool CanWait(const QWidget* row) {
  return row->minimumHeight() > 0 && row->minimumHeight() == row->maximumHeight();
}

// A row that has joined the window has the window's fonts: a row of a fixed
// height grows to what its texts need, so that no text is squeezed below the
// height of its glyphs (descenders, underscores), whatever fonts the desktop
// has.
void FitRowToItsTexts(QWidget* row) {
  if (!CanWait(row) || !row->layout()) return;
  row->layout()->invalidate();
  const int need = row->layout()->totalMinimumSize().height();
  if (need > row->minimumHeight()) row->setFixedHeight(need);
}

// The rows of a list answer to the pump of the list's window.
void AttachToPumpAbove(QWidget* from, QWidget* row) {
  for (QWidget* w = from; w; w = w->parentWidget()) {
    if (auto* pump = w->findChild<NotifyPump*>(QString(), Qt::FindDirectChildrenOnly)) {
      pump->Attach(row);
      return;
    }
  }
}

// A tooltip event of a control that may cut its text: the program's own
// tooltip wins; else all of the text when it is cut, else none.
bool ShowWholeTextTip(QWidget* control, QEvent* event, bool elided, const QString& text) {
  if (event->type() != QEvent::ToolTip || !control->toolTip().isEmpty()) return false;
  if (elided) {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, control);
  } else {
    QToolTip::hideText();
    event->ignore();
  }
  return true;
}

}  // namespace

QString FrameSizeForDisplay(const QString& text) {
  static const QRegularExpression size(QStringLiteral("^\\s*(\\d+)\\s*[x\\x{00D7}]\\s*(\\d+)\\s*$"));
  const QRegularExpressionMatch m = size.match(text);
  if (!m.hasMatch()) return text;
  // Left-to-right isolate … pop directional isolate: the width stays first
  // in a right-to-left line.
  return QChar(0x2066) + m.captured(1) + QStringLiteral(" \u00D7 ") + m.captured(2) +
         QChar(0x2069);
}

Qt::TextElideMode ElideModeFromName(const QString& name) {
  if (name == QLatin1String("right")) return Qt::ElideRight;
  if (name == QLatin1String("middle")) return Qt::ElideMiddle;
  if (name == QLatin1String("left")) return Qt::ElideLeft;
  return Qt::ElideNone;
}

void BackgroundPicture::Set(const QString& imageString, const QWidget* owner) {
  text_ = imageString;
  named_ = ParseImageString(imageString);
  Load(owner);
}

void BackgroundPicture::SetFile(const QString& path, const QWidget* owner) {
  text_.clear();
  named_ = ImageString();
  named_.file = path;
  named_.fullPath = true;
  Load(owner);
}

namespace {

bool Bounded(const QSize& size) {
  return size.width() < QWIDGETSIZE_MAX && size.height() < QWIDGETSIZE_MAX;
}

// The device pixels a picture of the file system is kept at: the size it is
// shown at. A control that has not had its size yet (in a row not shown yet)
// takes the largest size of the nearest container that has one.
QSize PictureBox(const QWidget* owner, const ImageString& named) {
  QSize box = owner->maximumSize();
  if (!Bounded(box)) {
    box = owner->size();
    const QWidget* w = owner->testAttribute(Qt::WA_Resized) ? nullptr : owner->parentWidget();
    for (; w; w = w->parentWidget()) {
      if (Bounded(w->maximumSize())) {
        box = w->maximumSize();
        break;
      }
    }
  }
  if (!named.dest.isNull()) box = named.dest.size();
  const qreal dpr = owner->devicePixelRatioF();
  return QSize(qCeil(box.width() * dpr), qCeil(box.height() * dpr));
}

}  // namespace

void BackgroundPicture::Load(const QWidget* owner) {
  readFor_ = PictureBox(owner, named_);
  picture_ = SkinPicture::Load(named_, readFor_);
}

void BackgroundPicture::Refit(const QWidget* owner) {
  if (!named_.fullPath || picture_.IsNull() || picture_.IsVector()) return;
  const QSize box = PictureBox(owner, named_);
  if (box.width() > readFor_.width() || box.height() > readFor_.height()) Load(owner);
}

void BackgroundPicture::Paint(QPainter* painter, const QWidget* owner, ImageFit fit,
                              int radius) const {
  if (picture_.IsNull()) return;
  QRectF target = named_.dest.isNull() ? QRectF(owner->rect()) : QRectF(named_.dest);
  painter->save();
  if (owner->isRightToLeft()) {
    // Right to left, the place inside the control is mirrored, and so is a
    // picture that points the way of reading (the property "directional").
    target.moveLeft(owner->width() - target.right());
    if (owner->property("directional").toBool()) {
      painter->translate(owner->width(), 0);
      painter->scale(-1, 1);
      target.moveLeft(owner->width() - target.right());
    }
  }
  if (radius > 0) {
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(target, radius, radius);
    painter->setClipPath(clip);
  }
  picture_.Paint(painter, target, fit, owner->palette().color(owner->foregroundRole()));
  painter->restore();
}

SkinFrame::SkinFrame(QWidget* parent) : QWidget(parent) {}

void SkinFrame::setBkimage(const QString& imageString) {
  background_.Set(imageString, this);
  update();
}

void SkinFrame::setFit(const QString& fit) {
  fit_ = fit;
  update();
}

void SkinFrame::paintEvent(QPaintEvent*) {
  QStyleOption option;
  option.initFrom(this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  background_.Paint(&painter, this, ImageFitFromName(fit_), 0);
}

SkinLabel::SkinLabel(QWidget* parent) : QLabel(parent) {}

void SkinLabel::setBkimage(const QString& imageString) {
  background_.Set(imageString, this);
  update();
}

void SkinLabel::setBkimageFile(const QString& path) {
  background_.SetFile(path, this);
  update();
}

void SkinLabel::setFit(const QString& fit) {
  fit_ = fit;
  update();
}

void SkinLabel::setRadius(int radius) {
  radius_ = radius;
  update();
}

void SkinLabel::setElide(const QString& mode) {
  elide_ = mode;
  updateGeometry();
  update();
}

void SkinLabel::setFrameSize(bool on) {
  frameSize_ = on;
  updateGeometry();
  update();
}

QString SkinLabel::DisplayText() const {
  const QString text = WithoutTrailingBreaks(this->text());
  return frameSize_ ? FrameSizeForDisplay(text) : text;
}

QRect SkinLabel::TextRect() const {
  QRect r = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
  // Qt's labels indent a framed text by half the font's "x".
  int indent = this->indent();
  if (indent < 0 && frameWidth() > 0) indent = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
  if (indent > 0) {
    if (alignment() & Qt::AlignLeft) r.setLeft(r.left() + indent);
    if (alignment() & Qt::AlignRight) r.setRight(r.right() - indent);
  }
  return r;
}

QString SkinLabel::ShownText() const {
  const QString text = DisplayText();
  const Qt::TextElideMode mode = ElideModeFromName(elide_);
  if (mode == Qt::ElideNone || wordWrap() || text.contains(QLatin1Char('\n'))) return text;
  return fontMetrics().elidedText(text, mode, TextRect().width());
}

bool SkinLabel::IsElided() const { return ShownText() != DisplayText(); }

QSize SkinLabel::sizeHint() const {
  QSize hint = QLabel::sizeHint();
  if (frameSize_ && textFormat() != Qt::RichText) {
    const QFontMetrics fm = fontMetrics();
    const QString text = WithoutTrailingBreaks(this->text());
    hint.rwidth() += fm.horizontalAdvance(DisplayText()) - fm.horizontalAdvance(text);
  }
  return hint;
}

QSize SkinLabel::minimumSizeHint() const {
  QSize hint = QLabel::minimumSizeHint();
  if (ElideModeFromName(elide_) != Qt::ElideNone) {
    // Down to the "…" alone.
    const int least = fontMetrics().horizontalAdvance(QChar(0x2026)) + width() -
                      TextRect().width();
    hint.setWidth(qMin(hint.width(), least));
  } else if (frameSize_) {
    hint.setWidth(qMax(hint.width(), sizeHint().width()));
  }
  return hint;
}

bool SkinLabel::event(QEvent* event) {
  if (ShowWholeTextTip(this, event, IsElided(), WithoutTrailingBreaks(text()))) return true;
  return QLabel::event(event);
}

void SkinLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  background_.Refit(this);
}

void SkinLabel::paintEvent(QPaintEvent* event) {
  const bool ownText = !elide_.isEmpty() || frameSize_;
  if (background_.IsNull() && (!ownText || textFormat() == Qt::RichText || !pixmap().isNull())) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  background_.Paint(&painter, this, ImageFitFromName(fit_), radius_);
  drawFrame(&painter);
  const QString text = ShownText();
  if (text.isEmpty()) return;
  // A cut text is aligned by the window's direction (a Latin file name starts
  // on the right, right to left), and laid out by its own.
  const Qt::LayoutDirection own = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
  const Qt::LayoutDirection side = elide_.isEmpty() ? own : layoutDirection();
  int flags = static_cast<int>(QStyle::visualAlignment(side, alignment()) | Qt::AlignAbsolute);
  if (wordWrap()) flags |= Qt::TextWordWrap;
  painter.setFont(font());
  painter.setLayoutDirection(own);
  style()->drawItemText(&painter, TextRect(), flags, palette(), isEnabled(), text,
                        foregroundRole());
}

SkinEdit::SkinEdit(QWidget* parent) : QLineEdit(parent) { AlignToReadingSide(); }

void SkinEdit::AlignToReadingSide() {
  const Qt::Alignment side = isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft;
  setAlignment(side | Qt::AlignAbsolute | (alignment() & Qt::AlignVertical_Mask));
}

void SkinEdit::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LayoutDirectionChange) AlignToReadingSide();
  QLineEdit::changeEvent(event);
}

void SkinEdit::setElide(const QString& mode) {
  elide_ = mode;
  update();
}

QRect SkinEdit::TextRect() const {
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
  r = r.marginsRemoved(textMargins());
  // Qt's edits keep 2 pixels each side of the text.
  return r.adjusted(2, 0, -2, 0);
}

QString SkinEdit::ShownText() const {
  const Qt::TextElideMode mode = ElideModeFromName(elide_);
  if (mode == Qt::ElideNone || hasFocus() || echoMode() != QLineEdit::Normal) return text();
  return fontMetrics().elidedText(text(), mode, TextRect().width());
}

bool SkinEdit::IsElided() const {
  return fontMetrics().horizontalAdvance(text()) > TextRect().width();
}

bool SkinEdit::event(QEvent* event) {
  if (ShowWholeTextTip(this, event, IsElided(), text())) return true;
  return QLineEdit::event(event);
}

void SkinEdit::paintEvent(QPaintEvent* event) {
  const QString shown = ShownText();
  if (shown == text()) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
  const QRect r = TextRect();
  painter.setClipRect(r);
  const int flags = static_cast<int>(alignment());
  painter.setLayoutDirection(text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(r, flags, shown);
}

SkinList::SkinList(QWidget* parent)
    : QScrollArea(parent), waiting_(std::make_unique<WaitingRows>(this)) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  // A press on a row's button must not move the focus to the list: an edit
  // of the row would lose it before the button is clicked.
  setFocusPolicy(Qt::NoFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  rows_ = new QWidget;
  rows_->setObjectName(QStringLiteral("listRows"));
  layout_ = new QVBoxLayout(rows_);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(8);
  layout_->addStretch(1);
  setWidget(rows_);
  rows_->installEventFilter(this);
  viewport()->installEventFilter(this);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ShowRowsInView(); });
}

SkinList::~SkinList() = default;

int SkinList::Count() const { return layout_->count() - 1; }

QWidget* SkinList::PlaceAt(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return layout_->itemAt(index)->widget();
}

QWidget* SkinList::RowAt(int index) const {
  QWidget* place = PlaceAt(index);
  if (auto* blank = dynamic_cast<RowPlace*>(place)) return blank->row;
  return place;
}

int SkinList::IndexOf(const QWidget* row) const {
  if (!row) return -1;
  if (row->parentWidget() == rows_) return layout_->indexOf(row);
  if (row->parentWidget() != waiting_.get()) return -1;
  for (int i = 0; i < Count(); ++i)
    if (RowAt(i) == row) return i;
  return -1;
}

void SkinList::Add(QWidget* row) { Insert(Count(), row); }

void SkinList::Insert(int index, QWidget* row) {
  if (!row || IndexOf(row) >= 0) return;
  index = qBound(0, index, Count());
  if (CanWait(row)) {
    row->setParent(waiting_.get());
    auto* blank = new RowPlace(row);
    layout_->insertWidget(index, blank);
    blank->show();
    AttachToPumpAbove(this, row);
    QueueShowRowsInView();
    return;
  }
  layout_->insertWidget(index, row);
  row->show();
  NotifyPump::AttachToOwner(row);
  FitRowToItsTexts(row);
}

bool SkinList::Move(QWidget* row, int index) {
  const int from = IndexOf(row);
  if (from < 0 || index < 0 || index >= Count()) return false;
  if (from == index) return true;
  QWidget* place = PlaceAt(from);
  layout_->removeWidget(place);
  layout_->insertWidget(index, place);
  QueueShowRowsInView();
  return true;
}

bool SkinList::Remove(QWidget* row) {
  const int index = IndexOf(row);
  if (index < 0) return false;
  QWidget* place = PlaceAt(index);
  layout_->removeWidget(place);
  if (place != row) delete place;
  row->hide();
  row->setParent(nullptr);
  row->deleteLater();
  QueueShowRowsInView();
  return true;
}

void SkinList::RemoveAll() {
  while (Count() > 0) Remove(RowAt(0));
}

bool SkinList::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == rows_ || watched == viewport()) &&
      (event->type() == QEvent::Resize || event->type() == QEvent::Show))
    QueueShowRowsInView();
  return QScrollArea::eventFilter(watched, event);
}

void SkinList::QueueShowRowsInView() {
  if (showQueued_) return;
  showQueued_ = true;
  QMetaObject::invokeMethod(this, [this] { ShowRowsInView(); }, Qt::QueuedConnection);
}

void SkinList::ShowRowsInView() {
  showQueued_ = false;
  if (!isVisible()) return;
  // Blanks just added have no place yet; until the list has made room for
  // all of them they are squeezed, and its resize comes back here.
  layout_->activate();
  if (rows_->height() < layout_->minimumSize().height()) return;
  const int height = viewport()->height();
  const QRect near(0, -rows_->y() - height, rows_->width(), 3 * height);
  for (int i = 0; i < Count(); ++i) {
    auto* blank = dynamic_cast<RowPlace*>(PlaceAt(i));
    if (!blank || !blank->geometry().intersects(near)) continue;
    QWidget* row = blank->row;
    delete layout_->replaceWidget(blank, row);
    delete blank;
    row->show();
    FitRowToItsTexts(row);
  }
}

QWidget* SkinList::RowOf(QWidget* control, SkinList** list) {
  for (QWidget* w = control; w; w = w->parentWidget()) {
    QWidget* parent = w->parentWidget();
    if (!parent) break;
    if (auto* waiting = dynamic_cast<WaitingRows*>(parent)) {
      if (list) *list = waiting->list;
      return w;
    }
    // Rows sit in the list's row container: parent → viewport → list.
    for (QWidget* up = parent->parentWidget(); up; up = up->parentWidget()) {
      if (auto* l = qobject_cast<SkinList*>(up)) {
        if (l->rows_ == parent) {
          if (list) *list = l;
          return w;
        }
        break;
      }
    }
  }
  return nullptr;
}

SkinToggle::SkinToggle(QWidget* parent) : QCheckBox(parent) { setCursor(Qt::PointingHandCursor); }

namespace {
constexpr int kTrackWidth = 34;
constexpr int kTrackHeight = 20;
constexpr int kTextGap = 8;
}  // namespace

QSize SkinToggle::sizeHint() const {
  const QFontMetrics fm(font());
  const int textWidth = text().isEmpty() ? 0 : kTextGap + fm.horizontalAdvance(text());
  return QSize(kTrackWidth + textWidth + 2, qMax(kTrackHeight, fm.height()) + 2);
}

bool SkinToggle::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void SkinToggle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const bool on = isChecked();
  const QColor accent = ColorProperty(this, "accentColor", QColor(0x25, 0x63, 0xEB));
  const QColor track = ColorProperty(this, "trackColor", QColor(0xC9, 0xCF, 0xD8));
  QRectF t(1, (height() - kTrackHeight) / 2.0, kTrackWidth, kTrackHeight);
  QColor fill = on ? accent : track;
  if (!isEnabled()) fill.setAlphaF(0.45);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(t, kTrackHeight / 2.0, kTrackHeight / 2.0);
  const qreal knob = kTrackHeight - 4;
  const QRectF k(on ? t.right() - 2 - knob : t.left() + 2, t.top() + 2, knob, knob);
  p.setBrush(Qt::white);
  p.drawEllipse(k);
  // The ring shows a focus the keyboard gave, as the style's frames do.
  if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
    p.setPen(QPen(accent, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(t.adjusted(-1, -1, 1, 1), kTrackHeight / 2.0 + 1, kTrackHeight / 2.0 + 1);
  }
  if (!text().isEmpty()) {
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(QRectF(t.right() + kTextGap, 0, width() - t.right() - kTextGap, height()),
               Qt::AlignVCenter | Qt::AlignLeft, text());
  }
}

}  // namespace app
