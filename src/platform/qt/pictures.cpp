#include "platform/qt/pictures.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace orvik::platform::qt {

namespace {

const QColor kInk{0x2f, 0x3b, 0x48};
const QColor kHot{0xe8, 0x55, 0x3d};
const QColor kWarm{0xf0, 0x8a, 0x4b};
const QColor kCold{0x3d, 0x7f, 0xe8};
const QColor kCool{0x4b, 0xb4, 0xf0};
const QColor kCopper{0xc8, 0x80, 0x3a};
const QColor kCharge{0x3f, 0xb5, 0x6a};
const QColor kBolt{0xf2, 0xb0, 0x1e};

// The drawings are made on a fixed canvas and scaled uniformly to fit, centred.
void fitCanvas(QPainter& p, QSize target, QSizeF canvas) {
  const qreal scale = std::min(target.width() / canvas.width(), target.height() / canvas.height());
  p.translate((target.width() - canvas.width() * scale) / 2, (target.height() - canvas.height() * scale) / 2);
  p.scale(scale, scale);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& from, const QColor& to) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  return g;
}

// A thermo-electric module: hot ceramic plate on top, cold plate below, P and N legs joined by
// copper tabs alternately at the top and the bottom.
void drawModule(QPainter& p) {
  p.setPen(Qt::NoPen);
  constexpr int kLegs = 6;
  for (int i = 0; i < kLegs; ++i) {
    const qreal x = 82 + i * 26;
    p.setBrush(i % 2 == 0 ? QColor(0x5a, 0x6b, 0x7d) : QColor(0x9a, 0xa8, 0xb5));
    p.drawRect(QRectF(x, 86, 16, 50));
  }
  p.setBrush(kCopper);
  for (int i = 0; i + 1 < kLegs; ++i) {
    const qreal x = 82 + i * 26;
    p.drawRect(QRectF(x, i % 2 == 0 ? 131 : 86, 42, 5));
  }
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(vertical(70, 86, kWarm, kHot));
  p.drawRoundedRect(QRectF(70, 70, 170, 16), 3, 3);
  p.setBrush(vertical(136, 152, kCold, kCool));
  p.drawRoundedRect(QRectF(70, 136, 170, 16), 3, 3);

  // Heat rising from the hot side, cool air under the cold side.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kWarm, 3, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) {
    const qreal x = 110 + i * 45;
    QPainterPath wave(QPointF(x, 62));
    wave.cubicTo(x - 8, 55, x + 8, 48, x, 40);
    p.drawPath(wave);
  }
  p.setPen(QPen(kCool, 3, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) {
    const qreal x = 110 + i * 45;
    p.drawLine(QPointF(x - 8, 164), QPointF(x + 8, 164));
    p.drawLine(QPointF(x - 5, 172), QPointF(x + 5, 172));
  }
}

void drawBolt(QPainter& p, const QPolygonF& bolt, const QColor& fill, const QPen& outline) {
  p.setPen(outline);
  p.setBrush(fill);
  p.drawPolygon(bolt);
}

void drawBattery(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRoundedRect(QRectF(345, 46, 30, 14), 3, 3);
  p.setPen(QPen(kInk, 4));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(320, 58, 80, 120), 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(kCharge);
  for (qreal y : {146.0, 118.0, 90.0})
    p.drawRoundedRect(QRectF(332, y, 56, 22), 3, 3);
}

void drawWires(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  QPainterPath positive(QPointF(240, 78));
  positive.cubicTo(290, 78, 360, 14, 360, 46);
  p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(positive);
  QPainterPath negative(QPointF(240, 144));
  negative.cubicTo(300, 144, 360, 205, 360, 178);
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(negative);
}

void drawSplash(QPainter& p, QSize size) {
  fitCanvas(p, size, QSizeF(480, 300));
  drawModule(p);
  drawWires(p);
  drawBattery(p);
  drawBolt(p,
           QPolygonF({QPointF(288, 88), QPointF(271, 118), QPointF(282, 118), QPointF(275, 142),
                      QPointF(296, 108), QPointF(285, 108), QPointF(293, 88)}),
           kBolt, QPen(kInk, 1.5));

  QFont title = QGuiApplication::font();
  title.setPixelSize(34);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0x1f, 0x2d, 0x3a));
  p.drawText(QRectF(0, 200, 480, 44), Qt::AlignCenter, QStringLiteral("Orvik Monitor"));
  QFont subtitle = QGuiApplication::font();
  subtitle.setPixelSize(15);
  p.setFont(subtitle);
  p.setPen(QColor(0x5a, 0x6b, 0x7d));
  p.drawText(QRectF(0, 246, 480, 24), Qt::AlignCenter, QStringLiteral("Thermo-electric charger diagnostics"));

  QLinearGradient accent(120, 0, 360, 0);
  accent.setColorAt(0, kHot);
  accent.setColorAt(1, kCold);
  p.setPen(Qt::NoPen);
  p.setBrush(accent);
  p.drawRoundedRect(QRectF(120, 282, 240, 3), 1.5, 1.5);
}

// A battery whose body runs from the hot colour to the cold one, with a charging bolt.
void drawIcon(QPainter& p, QSize size) {
  fitCanvas(p, size, QSizeF(64, 64));
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRoundedRect(QRectF(24, 4, 16, 8), 2, 2);
  p.setPen(QPen(kInk, 3.5));
  p.setBrush(vertical(10, 60, kHot, kCold));
  p.drawRoundedRect(QRectF(13, 10, 38, 50), 6, 6);
  drawBolt(p,
           QPolygonF({QPointF(36, 16), QPointF(22, 38), QPointF(31, 38), QPointF(27, 55), QPointF(43, 30),
                      QPointF(34, 30), QPointF(39, 16)}),
           Qt::white, QPen(kInk, 1.5));
}

}  // namespace

bool isKnownPicture(const std::string& source) {
  return source == "orvik:splash" || source == "orvik:icon";
}

QPixmap drawPicture(const std::string& source, QSize size) {
  if (!isKnownPicture(source) || size.isEmpty()) return {};
  const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(size * ratio);
  pixmap.setDevicePixelRatio(ratio);
  const bool splash = source == "orvik:splash";
  pixmap.fill(splash ? QColor(Qt::white) : QColor(Qt::transparent));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  if (splash) {
    drawSplash(p, size);
  } else {
    drawIcon(p, size);
  }
  return pixmap;
}

namespace {

// The application icon, drawn at the size asked for each time it is asked: the window system takes
// every size when a window is made, and nothing is kept in between (the seven sizes held as pixmaps
// would take 360 KB for the whole run).
class DrawnIconEngine final : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/, qreal scale) override {
    QPixmap drawn = drawPicture("orvik:icon", size * scale);
    if (mode == QIcon::Normal || drawn.isNull() || qobject_cast<QApplication*>(qApp) == nullptr) return drawn;
    // Disabled or selected: as the style shows any other icon in that mode.
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, drawn, &option);
  }
  QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
    const int side = std::min(size.width(), size.height());
    return {side, side};
  }
  QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
    // The sizes a window's title bar and task switcher draw. Every size offered is drawn and handed to
    // the window system for each window shown; the launcher's larger icons come from the icon theme.
    return {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
  }
  QString key() const override { return QStringLiteral("orvik:icon"); }
  QIconEngine* clone() const override { return new DrawnIconEngine; }
};

}  // namespace

QIcon applicationIcon() {
  return QIcon(new DrawnIconEngine);
}

}  // namespace orvik::platform::qt
