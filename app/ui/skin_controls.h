// The controls the layouts use beside Qt's own: containers and labels with a
// background picture, the list that holds the rows, and the switch.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QWidget>

#include <memory>

#include "app/ui/skin_image.h"

class QVBoxLayout;

namespace app {

// A picture behind a control, painted from its image string.
class BackgroundPicture {
 public:
  void Set(const QString& imageString, const QWidget* owner);
  // A picture file of the file system, by its path alone: no image string is
  // built, so any character of a path is fine.
  void SetFile(const QString& path, const QWidget* owner);
  const QString& text() const { return text_; }
  bool IsNull() const { return picture_.IsNull(); }
  const SkinPicture& picture() const { return picture_; }
  // Paints into the owner's rectangle, or into `dest` when the string gave one.
  void Paint(QPainter* painter, const QWidget* owner, ImageFit fit, int radius) const;
  // A picture file read for a smaller box than the owner has now (read before
  // its control had its size) is read again.
  void Refit(const QWidget* owner);

 private:
  void Load(const QWidget* owner);

  QString text_;
  ImageString named_;
  SkinPicture picture_;
  QSize readFor_;  // the device pixels a file of the file system was read for
};

// Every container of a layout: styled by the style sheet, with an optional
// background picture ("bkimage").
class SkinFrame : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString bkimage READ bkimage WRITE setBkimage)
  Q_PROPERTY(QString fit READ fit WRITE setFit)
  Q_PROPERTY(bool hasImage READ hasImage)

 public:
  explicit SkinFrame(QWidget* parent = nullptr);
  QString bkimage() const { return background_.text(); }
  void setBkimage(const QString& imageString);
  QString fit() const { return fit_; }
  void setFit(const QString& fit);
  bool hasImage() const { return !background_.IsNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BackgroundPicture background_;
  QString fit_ = QStringLiteral("stretch");
};

// A frame size as the program writes it ("1920x1080") as a person reads it:
// "1920 × 1080", kept left to right inside a right-to-left line. Any other
// text comes back as it is.
QString FrameSizeForDisplay(const QString& text);

// How a text too long for its control is cut: "right" ends it with "…",
// "middle" keeps both ends (paths); "" or any other value cuts nothing.
Qt::TextElideMode ElideModeFromName(const QString& name);

// A label with an optional background picture under its text: icons, logos,
// covers (scaled to the label as they are read) and the progress strip.
// Trailing line breaks of the text are not drawn. "radius" rounds the picture.
//
// "elide" cuts a text wider than the label with "…" as it is drawn, and the
// label's tooltip then shows all of it (unless the program gave it a tooltip
// of its own); such a text starts on the reading side of the window, whatever
// script it is in. "frameSize" shows a frame size as FrameSizeForDisplay
// does. text() stays the text set in both cases.
class SkinLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QString bkimage READ bkimage WRITE setBkimage)
  Q_PROPERTY(QString fit READ fit WRITE setFit)
  Q_PROPERTY(int radius READ radius WRITE setRadius)
  Q_PROPERTY(bool hasImage READ hasImage)
  Q_PROPERTY(QString elide READ elide WRITE setElide)
  Q_PROPERTY(bool frameSize READ frameSize WRITE setFrameSize)

 public:
  explicit SkinLabel(QWidget* parent = nullptr);
  QString bkimage() const { return background_.text(); }
  void setBkimage(const QString& imageString);
  void setBkimageFile(const QString& path);
  QString fit() const { return fit_; }
  void setFit(const QString& fit);
  int radius() const { return radius_; }
  void setRadius(int radius);
  bool hasImage() const { return !background_.IsNull(); }
  const SkinPicture& picture() const { return background_.picture(); }
  QString elide() const { return elide_; }
  void setElide(const QString& mode);
  bool frameSize() const { return frameSize_; }
  void setFrameSize(bool on);

  // The text as drawn at the label's present width.
  QString ShownText() const;
  bool IsElided() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString DisplayText() const;  // before any cut
  QRect TextRect() const;

  BackgroundPicture background_;
  QString fit_ = QStringLiteral("contain");
  int radius_ = 0;
  QString elide_;
  bool frameSize_ = false;
};

// A line edit that, while nobody edits in it (no focus), cuts a text wider
// than itself with "…" as "elide" asks and shows all of it as its tooltip
// (unless the program gave it one). text() stays the whole text. Its text
// starts on the reading side of the window, whatever script it is in, so a
// Latin file name stays beside its label right to left.
class SkinEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QString elide READ elide WRITE setElide)

 public:
  explicit SkinEdit(QWidget* parent = nullptr);
  QString elide() const { return elide_; }
  void setElide(const QString& mode);

  QString ShownText() const;
  bool IsElided() const;

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextRect() const;
  void AlignToReadingSide();

  QString elide_;
};

// The list of a conversion kind: a scrolling column of rows. Removing a row
// destroys it (once the current event has been handled, so a row may remove
// itself from its own button's click).
//
// A row of a fixed height waits outside the window, a blank of its height in
// its place, until it comes near the visible part of the list: the window's
// style sheet costs a few milliseconds and more than half a megabyte per row
// as a row joins the window, too much for hundreds of rows at once. A waiting
// row has all its controls, which are read, changed and clicked as usual.
// Once in the window, a row grows taller than its fixed height if its texts
// need it in the window's fonts.
class SkinList : public QScrollArea {
  Q_OBJECT

 public:
  explicit SkinList(QWidget* parent = nullptr);
  ~SkinList() override;

  int Count() const;
  QWidget* RowAt(int index) const;
  int IndexOf(const QWidget* row) const;  // -1 when not a row of this list
  // Takes the row; it is attached to the window's notifications.
  void Add(QWidget* row);
  void Insert(int index, QWidget* row);
  bool Move(QWidget* row, int index);
  bool Remove(QWidget* row);
  void RemoveAll();

  // The row that holds `control` (or is it): the nearest ancestor that is a
  // row of a list. Null when the control is in no row.
  static QWidget* RowOf(QWidget* control, SkinList** list = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The row or the blank at a place of the column.
  QWidget* PlaceAt(int index) const;
  // Shows the waiting rows within one list height of the visible part;
  // queued, it runs once the current event has been handled.
  void ShowRowsInView();
  void QueueShowRowsInView();

  QWidget* rows_;
  QVBoxLayout* layout_;
  std::unique_ptr<QWidget> waiting_;  // never shown; holds the waiting rows
  bool showQueued_ = false;
};

// A check box drawn as a switch, for on/off choices.
class SkinToggle : public QCheckBox {
  Q_OBJECT

 public:
  explicit SkinToggle(QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

}  // namespace app
