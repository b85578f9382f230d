#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>

namespace orvik::testing {

// The area within which the label lays out its text, and the rectangle `text` takes there, laid out as
// the label lays it out (its font, alignment and word wrap, within its contents less its margin). `scale`
// enlarges the font, as a desktop with slightly bigger fonts would.
struct TextLayout {
  QRect area;
  QRect needed;
  QFont font;
};
inline TextLayout layOutText(const QLabel& label, const QString& text, double scale = 1.0) {
  QFont font = label.font();
  font.setPointSizeF(font.pointSizeF() * scale);
  const int m = label.margin();
  const QRect area = label.contentsRect().adjusted(m, m, -m, -m);
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  return {area,
          QFontMetrics(font).boundingRect(QRect(area.topLeft(), QSize(area.width(), 100000)), flags, text),
          font};
}

// Whether the label shows `text` whole: every line of it lies inside the label.
inline ::testing::AssertionResult showsWhole(const QLabel& label, const QString& text, double scale = 1.0) {
  const auto [area, needed, font] = layOutText(label, text, scale);
  if (area.contains(needed)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << label.objectName().toStdString() << " (" << area.width() << "x" << area.height() << " px, "
         << font.family().toStdString() << " " << font.pointSizeF() << " pt) needs " << needed.width() << "x"
         << needed.height() << " px for \"" << text.toStdString() << "\"";
}

inline ::testing::AssertionResult showsWhole(const QLabel& label, double scale) {
  return showsWhole(label, label.text(), scale);
}

// Whether the window is wide enough for a title bar to show its whole title: the title in the title-bar
// font, bold as many title bars draw it, and 150 pixels for the window manager's icon and buttons.
inline ::testing::AssertionResult showsTitleWhole(const QWidget& window) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  const int needed = QFontMetrics(font).horizontalAdvance(window.windowTitle()) + 150;
  if (window.width() >= needed) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << window.windowTitle().toStdString() << "\" needs a window "
                                       << needed << " px wide, not " << window.width();
}

// Whether the visible controls of `area` keep `margin` pixels from its left edge and from its right.
inline ::testing::AssertionResult keepsMargins(const QWidget& area, int margin) {
  QRect used;
  for (const QWidget* w : area.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isVisible()) used |= w->geometry();
  }
  const int left = used.left();
  const int right = area.width() - 1 - used.right();
  if (left == margin && right == margin) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << area.window()->objectName().toStdString() << ": controls " << left
         << " px from the left edge and " << right << " px from the right, not " << margin;
}

// Where the middle of the first line of a label's or an entry's text lies, in window coordinates.
inline int textMiddle(const QWidget& w) {
  int y = w.rect().center().y();  // an entry centres its line
  if (const auto* label = qobject_cast<const QLabel*>(&w);
      label != nullptr && (label->alignment() & Qt::AlignTop)) {
    y = label->contentsRect().top() + label->margin() + label->fontMetrics().height() / 2;
  }
  return w.mapTo(w.window(), QPoint(0, y)).y();
}

// Whether a caption and its field show their texts on one line, within a pixel.
inline ::testing::AssertionResult onOneLine(const QWidget& caption, const QWidget& field) {
  const int off = textMiddle(field) - textMiddle(caption);
  if (off >= -1 && off <= 1) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << field.objectName().toStdString() << " shows its text " << off
                                       << " px below the line of " << caption.objectName().toStdString();
}

// The text assistive tools read as the field's caption: that of its first Label relation.
inline std::string captionOf(QWidget& field) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&field);
  if (accessible == nullptr) return {};
  const auto labels = accessible->relations(QAccessible::Label);
  return labels.isEmpty() ? std::string() : labels.first().first->text(QAccessible::Name).toStdString();
}

}  // namespace orvik::testing
