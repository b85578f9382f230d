#pragma once

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::app {

// The splash window: a picture for two seconds, then the main window. Closed before that, it ends the
// program: no other window would ever be shown, and the run would hold its serial port with none.
class frmLogo : public platform::Form {
 public:
  frmLogo(platform::Ui& ui, platform::Form& mainWindow);

  void Form_Load() override;
  void Form_Unload() override;
  void tmrLogo_Timer();

  platform::Image Picture2{*this, "Picture2", "orvik:splash"};
  platform::Timer tmrLogo{*this, "tmrLogo", 2000};

 private:
  platform::Form& main_;
};

}  // namespace orvik::app
