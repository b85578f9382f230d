// The yardsticks of bench/measure-footprint.sh: a Qt Widgets program that shows one empty window, or
// with --menu-and-text a main window with a menu bar and a line of text, the least a window that shows
// anything to read costs (text drawing and menus load their own libraries and fonts). A further
// WIDTHxHEIGHT sizes that window, so that its backing store is as large as another window's.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--menu-and-text") == 0) {
    QMainWindow window;
    window.menuBar()->addMenu("&File")->addAction("E&xit");
    window.setCentralWidget(new QLabel("Orvik Monitor"));
    if (argc > 2) {
      int width = 0, height = 0;
      if (std::sscanf(argv[2], "%dx%d", &width, &height) == 2) window.resize(width, height);
    }
    window.show();
    return QApplication::exec();
  }
  QWidget window;
  window.show();
  return QApplication::exec();
}
