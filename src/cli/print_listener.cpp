#include "cli/print_listener.h"

#include <cstdio>

#include "link/display_format.h"
#include "link/status_view.h"

namespace orvik::cli {

void PrintListener::packetSent() {
  const auto& tx = state_.TxBuffer;
  out_ << "sent";
  for (int i = 0; i <= tx[1] && i < static_cast<int>(tx.size()); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", tx[i]);
    out_ << hex;
  }
  out_ << '\n';
}

void PrintListener::packetReceived(std::span<const std::uint8_t> packet) {
  ++answers_;
  out_ << link::kLinkAnswered << ':' << link::PacketLine(packet) << '\n';
}

void PrintListener::statusReceived(const link::StatusRecord& record) {
  const link::LiveView view = link::StatusView(record, state_.shown);
  state_.shown = view;
  out_ << "TE Module: " << view.teVolts.text << '\n'
       << "Mode: " << view.chargeMode.text << '\n'
       << "Setpoint: " << view.setpoint.text << '\n'
       << "Control: " << view.pwm.text << '\n'
       << "Battery Voltage: " << view.batVolts.text << '\n'
       << "Battery Temperature: " << view.batTemp.text << '\n';
  // A sensor warning starts with a carriage return that puts it on a line of its own in the window.
  std::string alarm = view.alarm;
  if (!alarm.empty() && alarm.front() == '\r') alarm.erase(0, 1);
  out_ << "Alarm: " << alarm << '\n'
       << "Calibrated: " << view.calDate << '\n'
       << "Hardware Revision: " << view.revHardware << '\n'
       << "Software Revision: " << view.revSoftware << '\n';
  out_.flush();
}

void PrintListener::linkDown() {
  ++timeouts_;
  out_ << link::kLinkNoResponse << '\n';
  out_.flush();
}

void PrintListener::liveCommandsAvailable(bool available) {
  if (available == liveCommands_) return;
  liveCommands_ = available;
  out_ << (available ? "Controller commands available" : "Controller commands unavailable") << '\n';
}

}  // namespace orvik::cli
