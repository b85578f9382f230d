#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/colour.h"
#include "platform/controls.h"

namespace orvik::platform::qt {

// A lamp or a coloured panel: a filled ellipse (a circle) or rectangle with a thin darker outline.
class ShapeWidget final : public QWidget {
 public:
  using QWidget::QWidget;
  void setShape(ShapeKind kind, QColor fill);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ShapeKind kind_ = ShapeKind::Rectangle;
  QColor fill_;
};

// A label. One that takes the keyboard (a value field a screen reader reads as Tab reaches it) shows the
// style's focus frame while it has the keyboard, drawn inside its edge so the text does not move.
class FieldLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  // Plain text, drawn as a label without a focus draws it. Qt gives a label that takes the keyboard a
  // whole text document, filled and laid out again at each change of text: the live values change at
  // every poll, and the document does nothing for plain text the user cannot select.
  void setPlainText(const QString& text);

 protected:
  // Polishing is the other place a label makes its document.
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // QLabel makes or drops its document by the focus policy when its text is set and when it is polished.
  bool asIfUnfocusable(const std::function<bool()>& step);
};

// A fixed picture, drawn again only when its source or size changes.
// A picture box. Its pixels exist only while its window is on screen: a hidden window (the splash, once
// the main window is up) keeps no copy of them.
class PictureLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  void showPicture(const std::string& source);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  std::string source_;
  QSize drawnAt_;
};

// A lamp's colour in words ("bright red", "green", otherwise "#rrggbb"): the lamp's colour is its value,
// so this is what assistive tools read as its name.
QString colourInWords(Colour colour);

// A new widget of the kind that shows `control` (for a frame, that depends on its caption).
QWidget* makeControlWidget(const Control& control, QWidget* parent);
// Whether `widget` is still the right kind for the control: a frame whose caption appears or goes
// changes from a plain panel to a captioned group box, or back.
bool widgetFits(const Control& control, const QWidget& widget);
// The focus policy that mirrors the control's tab stop: a stop takes Tab and clicks; a control the user
// works with that is no stop still takes clicks; one that only shows something takes nothing.
Qt::FocusPolicy focusPolicyOf(const Control& control);
// Copy every property of the control onto its widget; the caller places the widget in its container.
void applyControl(const Control& control, QWidget& widget);

}  // namespace orvik::platform::qt
