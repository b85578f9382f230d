#include "platform/qt/window_placement.h"

#include <QApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace orvik::platform::qt {

void placeBeside(QWidget& window, const QWidget* opener) {
  if (opener == nullptr || !opener->isVisible() || opener->screen() == nullptr) return;
  // Styled and laid out now, so that its minimum width is the one it will have on screen.
  window.ensurePolished();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  if (window.layout() != nullptr) window.layout()->activate();
  const QRect screen = opener->screen()->availableGeometry();
  const QRect beside = opener->frameGeometry();
  // The window manager's frame is not there before the window is shown: the opener's tells its size.
  const QSize frame = beside.size() - opener->size();
  const int right = screen.right() - beside.right();
  const int left = beside.left() - screen.left();
  const int room = std::max(right, left) - frame.width();
  int width = window.width();
  if (width > room && right < width + frame.width() && left < width + frame.width())
    width = std::max({room, window.minimumSizeHint().width(), window.minimumWidth()});
  window.resize(width, window.height());
  const int outer = width + frame.width();
  int x = 0;
  if (right >= outer) {
    x = beside.right() + 1;
  } else if (left >= outer) {
    x = beside.left() - outer;
  } else {
    x = right >= left ? screen.right() + 1 - outer : screen.left();
  }
  const int y =
      std::max(screen.top(), std::min(beside.top(), screen.bottom() + 1 - window.height() - frame.height()));
  window.move(x, y);
}

void showFromActiveWindow(QWidget& window, bool opening) {
  QWidget* opener = opening ? QApplication::activeWindow() : nullptr;
  if (opening) {
    placeBeside(window, opener);
    QObject::connect(&window, &QObject::destroyed, [opener = QPointer<QWidget>(opener)] {
      if (opener.isNull() || !opener->isVisible()) return;
      opener->raise();
      opener->activateWindow();
    });
  }
  window.show();
  // A table or a chart may take its full minimum width only once shown: placed again by that.
  if (opening) placeBeside(window, opener);
  window.raise();
  window.activateWindow();
}

}  // namespace orvik::platform::qt
