#include "ports/frm_ports.h"

#include <string>

#include "platform/ui.h"
#include "port_settings/port_opening.h"
#include "port_settings/settings_file.h"
#include "version.h"

namespace orvik::ports {

using port_settings::kSettingsFile;
using port_settings::writePortNumber;

namespace {
// The colour of a tooltip: pale yellow.
constexpr platform::Colour kInfoBackground = 0xE1FFFF;
}  // namespace

frmPorts::frmPorts(platform::Ui& ui, const platform::Form& mainWindow, link::ControllerLink& link,
                   platform::Files& files)
    : Form(ui, "frmPorts", "Setup Serial Port"), main_(mainWindow), link_(link), files_(files) {
  resize(3600, 3000);
  picStatus.place(120, 120, 3240, 420);
  picStatus.setBackColor(kInfoBackground);
  Label1.setContainer(&picStatus);
  Label1.place(120, 90, 3000, 255);
  Label1.setAlignment(platform::Alignment::Center);
  Label1.setDescription("Port search status");

  fraPorts.place(120, 660, 3240, 1200);
  int n = 1;
  for (platform::OptionButton* option : options()) {
    option->setContainer(&fraPorts);
    option->place(n % 2 == 1 ? 240 : 1740, n <= 2 ? 330 : 750, 1350, 300);
    option->setEnabled(false);
    option->setToolTip(link_.port().deviceName(n));
    option->setDescription("Serial port " + std::to_string(n) + ", " + link_.port().deviceName(n));
    ++n;
  }
  cmdCancel.place(1200, 2040, 1200, 375);
  cmdCancel.setDefault(true);
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
  tmrFlush.onTick = [this] { tmrFlush_Timer(); };
}

void frmPorts::Form_Load() {
  platform::centreOver(*this, main_);
  link_.stopReceiveTimeout();
  if (link_.port().isOpen()) link_.port().close();
  tmrFlush.setEnabled(true);
}

void frmPorts::tmrFlush_Timer() {
  tmrFlush.setEnabled(false);
  CheckSerialPorts();
}

void frmPorts::CheckSerialPorts() {
  platform::SerialPort& port = link_.port();
  int& portNumber = link_.state().PortNumber;

  // Bounded: a port that never drains must not hang the window.
  link::guardStep([&] { port.drainOutput(kDrainLimit); });
  link::guardStep([&] { port.discardInput(); });
  if (portNumber >= 1 && portNumber <= 4) options()[portNumber - 1]->setValue(true);
  ui().repaint(*this);

  std::vector<port_settings::DeniedPort> denied;
  for (int n = 1; n <= 4; ++n) {
    bool found = true;
    try {
      port.setCommPort(n);
      port.open();
      if (port.isOpen()) port.close();
    } catch (const platform::SerialError& e) {
      found = false;
      if (!e.accessRemedy().empty()) denied.push_back({n, port.deviceName(n), e.what(), e.accessRemedy()});
    } catch (const std::exception&) {
      found = false;
    }
    platform::OptionButton& option = *options()[n - 1];
    if (found) {
      option.setEnabled(true);
      if (portNumber == 0) {
        option.setValue(true);
        portNumber = n;
      }
    } else {
      if (option.value()) options()[n % 4]->setValue(true);
      option.setEnabled(false);
    }
  }

  probed_ = true;
  if (nothingToChoose()) {
    ui().beep();
    ui().messageBox(
        {"No unused serial ports were detected!\rThis program requires an RS232 port to communicate "
         "with the register.",
         "Port Error", platform::MsgIcon::Critical, platform::MsgButtons::Ok});
    // Ports that are there but not this user's: why, and the way out, which no choice here gives.
    if (!denied.empty()) {
      ui().messageBox(port_settings::noAccessBox(denied));
      explainedNoAccess_ = true;
    }
  }
  picStatus.setVisible(false);
  ui().setPointer(platform::Pointer::Normal);
}

bool frmPorts::nothingToChoose() const {
  return !optCom1.enabled() && !optCom2.enabled() && !optCom3.enabled() && !optCom4.enabled();
}

void frmPorts::cmdCancel_Click() {
  int& portNumber = link_.state().PortNumber;
  for (int n = 1; n <= 4; ++n) {
    if (options()[n - 1]->value()) portNumber = n;
  }
  if (portNumber < 1 || portNumber > 4) {
    // Nothing valid to save or open: the dialog stays for another choice.
    ui().messageBox({"Invalid Port number", kAppTitle, platform::MsgIcon::None, platform::MsgButtons::Ok});
    // Before the probe a port may yet turn up; after it found none, there is nothing to wait for here.
    if (probed_ && nothingToChoose()) close();
    return;
  }
  try {
    link_.openPort(portNumber);
  } catch (const platform::SerialError& e) {
    // The chosen port cannot be opened: say so, save nothing, and let the user choose another.
    port_settings::tellPortUnavailable(ui(), portNumber, link_.port().deviceName(portNumber), e);
    return;
  }
  if (!writePortNumber(files_, portNumber)) {
    ui().messageBox({"The port choice could not be saved in " + std::string(kSettingsFile) + ".\rComm " +
                         std::to_string(portNumber) + " is used for this run only.",
                     "Port Setup", platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
  }
  close();
}

}  // namespace orvik::ports
