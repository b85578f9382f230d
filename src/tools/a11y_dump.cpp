// orvik-a11y-dump NAME: prints what assistive tools read of the running application NAME (its
// accessibility tree on the AT-SPI bus of the current D-Bus session), one object a line:
//   depth<TAB>role<TAB>name<TAB>description<TAB>flags
// where flags holds "enabled", "showing" and "active" as they apply. Exits 1 when no such application
// is registered. UI automation of the end-to-end tests reads the monitor's windows through it.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QTextStream>
#include <cstdio>

namespace {

struct ObjectRef {
  QString service;
  QDBusObjectPath path;
};

const QDBusArgument& operator>>(const QDBusArgument& arg, ObjectRef& ref) {
  arg.beginStructure();
  arg >> ref.service >> ref.path;
  arg.endStructure();
  return arg;
}
QDBusArgument& operator<<(QDBusArgument& arg, const ObjectRef& ref) {
  arg.beginStructure();
  arg << ref.service << ref.path;
  arg.endStructure();
  return arg;
}

}  // namespace

Q_DECLARE_METATYPE(ObjectRef)
Q_DECLARE_METATYPE(QList<ObjectRef>)

namespace {

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr int kStateActive = 1;
constexpr int kStateEnabled = 8;
constexpr int kStateShowing = 25;
constexpr int kMaxDepth = 40;

QDBusMessage call(QDBusConnection& bus, const ObjectRef& ref, const char* iface, const char* method) {
  QDBusMessage m = QDBusMessage::createMethodCall(ref.service, ref.path.path(), iface, method);
  return bus.call(m, QDBus::Block, 2000);
}

QString property(QDBusConnection& bus, const ObjectRef& ref, const char* name) {
  QDBusMessage m =
      QDBusMessage::createMethodCall(ref.service, ref.path.path(), "org.freedesktop.DBus.Properties", "Get");
  m << QString(kAccessible) << QString(name);
  const QDBusMessage reply = bus.call(m, QDBus::Block, 2000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

QList<ObjectRef> children(QDBusConnection& bus, const ObjectRef& ref) {
  const QDBusMessage reply = call(bus, ref, kAccessible, "GetChildren");
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  QList<ObjectRef> list;
  reply.arguments().first().value<QDBusArgument>() >> list;
  return list;
}

bool hasState(const QList<uint>& words, int state) {
  const int word = state / 32;
  return word < words.size() && (words[word] & (1u << (state % 32))) != 0;
}

QString oneLine(QString text) {
  text.replace(QLatin1Char('\t'), QLatin1Char(' '));
  text.replace(QLatin1Char('\r'), QStringLiteral("\\n"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  return text;
}

void dump(QDBusConnection& bus, const ObjectRef& ref, int depth, QTextStream& out) {
  const QDBusMessage role = call(bus, ref, kAccessible, "GetRoleName");
  const QDBusMessage state = call(bus, ref, kAccessible, "GetState");
  QList<uint> words;
  if (state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty())
    state.arguments().first().value<QDBusArgument>() >> words;
  QStringList flags;
  if (hasState(words, kStateEnabled)) flags << "enabled";
  if (hasState(words, kStateShowing)) flags << "showing";
  if (hasState(words, kStateActive)) flags << "active";
  out << depth << '\t' << (role.arguments().isEmpty() ? QString() : role.arguments().first().toString())
      << '\t' << oneLine(property(bus, ref, "Name")) << '\t' << oneLine(property(bus, ref, "Description"))
      << '\t' << flags.join(',') << '\n';
  if (depth >= kMaxDepth) return;
  for (const ObjectRef& child : children(bus, ref))
    dump(bus, child, depth + 1, out);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvik-a11y-dump APPLICATION-NAME\n");
    return 2;
  }
  qDBusRegisterMetaType<ObjectRef>();
  qDBusRegisterMetaType<QList<ObjectRef>>();

  QDBusInterface launcher("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", QDBusConnection::sessionBus());
  const QDBusReply<QString> address = launcher.call("GetAddress");
  if (!address.isValid()) {
    std::fprintf(stderr, "orvik-a11y-dump: no accessibility bus: %s\n",
                 qPrintable(address.error().message()));
    return 1;
  }
  QDBusConnection bus = QDBusConnection::connectToBus(address.value(), "a11y");
  const ObjectRef registry{"org.a11y.atspi.Registry", QDBusObjectPath("/org/a11y/atspi/accessible/root")};
  QTextStream out(stdout);
  for (const ObjectRef& application : children(bus, registry)) {
    if (property(bus, application, "Name") != QString::fromLocal8Bit(argv[1])) continue;
    dump(bus, application, 0, out);
    return 0;
  }
  std::fprintf(stderr, "orvik-a11y-dump: %s is not on the accessibility bus\n", argv[1]);
  return 1;
}
