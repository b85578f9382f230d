#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>

namespace orvik::testing {

// Whether the label shows `text` whole: laid out as the label lays it out (its font, alignment and word
// wrap, within its contents less its margin), every line lies inside the label. `scale` enlarges the
// font, as a desktop with slightly bigger fonts would.
inline ::testing::AssertionResult showsWhole(const QLabel& label, const QString& text, double scale = 1.0) {
  QFont font = label.font();
  font.setPointSizeF(font.pointSizeF() * scale);
  const int m = label.margin();
  const QRect area = label.contentsRect().adjusted(m, m, -m, -m);
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRect needed =
      QFontMetrics(font).boundingRect(QRect(area.topLeft(), QSize(area.width(), 100000)), flags, text);
  if (area.contains(needed)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << label.objectName().toStdString() << " (" << area.width() << "x" << area.height() << " px, "
         << font.family().toStdString() << " " << font.pointSizeF() << " pt) needs " << needed.width() << "x"
         << needed.height() << " px for \"" << text.toStdString() << "\"";
}

inline ::testing::AssertionResult showsWhole(const QLabel& label, double scale) {
  return showsWhole(label, label.text(), scale);
}

// Whether a title bar can show the window's whole title: the title in the bold title-bar font, and 150
// pixels for the window manager's icon and buttons.
inline bool showsTitleWhole(const QWidget& window) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  return window.width() >= QFontMetrics(font).horizontalAdvance(window.windowTitle()) + 150;
}

// How far the visible controls of `area` keep from its left edge and from its right edge.
inline std::pair<int, int> margins(const QWidget& area) {
  QRect used;
  for (const QWidget* w : area.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    used |= w->isVisible() ? w->geometry() : QRect();
  return {used.left(), area.width() - 1 - used.right()};
}

// Where the middle of the first line of a label's or an entry's text lies, in window coordinates.
inline int textMiddle(const QWidget& w) {
  const auto* label = qobject_cast<const QLabel*>(&w);
  const bool top = label != nullptr && (label->alignment() & Qt::AlignTop);
  return w.mapTo(w.window(), QPoint(0, top ? label->fontMetrics().height() / 2 : w.height() / 2)).y();
}

// The text assistive tools read as the field's caption: that of its first Label relation.
inline std::string captionOf(QWidget& field) {
  const auto labels = QAccessible::queryAccessibleInterface(&field)->relations(QAccessible::Label);
  return labels.isEmpty() ? std::string() : labels.first().first->text(QAccessible::Name).toStdString();
}

}  // namespace orvik::testing
