#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvik::platform {

// A serial line's settings in the codes of the Telnet COM-PORT-OPTION (RFC 2217).
struct LineSettings {
  std::uint32_t baud = 0;
  std::uint8_t dataBits = 0;
  std::uint8_t parity = 0;    // 1 none, 2 odd, 3 even, 4 mark, 5 space
  std::uint8_t stopBits = 0;  // 1 one, 2 two, 3 one and a half
  std::uint8_t control = 0;   // 1 no flow control, 2 XON/XOFF, 3 hardware

  bool operator==(const LineSettings&) const = default;
};

// What the controller speaks: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
inline constexpr LineSettings kControllerLine{9600, 8, 1, 1, 1};

// "9600 baud, 8 data bits, no parity, 1 stop bit, no flow control", for a person.
std::string describeLine(const LineSettings& line);

// The client's side of Telnet with the COM-PORT-OPTION over one connection, without the connection:
// bytes in, the controller's bytes and the protocol's answers out. It offers binary transmission both
// ways and the COM-PORT-OPTION, and once the server takes the option it asks for kControllerLine.
// Negotiation follows RFC 1143's rule that a request already in force is not answered, so the two
// sides never loop; options other than binary, suppress-go-ahead and the COM-PORT-OPTION are refused
// (echo too: an echoing server would hand the program its own requests back).
//   start()                 -> the offers to send on connecting
//   receive(bytes, data, r) -> the controller's bytes (0xFF undoubled) into `data`, answers into `r`;
//                              a command split across reads is taken up where it stopped
//   escape(byte, out)       -> a byte for the wire, 0xFF doubled
class TelnetComPort {
 public:
  using Bytes = std::vector<std::uint8_t>;

  Bytes start();
  void receive(std::span<const std::uint8_t> bytes, Bytes& data, Bytes& reply);
  static void escape(std::uint8_t byte, Bytes& out);

  // The server refused the COM-PORT-OPTION: the line runs as the server has it set.
  bool refused() const { return comPortRefused_; }
  // The server refused the option, or has answered each of the line's settings.
  bool settled() const { return comPortRefused_ || answeredMask_ == kAllAnswered; }
  // What the server answered: the settings it actually uses.
  const LineSettings& answered() const { return answered_; }

 private:
  enum class Step { Data, Command, Option, Sub, SubCommand };
  // RFC 1143's states of an option on one side, less the ones a client that never withdraws needs.
  enum class Q : std::uint8_t { No, Yes, WantYes };
  static constexpr unsigned kAllAnswered = 0x1F;
  static constexpr std::size_t kLongestSub = 64;

  void command(std::uint8_t byte, Bytes& data);
  void negotiate(std::uint8_t verb, std::uint8_t option, Bytes& reply);
  void subnegotiation();
  void requestLine(Bytes& reply) const;

  Step step_ = Step::Data;
  std::uint8_t verb_ = 0;
  Bytes sub_;
  std::array<Q, 256> local_{};   // what we do (our WILL)
  std::array<Q, 256> remote_{};  // what the server does (its WILL)
  bool comPortRefused_ = false;
  unsigned answeredMask_ = 0;
  LineSettings answered_;
};

}  // namespace orvik::platform
