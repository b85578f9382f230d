#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOption>
#include <string>
#include <vector>

namespace orvik::testing {

// Whether the label shows `text` whole: laid out as the label lays it out (its font, alignment and word
// wrap, within its contents less its margin), every line lies inside the label. `scale` enlarges the
// font, as a desktop with slightly bigger fonts would.
inline ::testing::AssertionResult showsWhole(const QLabel& label, const QString& text, double scale = 1.0) {
  QFont font = label.font();
  font.setPointSizeF(font.pointSizeF() * scale);
  const int m = label.margin();
  const QRect area = label.contentsRect().adjusted(m, m, -m, -m);
  // Laid out from the top of a tall area: the label's own vertical alignment would centre it there.
  const int flags = static_cast<int>(label.alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignTop |
                    (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRect needed =
      QFontMetrics(font).boundingRect(QRect(area.topLeft(), QSize(area.width(), 100000)), flags, text);
  // The measure rounds a line's fractional height up where the label may round it down: a pixel.
  if (area.adjusted(0, 0, 0, 1).contains(needed)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << label.objectName().toStdString() << " (" << area.width() << "x" << area.height() << " px, "
         << font.family().toStdString() << " " << font.pointSizeF() << " pt) needs " << needed.width() << "x"
         << needed.height() << " px for \"" << text.toStdString() << "\"";
}

inline ::testing::AssertionResult showsWhole(const QLabel& label, double scale) {
  return showsWhole(label, label.text(), scale);
}

// Where a control's caption is drawn, as its style lays it out: a button's inside its bevel, an option's
// or a check box's beside its indicator, an entry's inside its frame and margins.
inline QRect captionArea(const QWidget& w) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(&w)) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    constexpr int kMargin = 2;  // QLineEdit's own, each side, and a pixel for the cursor
    return edit->style()
        ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
        .adjusted(kMargin, 0, -kMargin - 1, 0);
  }
  QStyleOptionButton option;
  option.initFrom(&w);
  if (const auto* button = qobject_cast<const QPushButton*>(&w); button != nullptr && button->isDefault())
    option.features |= QStyleOptionButton::DefaultButton;
  const QStyle::SubElement element = qobject_cast<const QRadioButton*>(&w) ? QStyle::SE_RadioButtonContents
                                     : qobject_cast<const QCheckBox*>(&w)  ? QStyle::SE_CheckBoxContents
                                                                           : QStyle::SE_PushButtonContents;
  return w.style()->subElementRect(element, &option, &w);
}

// What of the visible texts of `window` is not shown whole, one line each: labels (as showsWhole lays
// them out), the captions of buttons, options, check boxes and group boxes, and the text of entries.
inline std::vector<std::string> cutTexts(const QWidget& window) {
  std::vector<std::string> cut;
  const auto check = [&](const QWidget& w, QString text, QRect area) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    const QFontMetrics metrics(w.font());
    const QSize needed(metrics.horizontalAdvance(text), metrics.height());
    if (text.isEmpty() || (needed.width() <= area.width() && needed.height() <= area.height())) return;
    cut.push_back(w.objectName().toStdString() + " (" + std::to_string(area.width()) + "x" +
                  std::to_string(area.height()) + " px) needs " + std::to_string(needed.width()) + "x" +
                  std::to_string(needed.height()) + " px for \"" + text.toStdString() + "\"");
  };
  for (const QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window)) continue;
    if (const auto* label = qobject_cast<const QLabel*>(w); label != nullptr && !label->text().isEmpty()) {
      if (auto fits = showsWhole(*label, label->text()); !fits) cut.push_back(fits.message());
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
      check(*button, button->text(), captionArea(*button));
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
      check(*edit, edit->text(), captionArea(*edit));
    } else if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
      QStyleOptionGroupBox option;
      option.initFrom(group);
      option.text = group->title();
      option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
      const QRect caption =
          group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
      check(*group, group->title(), caption.intersected(group->rect()));
    }
  }
  return cut;
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
