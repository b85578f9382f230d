// Telnet with the COM-PORT-OPTION as the client speaks it, from the server's bytes.
#include "platform/telnet_com_port.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvik::platform {
namespace {

using Bytes = TelnetComPort::Bytes;

Bytes hex(const std::string& text) {
  Bytes bytes;
  std::istringstream in(text);
  for (unsigned value = 0; in >> std::hex >> value;)
    bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

// The line the client asks for once the server takes the option (9600 8N1, no flow control), and the
// server's answers.
const std::string kAsk =
    "FF FA 2C 01 00 00 25 80 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 "
    "FF FA 2C 04 01 FF F0 FF FA 2C 05 01 FF F0";
const std::string kAnswers =
    "FF FA 2C 65 00 00 25 80 FF F0 FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 "
    "FF FA 2C 68 01 FF F0 FF FA 2C 69 01 FF F0";

TEST(TelnetComPort, KeepsTheControllersBytesApartFromNegotiationHoweverTheReadsSplitThem) {
  struct Row {
    const char* what;
    std::string fromServer, data, reply;
    std::uint32_t baud = 0;  // as the server answered it
    bool settled = false, refused = false;
  };
  const std::vector<Row> rows = {
      {"7F 7F FF FF and FF FF FF FF, doubled", "3E 7F 7F FF FF FF FF FF FF FF FF FF FF FF FF",
       "3E 7F 7F FF FF FF FF FF FF", ""},
      {"ser2net's offers: only suppress-go-ahead is new, echo is refused",
       "FF FB 03 FF FD 03 FF FB 01 FF FE 01 FF FD 00 FF FB 00 41", "41", "FF FD 03 FF FB 03 FF FE 01"},
      {"a request in force is not answered again", "FF FD 00 FF FD 00 FF FB 03 FF FB 03", "", "FF FD 03"},
      {"unknown options are refused", "FF FD 18 FF FB 05", "", "FF FC 18 FF FE 05"},
      {"the option taken: the line is asked for", "FF FD 2C", "", kAsk},
      {"the answers settle the line", "FF FD 2C 42 FF FA 2C 6B 00 FF F0 " + kAnswers + " 43", "42 43", kAsk,
       9600, true},
      {"a doubled FF inside an answer", "FF FA 2C 65 00 00 FF FF FF FF FF F0", "", "", 0xFFFF},
      {"the option refused", "FF FE 2C", "", "", 0, true, true},
      {"binary withdrawn", "FF FD 00 FF FE 00", "", "FF FC 00"},
      {"commands without options carry nothing", "FF F1 41 FF F9 42 FF F3", "41 42", ""},
  };
  for (const Row& row : rows) {
    const Bytes in = hex(row.fromServer);
    // Whole, cut once at every place, and a byte a read.
    std::vector<std::vector<std::size_t>> cuts(in.size() + 1);
    for (std::size_t at = 1; at < in.size(); ++at) {
      cuts[at] = {at};
      cuts.back().push_back(at);
    }
    for (const auto& at : cuts) {
      SCOPED_TRACE(std::string(row.what) + ", cut at " + ::testing::PrintToString(at));
      TelnetComPort telnet;
      EXPECT_EQ(telnet.start(), hex("FF FB 2C FF FB 00 FF FD 00"));
      Bytes data, reply;
      std::size_t from = 0;
      for (const std::size_t to : at) {
        telnet.receive(std::span(in).subspan(from, to - from), data, reply);
        from = to;
      }
      telnet.receive(std::span(in).subspan(from), data, reply);
      EXPECT_EQ(data, hex(row.data));
      EXPECT_EQ(reply, hex(row.reply));
      EXPECT_EQ(telnet.answered().baud, row.baud);
      EXPECT_EQ(telnet.settled(), row.settled);
      EXPECT_EQ(telnet.refused(), row.refused);
      EXPECT_TRUE(!row.settled || row.refused || telnet.answered() == kControllerLine);
    }
  }
}

TEST(TelnetComPort, DoublesEveryFFGoingOutAndDescribesALineInWords) {
  Bytes wire;
  for (const std::uint8_t byte : hex("3D 07 12 7F 7F FF FF EB"))
    TelnetComPort::escape(byte, wire);
  EXPECT_EQ(wire, hex("3D 07 12 7F 7F FF FF FF FF EB"));
  EXPECT_EQ(describeLine({19200, 7, 3, 3, 3}),
            "19200 baud, 7 data bits, even parity, 1.5 stop bits, hardware flow control");
  EXPECT_EQ(describeLine({9600, 8, 9, 0, 7}),
            "9600 baud, 8 data bits, parity code 9, stop bits code 0, flow control code 7");
}

}  // namespace
}  // namespace orvik::platform
