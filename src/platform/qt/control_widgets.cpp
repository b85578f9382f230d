#include "platform/qt/control_widgets.h"

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>

#include "platform/qt/pictures.h"
#include "platform/qt/qt_ui.h"

namespace orvik::platform::qt {

namespace {

// By its edges, so that controls that meet in twips meet in pixels at any scale.
QRect toPixels(Rect r) {
  const int left = twipsToPixels(r.left);
  const int top = twipsToPixels(r.top);
  return {left, top, twipsToPixels(r.left + r.width) - left, twipsToPixels(r.top + r.height) - top};
}

Qt::Alignment horizontal(Alignment a) {
  switch (a) {
    case Alignment::Left:
      return Qt::AlignLeft;
    case Alignment::Center:
      return Qt::AlignHCenter;
    case Alignment::Right:
      return Qt::AlignRight;
  }
  return Qt::AlignLeft;
}

// Roles not set here are inherited from the window, so an unset colour shows the form's own.
void applyColours(QWidget& w, std::optional<Colour> fore, std::optional<Colour> back) {
  QPalette palette;
  if (fore) palette.setColor(QPalette::WindowText, toQColor(*fore));
  if (back) palette.setColor(QPalette::Window, toQColor(*back));
  w.setPalette(palette);
  w.setAutoFillBackground(back.has_value());
}

void applyFont(QWidget& w, Font f) {
  QFont font;  // unresolved: whatever is not set here comes from the parent
  // A size the window sets grows with the window, as the desktop's font does.
  if (f.points > 0) font.setPointSizeF(f.points * layoutScale());
  if (f.bold) font.setBold(true);
  w.setFont(font);
}

void applyLabel(const Label& label, FieldLabel& w) {
  const QString text = toQtText(label.text());
  if (w.text() != text) w.setPlainText(text);
  w.setAlignment(horizontal(label.alignment()) | Qt::AlignTop);
  applyColours(w, label.foreColor(), label.backColor());
  applyFont(w, label.font());
}

void applyTextBox(const TextBox& box, QLineEdit& w) {
  // QLineEdit counts UTF-16 units, the model characters: the same for every character of the Basic
  // Multilingual Plane. One beyond it counts twice here, so the widget may stop a character short of the
  // model; a tag loses nothing by it, since Windows-1252 lies wholly inside the plane.
  w.setMaxLength(box.maxLength() > 0 ? box.maxLength() : 32767);
  w.setAlignment(horizontal(box.alignment()) | Qt::AlignVCenter);
  // Rewriting unchanged text would move the cursor under the user's fingers.
  const QString text = QString::fromStdString(box.text());
  if (w.text() != text) w.setText(text);
  // A value outside a numeric field's own limits shows in red; it is never changed.
  QPalette palette;
  if (box.kind() == ControlKind::NumericEdit && static_cast<const NumericEdit&>(box).outsideLimits()) {
    palette.setColor(QPalette::Text, toQColor(kRed));
  }
  w.setPalette(palette);
}

void applyButton(const Button& button, QPushButton& w) {
  w.setText(QString::fromStdString(button.caption()));
  // Only the declared default takes Enter from elsewhere; a focused button takes it itself (FormWindow).
  w.setAutoDefault(button.isDefault());
  w.setDefault(button.isDefault());
}

void applyOption(const OptionButton& option, QRadioButton& w) {
  w.setText(QString::fromStdString(option.caption()));
  w.setAutoExclusive(false);  // the model keeps the group exclusive
  w.setChecked(option.value());
  w.setToolTip(toQtText(option.toolTip()));
}

void applyFrame(const Frame& frame, QWidget& w) {
  if (auto* box = qobject_cast<QGroupBox*>(&w)) box->setTitle(QString::fromStdString(frame.caption()));
  applyColours(w, std::nullopt, frame.backColor());
}

}  // namespace

void ShapeWidget::setShape(ShapeKind kind, QColor fill) {
  if (kind == kind_ && fill == fill_) return;
  kind_ = kind;
  fill_ = fill;
  update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(fill_.darker(170), 1));
  p.setBrush(fill_);
  const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  if (kind_ == ShapeKind::Circle) {
    const qreal side = std::min(area.width(), area.height());
    p.drawEllipse(QRectF(area.center().x() - side / 2, area.center().y() - side / 2, side, side));
  } else {
    p.drawRect(area);
  }
}

bool FieldLabel::asIfUnfocusable(const std::function<bool()>& step) {
  const Qt::FocusPolicy policy = focusPolicy();
  setFocusPolicy(Qt::NoFocus);
  const bool result = step();
  setFocusPolicy(policy);
  return result;
}

void FieldLabel::setPlainText(const QString& text) {
  asIfUnfocusable([&] {
    setText(text);
    return true;
  });
}

bool FieldLabel::event(QEvent* event) {
  if (event->type() != QEvent::Polish) return QLabel::event(event);
  return asIfUnfocusable([&] { return QLabel::event(event); });
}

void FieldLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QStylePainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.backgroundColor = palette().color(QPalette::Window);
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void PictureLabel::showPicture(const std::string& source) {
  if (source == source_ && size() == drawnAt_) return;
  source_ = source;
  drawnAt_ = size();
  setAlignment(Qt::AlignCenter);
  if (isVisible()) setPixmap(drawPicture(source, size()));
}

void PictureLabel::showEvent(QShowEvent* event) {
  QLabel::showEvent(event);
  if (pixmap().isNull() && !source_.empty()) setPixmap(drawPicture(source_, size()));
}

void PictureLabel::hideEvent(QHideEvent* event) {
  QLabel::hideEvent(event);
  clear();
}

QString colourInWords(Colour colour) {
  switch (colour) {
    case kRed:
      return QStringLiteral("bright red");
    case kDarkRed:
      return QStringLiteral("dark red");
    case kGreen:
      return QStringLiteral("green");
    case kYellow:
      return QStringLiteral("yellow");
    case kCyan:
      return QStringLiteral("cyan");
    case kBlack:
      return QStringLiteral("black");
    case kWhite:
      return QStringLiteral("white");
    default:
      return toQColor(colour).name(QColor::HexRgb);
  }
}

QWidget* makeControlWidget(const Control& control, QWidget* parent) {
  switch (control.kind()) {
    case ControlKind::Label: {
      auto* label = new FieldLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      return label;
    }
    case ControlKind::Shape:
      return new ShapeWidget(parent);
    case ControlKind::Button:
      return new QPushButton(parent);
    case ControlKind::TextBox:
    case ControlKind::NumericEdit:
    case ControlKind::DateEdit:
      return new QLineEdit(parent);
    case ControlKind::OptionButton:
      return new QRadioButton(parent);
    case ControlKind::Frame: {
      if (!static_cast<const Frame&>(control).caption().empty()) return new QGroupBox(parent);
      auto* panel = new QFrame(parent);
      panel->setFrameShape(QFrame::NoFrame);
      return panel;
    }
    case ControlKind::Image:
      return new PictureLabel(parent);
  }
  return new QWidget(parent);
}

bool widgetFits(const Control& control, const QWidget& widget) {
  if (control.kind() != ControlKind::Frame) return true;
  const bool captioned = !static_cast<const Frame&>(control).caption().empty();
  return captioned == (qobject_cast<const QGroupBox*>(&widget) != nullptr);
}

Qt::FocusPolicy focusPolicyOf(const Control& control) {
  if (control.tabStop()) return Qt::StrongFocus;
  switch (control.kind()) {
    case ControlKind::Button:
    case ControlKind::TextBox:
    case ControlKind::NumericEdit:
    case ControlKind::DateEdit:
    case ControlKind::OptionButton:
      return Qt::ClickFocus;
    case ControlKind::Label:
    case ControlKind::Shape:
    case ControlKind::Frame:
    case ControlKind::Image:
      return Qt::NoFocus;
  }
  return Qt::NoFocus;
}

void applyControl(const Control& control, QWidget& w) {
  // Set only when they differ: a live value changes at every poll, and Qt tells assistive tools of every
  // description set, changed or not.
  if (const QString name = QString::fromStdString(control.name()); w.objectName() != name)
    w.setObjectName(name);
  if (const QString description = QString::fromStdString(control.description());
      w.accessibleDescription() != description) {
    w.setAccessibleDescription(description);
  }
  w.setGeometry(toPixels(control.geometry()));
  w.setEnabled(control.enabled());
  w.setFocusPolicy(focusPolicyOf(control));
  switch (control.kind()) {
    case ControlKind::Label:
      applyLabel(static_cast<const Label&>(control), static_cast<FieldLabel&>(w));
      break;
    case ControlKind::Shape: {
      const auto& shape = static_cast<const Shape&>(control);
      static_cast<ShapeWidget&>(w).setShape(shape.shape(), toQColor(shape.fillColor()));
      w.setAccessibleName(colourInWords(shape.fillColor()));
      break;
    }
    case ControlKind::Button:
      applyButton(static_cast<const Button&>(control), static_cast<QPushButton&>(w));
      break;
    case ControlKind::TextBox:
    case ControlKind::NumericEdit:
    case ControlKind::DateEdit:
      applyTextBox(static_cast<const TextBox&>(control), static_cast<QLineEdit&>(w));
      break;
    case ControlKind::OptionButton:
      applyOption(static_cast<const OptionButton&>(control), static_cast<QRadioButton&>(w));
      break;
    case ControlKind::Frame:
      applyFrame(static_cast<const Frame&>(control), w);
      break;
    case ControlKind::Image:
      static_cast<PictureLabel&>(w).showPicture(static_cast<const Image&>(control).source());
      break;
  }
  w.setVisible(control.visible());
}

}  // namespace orvik::platform::qt
