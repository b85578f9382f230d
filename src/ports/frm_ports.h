#pragma once

#include <array>
#include <chrono>

#include "link/controller_link.h"
#include "platform/controls.h"
#include "platform/files.h"
#include "platform/form.h"
#include "platform/timer.h"
#include "port_settings/port_opening.h"

namespace orvik::ports {

// How long the probe waits for the port's output to drain before it closes it for good.
inline constexpr std::chrono::milliseconds kDrainLimit{1000};

// "Setup Serial Port": finds which of Comm 1..4 can be opened, offers those, saves the choice and opens
// it on the controller link's port. The dialog has no port of its own.
class frmPorts : public platform::Form {
 public:
  frmPorts(platform::Ui& ui, const platform::Form& mainWindow, link::ControllerLink& link,
           platform::Files& files);

  void Form_Load() override;
  void tmrFlush_Timer();
  void CheckSerialPorts();
  void cmdCancel_Click();

  platform::Frame picStatus{*this, "picStatus", ""};
  platform::Label Label1{*this, "Label1", "Looking for available ports..."};
  platform::Frame fraPorts{*this, "fraPorts", "Serial Port"};
  platform::OptionButton optCom1{*this, "optCom1", "Comm 1"};
  platform::OptionButton optCom2{*this, "optCom2", "Comm 2"};
  platform::OptionButton optCom3{*this, "optCom3", "Comm 3"};
  platform::OptionButton optCom4{*this, "optCom4", "Comm 4"};
  platform::Button cmdCancel{*this, "cmdCancel", "&OK"};
  platform::Timer tmrFlush{*this, "tmrFlush", 3000};

  std::array<platform::OptionButton*, 4> options() { return {&optCom1, &optCom2, &optCom3, &optCom4}; }
  // The probe found no port to use and said why: their devices are there, but not this user's to open.
  bool explainedNoAccess() const { return explainedNoAccess_; }

 private:
  // Once the probe is done, whether it left a port to choose.
  bool nothingToChoose() const;

  const platform::Form& main_;
  link::ControllerLink& link_;
  platform::Files& files_;
  bool probed_ = false;
  bool explainedNoAccess_ = false;
};

}  // namespace orvik::ports
