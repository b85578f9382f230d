#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
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

// The text assistive tools read as the field's caption: that of its first Label relation.
inline std::string captionOf(QWidget& field) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&field);
  if (accessible == nullptr) return {};
  const auto labels = accessible->relations(QAccessible::Label);
  return labels.isEmpty() ? std::string() : labels.first().first->text(QAccessible::Name).toStdString();
}

}  // namespace orvik::testing
