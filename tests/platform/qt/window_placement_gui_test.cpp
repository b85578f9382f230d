// Where a window of its own (the live trend, the service history) opens: beside the window it was opened
// from, not over it.
#include "platform/qt/window_placement.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace orvik::platform::qt {
namespace {

TEST(WindowPlacement, BesideTheOpenerWhereTheScreenHasRoomElseOverAsLittleOfItAsItCan) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_EQ(std::make_pair(screen.left(), screen.width()), std::make_pair(0, 800)) << "the offscreen screen";
  enum Side { Right, Left, ScreenEdge };
  struct Row {
    int openerLeft, width, minimumWidth;
    Side side;
    int placedWidth;  // 0: as wide as the room right of the opener
  };
  const Row rows[] = {
      {0, 400, 0, Right, 400},           // there is room right of it
      {450, 400, 0, Left, 400},          // left of it
      {250, 400, 0, Right, 0},           // narrowed into the wider room
      {250, 400, 350, ScreenEdge, 350},  // no narrower than it may be: over a little of the opener
  };
  for (const Row& row : rows) {
    QWidget opener;
    opener.setGeometry(row.openerLeft, 50, 300, 400);
    opener.show();
    const QRect beside = opener.frameGeometry();
    const int frame = beside.width() - opener.width();
    QWidget window;
    window.resize(row.width, 300);
    window.setMinimumWidth(row.minimumWidth);
    placeBeside(window, &opener);
    const int left = window.x(), right = window.x() + window.width() + frame - 1;  // its frame's edges
    SCOPED_TRACE(std::to_string(row.openerLeft) + ", minimum " + std::to_string(row.minimumWidth));
    EXPECT_EQ(window.width(),
              row.placedWidth != 0 ? row.placedWidth : screen.right() - beside.right() - frame);
    EXPECT_EQ(window.y(), beside.top());
    EXPECT_TRUE(screen.contains(QRect(QPoint(left, window.y()), QPoint(right, window.y()))));
    const int expected[] = {beside.right() + 1, beside.left() - 1, screen.right()};
    EXPECT_EQ(row.side == Right ? left : right, expected[row.side]);
  }
}

}  // namespace
}  // namespace orvik::platform::qt
