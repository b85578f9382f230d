#pragma once

#include "calibration/trim_dialog.h"

namespace orvik::calibration {

// "Trim Battery Volts": corrects the battery voltage gain (parameter 18).
class frmBatVolts : public TrimDialog {
 public:
  frmBatVolts(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
              const platform::Form& mainWindow);

  platform::Label& lblBatVolts = measured;
  platform::NumericEdit& txtBatVolts = entry;
  platform::Label& lblGain = stored;
};

// "Trim TE Module Volts": corrects the TE module voltage gain (parameter 22).
class frmTEVolts : public TrimDialog {
 public:
  frmTEVolts(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
             const platform::Form& mainWindow);

  platform::Label& lblTEvolts = measured;
  platform::NumericEdit& txtTEvolts = entry;
  platform::Label& lblGain = stored;
};

// "Trim Battery Temperature": corrects the battery temperature offset (parameter 30).
class frmBatOffset : public TrimDialog {
 public:
  frmBatOffset(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
               const platform::Form& mainWindow);

  platform::Label& lblBatTemp = measured;
  platform::NumericEdit& txtBatTemp = entry;
  platform::Label& lblOffset = stored;
};

}  // namespace orvik::calibration
