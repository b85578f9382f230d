// orvik-screen-grab FILE.png: saves what the X display shows (the whole screen) as a PNG.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvik-screen-grab FILE.png\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "orvik-screen-grab: could not grab the screen into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
