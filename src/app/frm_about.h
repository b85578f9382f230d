#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/form.h"

namespace orvik::app {

// "Version 2.1.3": each number plain decimal, no leading zeros.
std::string versionText(int major, int minor, int revision);

// The About box: title, version and what the tool is for. Not modal.
class frmAbout : public platform::Form {
 public:
  frmAbout(platform::Ui& ui, const platform::Form& mainWindow);

  void Form_Load() override;
  void cmdOK_Click();

  platform::Image picIcon{*this, "picIcon", "orvik:icon"};
  platform::Label lblTitle{*this, "lblTitle", ""};
  platform::Label lblVersion{*this, "lblVersion", ""};
  platform::Label lblDescription{*this, "lblDescription", ""};
  platform::Label Label1{*this, "Label1", ""};
  platform::Button cmdOK{*this, "cmdOK", "OK"};

 private:
  const platform::Form& main_;
};

}  // namespace orvik::app
