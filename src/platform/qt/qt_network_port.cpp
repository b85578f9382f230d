#include "platform/qt/qt_network_port.h"

#include <QObject>
#include <algorithm>
#include <utility>

#include "platform/port_access.h"

#ifndef _WIN32
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace orvik::platform::qt {

namespace {

constexpr std::size_t kLongestGreeting = 200;

// A server's words for a person: printable characters, line breaks as blanks, no blanks around.
std::string plainWords(const std::string& text) {
  std::string words;
  for (const char c : text) {
    const bool blank = c == '\r' || c == '\n' || c == '\t' || c == ' ';
    if (blank && !words.empty() && words.back() != ' ') words += ' ';
    if (!blank && static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) words += c;
  }
  if (!words.empty() && words.back() == ' ') words.pop_back();
  return words;
}

// Acknowledges what arrives at once rather than up to 40 ms later. A server that sends an answer in
// pieces (ser2net does, as the bytes come off the line) holds back each piece until the last one is
// acknowledged, so a delayed acknowledgement would stretch every answer by that much. Linux (the one
// system with the option) falls back to delaying after a while, so this is said again after every read.
void acknowledgeAtOnce([[maybe_unused]] const QTcpSocket& socket) {
#ifdef TCP_QUICKACK
  const int on = 1;
  ::setsockopt(static_cast<int>(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

// The parts of `device`'s name; a name that cannot be used fails the opening.
NetworkPortName usableName(const std::string& device) {
  NetworkPortName name = parseNetworkPortName(device);
  if (!name.problem.empty()) throw SerialError(name.problem, openFailureDetails(device, name.problem));
  return name;
}

}  // namespace

QtNetworkPort::QtNetworkPort(std::function<std::string(int)> deviceNames)
    : deviceNames_(std::move(deviceNames)) {
  limitTimer_.setSingleShot(true);
  QObject::connect(&limitTimer_, &QTimer::timeout, [this] { checkLimits(); });
  QObject::connect(&socket_, &QTcpSocket::hostFound, [this] { connecting_.start(); });
  QObject::connect(&socket_, &QTcpSocket::connected, [this] { connected(); });
  QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { arrived(); });
  QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { socketEnded(); });
  // A wait of open() that ran out is no fault of the connection: the limits decide.
  QObject::connect(&socket_, &QTcpSocket::errorOccurred, [this](QAbstractSocket::SocketError error) {
    if (error != QAbstractSocket::SocketTimeoutError) socketEnded();
  });
}

QtNetworkPort::~QtNetworkPort() {
  QObject::disconnect(&socket_, nullptr, nullptr, nullptr);
  socket_.abort();
}

void QtNetworkPort::setCommPort(int number) {
  if (open_) throw SerialError("port is open");
  if (number < 1 || number > 4) throw SerialError("invalid port number " + std::to_string(number));
  comm_ = number;
}

std::string QtNetworkPort::where() const {
  return name_.host + " port " + std::to_string(name_.port);
}

void QtNetworkPort::start(const std::string& device, const NetworkPortName& name) {
  cancel();
  device_ = device;
  name_ = name;
  telnet_ = TelnetComPort();
  greeting_.clear();
  attempt_ = Attempt::Connecting;
  connectLimit_ = QDeadlineTimer(kConnectLimit);
  refusalWait_ = QDeadlineTimer(QDeadlineTimer::Forever);
  limitTimer_.start(kConnectLimit);
  connecting_.start();
  socket_.connectToHost(QString::fromStdString(name.host), name.port);
}

void QtNetworkPort::connected() {
  if (attempt_ != Attempt::Connecting) return;
  // A request is a handful of bytes: send it at once rather than wait for the last one's acknowledgement.
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  acknowledgeAtOnce(socket_);
  if (name_.protocol == NetworkProtocol::Rfc2217) {
    const TelnetComPort::Bytes offers = telnet_.start();
    socket_.write(reinterpret_cast<const char*>(offers.data()), static_cast<qint64>(offers.size()));
  } else {
    const auto wait = std::max<std::chrono::milliseconds>(
        kRefusalWait, 4 * std::chrono::milliseconds(connecting_.elapsed()));
    refusalWait_ = QDeadlineTimer(wait);
    limitTimer_.start(nextLimit());
  }
}

TelnetComPort::Bytes QtNetworkPort::takeArrivedBytes() {
  const QByteArray bytes = socket_.readAll();
  acknowledgeAtOnce(socket_);
  if (name_.protocol == NetworkProtocol::RawTcp) return {bytes.begin(), bytes.end()};
  TelnetComPort::Bytes data;
  TelnetComPort::Bytes reply;
  telnet_.receive(
      {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())},
      data, reply);
  if (!reply.empty())
    socket_.write(reinterpret_cast<const char*>(reply.data()), static_cast<qint64>(reply.size()));
  return data;
}

void QtNetworkPort::arrived() {
  const TelnetComPort::Bytes data = takeArrivedBytes();
  if (open_) {
    input_.insert(input_.end(), data.begin(), data.end());
    // Negotiation alone is no data for the link.
    if (!data.empty()) raiseCommEvent(kCommEventReceive);
    return;
  }
  keepGreeting(data);
  if (attempt_ == Attempt::Connecting && name_.protocol == NetworkProtocol::Rfc2217 && telnet_.settled())
    settle();
}

void QtNetworkPort::keepGreeting(const TelnetComPort::Bytes& data) {
  for (const std::uint8_t byte : data) {
    if (greeting_.size() < kLongestGreeting) greeting_ += static_cast<char>(byte);
  }
}

std::chrono::milliseconds QtNetworkPort::nextLimit() const {
  qint64 left = connectLimit_.remainingTime();
  if (!refusalWait_.isForever()) left = std::min(left, refusalWait_.remainingTime());
  return std::chrono::milliseconds(std::max<qint64>(left, 0));
}

void QtNetworkPort::socketEnded() {
  if (open_) {
    // The server went away or closed the connection: as an unplugged adapter, the port closes itself
    // and says so once.
    open_ = false;
    input_.clear();
    socket_.abort();
    raiseCommEvent(kCommEventDeviceLost);
    return;
  }
  if (attempt_ != Attempt::Connecting && attempt_ != Attempt::Ready) return;
  keepGreeting(takeArrivedBytes());
  switch (socket_.error()) {
    case QAbstractSocket::HostNotFoundError:
      return fail("the host " + name_.host + " cannot be found");
    case QAbstractSocket::ConnectionRefusedError:
      return fail(name_.host + " refused the connection on port " + std::to_string(name_.port) +
                  " (no server listens there)");
    case QAbstractSocket::RemoteHostClosedError: {
      const std::string words = plainWords(greeting_);
      return fail("the server at " + where() + " closed the connection" +
                  (words.empty() ? "" : ": " + words));
    }
    default:
      return fail(where() + ": " + socket_.errorString().toStdString());
  }
}

void QtNetworkPort::checkLimits() {
  if (attempt_ != Attempt::Connecting) return;
  if (connectLimit_.hasExpired()) {
    if (socket_.state() != QAbstractSocket::ConnectedState) {
      return fail(name_.host + " did not take the connection on port " + std::to_string(name_.port) +
                  " within " + std::to_string(kConnectLimit.count()) + " s");
    }
    return fail("the server at " + where() +
                " did not answer the line settings (Telnet COM-PORT-OPTION, RFC 2217) within " +
                std::to_string(kConnectLimit.count()) + " s; a raw TCP port is named tcp://HOST:PORT");
  }
  if (refusalWait_.hasExpired()) return settle();
  limitTimer_.start(nextLimit());
}

void QtNetworkPort::settle() {
  if (name_.protocol == NetworkProtocol::Rfc2217 && !telnet_.refused() &&
      telnet_.answered() != kControllerLine) {
    return fail("the server at " + where() + " set the line to " + describeLine(telnet_.answered()) +
                ", not " + describeLine(kControllerLine));
  }
  limitTimer_.stop();
  attempt_ = Attempt::Ready;
}

void QtNetworkPort::fail(const std::string& reason) {
  limitTimer_.stop();
  attempt_ = Attempt::Failed;
  failure_ = SerialError(reason, openFailureDetails(device_, reason));
  socket_.abort();
}

void QtNetworkPort::cancel() {
  limitTimer_.stop();
  attempt_ = Attempt::None;
  socket_.abort();
}

void QtNetworkPort::adopt() {
  attempt_ = Attempt::None;
  open_ = true;
  input_.clear();
  greeting_.clear();
  if (name_.protocol != NetworkProtocol::Rfc2217 || !onServerAnswer) return;
  if (telnet_.refused()) {
    onServerAnswer(device_ +
                   ": the server takes no line settings (it refused the Telnet COM-PORT-OPTION); the "
                   "line runs as the server has it set.");
  } else {
    onServerAnswer(device_ + ": the server set the line to " + describeLine(telnet_.answered()) + ".");
  }
}

void QtNetworkPort::open() {
  if (open_) throw SerialError("port already open");
  const std::string device = deviceName(comm_);
  start(device, usableName(device));
  // Without the event loop: the socket's signals are delivered inside its waits.
  while (attempt_ == Attempt::Connecting) {
    checkLimits();
    if (attempt_ != Attempt::Connecting) break;
    const int wait = static_cast<int>(nextLimit().count());
    if (socket_.state() == QAbstractSocket::ConnectedState) {
      socket_.waitForReadyRead(wait);
    } else if (!socket_.waitForConnected(wait) && socket_.state() == QAbstractSocket::UnconnectedState &&
               socket_.error() != QAbstractSocket::SocketTimeoutError) {
      socketEnded();  // in case the failure was not signalled
    }
  }
  if (attempt_ == Attempt::Ready) return adopt();
  attempt_ = Attempt::None;
  throw failure_;
}

bool QtNetworkPort::reopen() {
  if (open_) return true;
  if (!reopenInBackground_) {
    open();
    return true;
  }
  const std::string device = deviceName(comm_);
  if (device != device_) cancel();
  switch (attempt_) {
    case Attempt::Ready:
      adopt();
      return true;
    case Attempt::Connecting:
      return false;
    case Attempt::Failed: {
      // Said now; the next try is already on its way for the next call.
      const SerialError failure = failure_;
      start(device_, name_);
      throw failure;
    }
    case Attempt::None:
      break;
  }
  start(device, usableName(device));
  return false;
}

void QtNetworkPort::close() {
  const bool wasOpen = std::exchange(open_, false);
  input_.clear();
  cancel();
  if (wasOpen) socket_.disconnectFromHost();
}

std::uint8_t QtNetworkPort::readByte() {
  return takeWaitingByte(input_);
}

void QtNetworkPort::discardInput() {
  // What waits in the socket still goes through Telnet, whose answers and half-read commands count.
  if (open_) takeArrivedBytes();
  input_.clear();
}

void QtNetworkPort::drainOutput(std::chrono::milliseconds limit) {
  QDeadlineTimer deadline(limit.count());
  while (open_ && socket_.bytesToWrite() > 0 && !deadline.hasExpired()) {
    if (!socket_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
  }
}

void QtNetworkPort::writeByte(std::uint8_t byte) {
  if (!open_) throw SerialError("port is not open");
  TelnetComPort::Bytes wire;
  if (name_.protocol == NetworkProtocol::Rfc2217) {
    TelnetComPort::escape(byte, wire);
  } else {
    wire.push_back(byte);
  }
  if (socket_.write(reinterpret_cast<const char*>(wire.data()), static_cast<qint64>(wire.size())) !=
      static_cast<qint64>(wire.size())) {
    throw SerialError(socket_.errorString().toStdString());
  }
}

}  // namespace orvik::platform::qt
