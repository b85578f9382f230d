#include "platform/telnet_com_port.h"

namespace orvik::platform {

namespace {

// Telnet commands (RFC 854) and options.
constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;
constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPortOption = 44;

// COM-PORT-OPTION commands as the client sends them; the server answers each with its code + 100.
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kServerAnswer = 100;

bool weMay(std::uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}
bool theyMay(std::uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead;
}

void append(TelnetComPort::Bytes& out, std::initializer_list<std::uint8_t> bytes) {
  out.insert(out.end(), bytes);
}

void subRequest(TelnetComPort::Bytes& out, std::uint8_t command, std::span<const std::uint8_t> value) {
  append(out, {kIac, kSb, kComPortOption, command});
  for (const std::uint8_t byte : value)
    TelnetComPort::escape(byte, out);
  append(out, {kIac, kSe});
}

std::string code(const char* what, unsigned value) {
  return std::string(what) + " code " + std::to_string(value);
}

}  // namespace

std::string describeLine(const LineSettings& line) {
  static const char* const parities[] = {"no parity", "odd parity", "even parity", "mark parity",
                                         "space parity"};
  static const char* const stops[] = {"1 stop bit", "2 stop bits", "1.5 stop bits"};
  static const char* const controls[] = {"no flow control", "XON/XOFF flow control", "hardware flow control"};
  std::string text = std::to_string(line.baud) + " baud, " + std::to_string(line.dataBits) + " data bits, ";
  text += line.parity >= 1 && line.parity <= 5 ? parities[line.parity - 1] : code("parity", line.parity);
  text += ", ";
  text +=
      line.stopBits >= 1 && line.stopBits <= 3 ? stops[line.stopBits - 1] : code("stop bits", line.stopBits);
  text += ", ";
  text += line.control >= 1 && line.control <= 3 ? controls[line.control - 1]
                                                 : code("flow control", line.control);
  return text;
}

void TelnetComPort::escape(std::uint8_t byte, Bytes& out) {
  out.push_back(byte);
  if (byte == kIac) out.push_back(kIac);
}

TelnetComPort::Bytes TelnetComPort::start() {
  local_[kComPortOption] = Q::WantYes;
  local_[kBinary] = Q::WantYes;
  remote_[kBinary] = Q::WantYes;
  return {kIac, kWill, kComPortOption, kIac, kWill, kBinary, kIac, kDo, kBinary};
}

void TelnetComPort::receive(std::span<const std::uint8_t> bytes, Bytes& data, Bytes& reply) {
  for (const std::uint8_t byte : bytes) {
    switch (step_) {
      case Step::Data:
        if (byte == kIac) {
          step_ = Step::Command;
        } else {
          data.push_back(byte);
        }
        break;
      case Step::Command:
        command(byte, data);
        break;
      case Step::Option:
        step_ = Step::Data;
        negotiate(verb_, byte, reply);
        break;
      case Step::Sub:
        if (byte == kIac) {
          step_ = Step::SubCommand;
        } else if (sub_.size() < kLongestSub) {
          sub_.push_back(byte);
        }
        break;
      case Step::SubCommand:
        if (byte == kIac) {  // a doubled 0xFF inside the subnegotiation
          if (sub_.size() < kLongestSub) sub_.push_back(byte);
          step_ = Step::Sub;
        } else {
          subnegotiation();
          // Only IAC SE ends a subnegotiation; any other command ends it too, and is then obeyed.
          if (byte == kSe) {
            step_ = Step::Data;
          } else {
            command(byte, data);
          }
        }
        break;
    }
  }
}

void TelnetComPort::command(std::uint8_t byte, Bytes& data) {
  step_ = Step::Data;
  if (byte == kIac) {
    data.push_back(kIac);
  } else if (byte >= kWill && byte <= kDont) {
    verb_ = byte;
    step_ = Step::Option;
  } else if (byte == kSb) {
    sub_.clear();
    step_ = Step::Sub;
  }
  // Everything else (no operation, go ahead, break, data mark, ...) carries nothing for the line.
}

void TelnetComPort::negotiate(std::uint8_t verb, std::uint8_t option, Bytes& reply) {
  const bool aboutUs = verb == kDo || verb == kDont;
  const bool enable = verb == kDo || verb == kWill;
  Q& state = aboutUs ? local_[option] : remote_[option];
  const bool allowed = aboutUs ? weMay(option) : theyMay(option);
  const std::uint8_t yes = aboutUs ? kWill : kDo;
  const std::uint8_t no = aboutUs ? kWont : kDont;
  if (enable) {
    if (state == Q::Yes) return;
    if (state == Q::No && !allowed) {
      append(reply, {kIac, no, option});
      return;
    }
    if (state == Q::No) append(reply, {kIac, yes, option});
    state = Q::Yes;
    if (aboutUs && option == kComPortOption) requestLine(reply);
  } else {
    if (state == Q::No) return;
    if (state == Q::Yes) append(reply, {kIac, no, option});
    state = Q::No;
    if (aboutUs && option == kComPortOption) comPortRefused_ = true;
  }
}

void TelnetComPort::requestLine(Bytes& reply) const {
  const LineSettings& line = kControllerLine;
  const std::uint8_t baud[] = {
      static_cast<std::uint8_t>(line.baud >> 24), static_cast<std::uint8_t>(line.baud >> 16),
      static_cast<std::uint8_t>(line.baud >> 8), static_cast<std::uint8_t>(line.baud)};
  subRequest(reply, kSetBaudRate, baud);
  subRequest(reply, kSetDataSize, std::span(&line.dataBits, 1));
  subRequest(reply, kSetParity, std::span(&line.parity, 1));
  subRequest(reply, kSetStopSize, std::span(&line.stopBits, 1));
  subRequest(reply, kSetControl, std::span(&line.control, 1));
}

void TelnetComPort::subnegotiation() {
  if (sub_.size() < 3 || sub_[0] != kComPortOption) return;
  const int answer = sub_[1] - kServerAnswer;
  const std::uint8_t value = sub_[2];
  switch (answer) {
    case kSetBaudRate:
      if (sub_.size() < 6) return;
      answered_.baud = static_cast<std::uint32_t>(sub_[2]) << 24 | static_cast<std::uint32_t>(sub_[3]) << 16 |
                       static_cast<std::uint32_t>(sub_[4]) << 8 | sub_[5];
      break;
    case kSetDataSize:
      answered_.dataBits = value;
      break;
    case kSetParity:
      answered_.parity = value;
      break;
    case kSetStopSize:
      answered_.stopBits = value;
      break;
    case kSetControl:
      answered_.control = value;
      break;
    default:
      return;  // signatures, line and modem state notices, flow control suspends
  }
  answeredMask_ |= 1u << (answer - 1);
}

}  // namespace orvik::platform
