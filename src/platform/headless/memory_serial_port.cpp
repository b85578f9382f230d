#include "platform/headless/memory_serial_port.h"

#include <algorithm>
#include <string>

#include "platform/port_access.h"

namespace orvik::platform::headless {

MemorySerialPort::MemorySerialPort(HeadlessUi& ui) : ui_(ui) {}

void MemorySerialPort::setAvailability(int number, Availability a) {
  if (number >= 1 && number <= 4) availability_[number] = a;
}

void MemorySerialPort::attach(int number, Peer& peer) {
  if (number >= 1 && number <= 4) peers_[number] = &peer;
}

void MemorySerialPort::setCommPort(int number) {
  if (open_) throw SerialError("port is open");
  if (number < 1 || number > 4) throw SerialError("invalid port number " + std::to_string(number));
  comm_ = number;
}

std::string MemorySerialPort::deviceName(int number) const {
  return "memory:" + std::to_string(number);
}

void MemorySerialPort::open() {
  if (open_) throw SerialError("port already open");
  ++openAttempts_;
  switch (availability_[comm_]) {
    case Availability::Missing:
      throw SerialError("no such device", openFailureDetails(deviceName(comm_), "No such file or directory"));
    case Availability::Held:
      throw SerialError("port in use by another program",
                        openFailureDetails(deviceName(comm_), "Device or resource busy"));
    case Availability::Denied: {
      const std::string remedy = permissionRemedy({"tech", "dialout", true, false, false});
      throw SerialError("Permission denied",
                        openFailureDetails(deviceName(comm_), "Permission denied", remedy), remedy);
    }
    case Availability::Usable:
      break;
  }
  open_ = true;
  ++opens_;
  ++session_;
  input_.clear();
  sinceEvent_ = 0;
}

void MemorySerialPort::close() {
  if (!open_) return;
  open_ = false;
  ++session_;
  input_.clear();
  txDone_.clear();
}

void MemorySerialPort::unplug() {
  availability_[comm_] = Availability::Missing;
  if (!open_) return;
  close();
  raiseCommEvent(kCommEventDeviceLost);
}

std::uint8_t MemorySerialPort::readByte() {
  if (!open_) throw SerialError("port is not open");
  return takeWaitingByte(input_);
}

int MemorySerialPort::outBufferCount() const {
  const auto now = ui_.nowUs();
  return static_cast<int>(
      std::count_if(txDone_.begin(), txDone_.end(), [&](std::int64_t t) { return t > now; }));
}

void MemorySerialPort::drainOutput(std::chrono::milliseconds) {
  // Bytes already handed to the line finish on their own; nothing blocks on the virtual clock.
}

void MemorySerialPort::writeByte(std::uint8_t byte) {
  if (!open_) throw SerialError("port is not open");
  written_.push_back(byte);
  const std::int64_t now = ui_.nowUs();
  while (!txDone_.empty() && txDone_.front() <= now)
    txDone_.pop_front();
  txFreeAt_ = requestsAtOnce_ ? now : std::max(txFreeAt_, now) + kByteTimeUs;
  if (!requestsAtOnce_) txDone_.push_back(txFreeAt_);
  Peer* peer = peers_[comm_];
  if (peer == nullptr) return;
  const unsigned long session = session_;
  ui_.scheduleAt(txFreeAt_, [this, peer, byte, session] {
    if (open_ && session == session_) peer->hostWrote(byte);
  });
}

void MemorySerialPort::deliver(const std::vector<std::uint8_t>& bytes, std::chrono::microseconds delay,
                               int chunk) {
  const unsigned long session = session_;
  std::int64_t t = std::max(rxFreeAt_, ui_.nowUs() + delay.count());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    t += kByteTimeUs;
    const bool last = i + 1 == bytes.size();
    const std::uint8_t b = bytes[i];
    ui_.scheduleAt(t, [this, b, last, session, chunk] { arrive(b, last, session, chunk); });
  }
  rxFreeAt_ = t;
}

void MemorySerialPort::receiveNow(const std::vector<std::uint8_t>& bytes) {
  if (!open_) return;
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  ++receiveEvents_;
  raiseCommEvent(kCommEventReceive);
}

void MemorySerialPort::arrive(std::uint8_t byte, bool lastOfBurst, unsigned long session, int chunk) {
  if (!open_ || session != session_) return;
  input_.push_back(byte);
  if (++sinceEvent_ >= (chunk > 0 ? chunk : chunk_) || lastOfBurst) {
    sinceEvent_ = 0;
    ++receiveEvents_;
    raiseCommEvent(kCommEventReceive);
  }
}

}  // namespace orvik::platform::headless
