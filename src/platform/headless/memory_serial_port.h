#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/headless/headless_ui.h"
#include "platform/serial_port.h"

namespace orvik::platform::headless {

// An in-memory serial port on the headless clock, both directions at 9600 8N1 line speed.
//   attach(n, peer)         -> bytes the program writes to Comm n reach peer.hostWrote() one by one
//   deliver(bytes, delay)   -> the peer's answer arrives byte by byte, raising receive events
//   setAvailability / unplug -> ports that are missing, held by another program, not the user's to open,
//                               or vanish while open
//                               (raising kCommEventDeviceLost); setAvailability(n, Usable) brings one back
class MemorySerialPort final : public SerialPort {
 public:
  // 10 bits a byte at 9600 bit/s.
  static constexpr std::int64_t kByteTimeUs = 1042;

  enum class Availability { Usable, Missing, Held, Denied };  // Denied: there, but not this user's

  class Peer {
   public:
    virtual ~Peer() = default;
    virtual void hostWrote(std::uint8_t byte) = 0;
  };

  explicit MemorySerialPort(HeadlessUi& ui);

  void setAvailability(int number, Availability a);
  void attach(int number, Peer& peer);
  // The attached peer sends `bytes`, starting `delay` from now (after anything still on the line), a
  // receive event every `chunk` bytes (0: as setReceiveChunk says).
  void deliver(const std::vector<std::uint8_t>& bytes, std::chrono::microseconds delay, int chunk = 0);
  // `bytes` are waiting in the input at once and one receive event is raised now (an open port only).
  void receiveNow(const std::vector<std::uint8_t>& bytes);
  // How many arrived bytes make one receive event (the last byte of a burst always raises one).
  void setReceiveChunk(int bytes) { chunk_ = bytes < 1 ? 1 : bytes; }
  // Bytes written reach the peer at once, as through a pseudo-terminal or a network port, where the far
  // end's line sets the pace: an answer can then follow the answer before within a byte time.
  void setRequestsAtOnce(bool atOnce) { requestsAtOnce_ = atOnce; }
  // The device vanishes while open: the port closes and says so, as the real backend does on a device
  // error.
  void unplug();

  // Everything the program wrote, in order, and how many receive events were raised.
  const std::vector<std::uint8_t>& written() const { return written_; }
  void clearWritten() { written_.clear(); }
  int receiveEvents() const { return receiveEvents_; }
  int opens() const { return opens_; }
  int openAttempts() const { return openAttempts_; }

  void setCommPort(int number) override;
  int commPort() const override { return comm_; }
  std::string deviceName(int number) const override;
  void setHandshakingNone() override {}
  void open() override;
  void close() override;
  bool isOpen() const override { return open_; }
  int inBufferCount() const override { return static_cast<int>(input_.size()); }
  std::uint8_t readByte() override;
  void discardInput() override { input_.clear(); }
  int outBufferCount() const override;
  void drainOutput(std::chrono::milliseconds limit) override;
  void writeByte(std::uint8_t byte) override;

 private:
  void arrive(std::uint8_t byte, bool lastOfBurst, unsigned long session, int chunk);

  HeadlessUi& ui_;
  std::array<Availability, 5> availability_{Availability::Missing, Availability::Usable, Availability::Usable,
                                            Availability::Usable, Availability::Usable};
  std::array<Peer*, 5> peers_{};
  int comm_ = 1;
  bool open_ = false;
  unsigned long session_ = 0;  // bumps on every open and close, so stale deliveries are dropped
  std::deque<std::uint8_t> input_;
  std::deque<std::int64_t> txDone_;  // completion times of bytes still being sent
  std::int64_t txFreeAt_ = 0;
  std::int64_t rxFreeAt_ = 0;
  int chunk_ = 1;
  bool requestsAtOnce_ = false;
  int sinceEvent_ = 0;
  int receiveEvents_ = 0;
  int opens_ = 0;
  int openAttempts_ = 0;
  std::vector<std::uint8_t> written_;
};

}  // namespace orvik::platform::headless
