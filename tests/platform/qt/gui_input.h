#pragma once

#include "platform/qt/qt_wait.h"

// User input for tests of the Qt backend, delivered the way the window system delivers it: through the
// window's platform handle, so shortcuts, focus, default buttons and modality all take part.
//   pressKey(window, Qt::Key_R, Qt::ControlModifier)   -> a key press and release to the focused widget
//   click(widget)                                     -> a left click at the widget's centre
//   processEventsUntil(predicate)                     -> run events until it holds (or 5 s pass)
//   BoxAnswerer answer(act, ready)                    -> answers the next message box once ready() holds

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <functional>

QT_BEGIN_NAMESPACE
// Exported by QtGui for Qt's own test library; the tests here link no QtTest.
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* w, QEvent::Type t, int k, Qt::KeyboardModifiers mods,
                                    const QString& text = QString(), bool autorep = false, ushort count = 1);
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button, QEvent::Type type,
                                      Qt::KeyboardModifiers mods, int timestamp);
QT_END_NAMESPACE

namespace orvik::testing {

inline void pressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString& text = {}) {
  QWindow* handle = window->window()->windowHandle();
  qt_handleKeyEvent(handle, QEvent::KeyPress, key, modifiers, text);
  qt_handleKeyEvent(handle, QEvent::KeyRelease, key, modifiers, text);
  QCoreApplication::processEvents();
}

inline void typeText(QWidget* window, const QString& text) {
  for (QChar c : text)
    pressKey(window, static_cast<Qt::Key>(c.toUpper().unicode()), Qt::NoModifier, QString(c));
}

inline void click(QWidget* widget) {
  static int timestamp = 0;
  QWidget* window = widget->window();
  const QPointF local = widget->mapTo(window, widget->rect().center());
  const QPointF global = window->mapToGlobal(local);
  timestamp += 1000;  // far apart: never a double click
  qt_handleMouseEvent(window->windowHandle(), local, global, Qt::LeftButton, Qt::LeftButton,
                      QEvent::MouseButtonPress, Qt::NoModifier, timestamp);
  qt_handleMouseEvent(window->windowHandle(), local, global, Qt::NoButton, Qt::LeftButton,
                      QEvent::MouseButtonRelease, Qt::NoModifier, timestamp + 10);
  QCoreApplication::processEvents();
}

// A left-button drag across `widget` from one point to another, in its coordinates.
inline void drag(QWidget* widget, QPoint from, QPoint to) {
  static int timestamp = 500;
  QWidget* window = widget->window();
  const auto send = [&](QPoint at, Qt::MouseButtons held, QEvent::Type type) {
    const QPointF local = widget->mapTo(window, at);
    timestamp += 100;
    qt_handleMouseEvent(window->windowHandle(), local, window->mapToGlobal(local), held, Qt::LeftButton, type,
                        Qt::NoModifier, timestamp);
  };
  send(from, Qt::LeftButton, QEvent::MouseButtonPress);
  send((from + to) / 2, Qt::LeftButton, QEvent::MouseMove);
  send(to, Qt::LeftButton, QEvent::MouseMove);
  send(to, Qt::NoButton, QEvent::MouseButtonRelease);
  QCoreApplication::processEvents();
}

// Answers the next message box once `ready` holds: `act` reads it and presses a button or key.
class BoxAnswerer {
 public:
  BoxAnswerer(
      std::function<void(QMessageBox&)> act, std::function<bool()> ready = [] { return true; }) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this, act = std::move(act), ready = std::move(ready)] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isActiveWindow() || !ready()) return;
      timer_.stop();
      act(*box);
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

}  // namespace orvik::testing
