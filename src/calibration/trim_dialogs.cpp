#include "calibration/trim_dialogs.h"

namespace orvik::calibration {

namespace {

const TrimSetup kBatteryVolts = {
    .formName = "frmBatVolts",
    .caption = "Trim Battery Volts",
    .measuredCaption = "Measured Battery Volts:",
    .measuredName = "lblBatVolts",
    .actualCaption = "Actual Battery Volts:",
    .entryName = "txtBatVolts",
    .storedName = "lblGain",
    .fieldLow = 10,
    .fieldHigh = 32,
    .shownLow = 10,
    .shownHigh = 32,
    .kind = TrimKind::BatteryVolts,
    .readingText = "Reading Battery Volts gain...",
    .savingText = "Saving Battery Volts Gain...",
    .cancelTitle = "Battery Voltage Trim",
    .normalPointerOnActivate = false,
};

const TrimSetup kTeVolts = {
    .formName = "frmTEVolts",
    .caption = "Trim TE Module Volts",
    .measuredCaption = "Measured TE Module Volts:",
    .measuredName = "lblTEvolts",
    .actualCaption = "Actual TE Volts:",
    .entryName = "txtTEvolts",
    .storedName = "lblGain",
    .fieldLow = 4,
    .fieldHigh = 17,
    .shownLow = 0,
    .shownHigh = 20,
    .kind = TrimKind::TeVolts,
    .readingText = "Reading TE Volts gain...",
    .savingText = "Saving TE Volts Gain...",
    .cancelTitle = "Battery Voltage Trim",
    .normalPointerOnActivate = false,
};

const TrimSetup kBatteryTemp = {
    .formName = "frmBatOffset",
    .caption = "Trim Battery Temperature",
    .measuredCaption = "Measured Temperature:",
    .measuredName = "lblBatTemp",
    .actualCaption = "Actual Battery Temperature:",
    .entryName = "txtBatTemp",
    .storedName = "lblOffset",
    .fieldLow = -50,
    .fieldHigh = 150,
    .shownLow = -50,
    .shownHigh = 150,
    .kind = TrimKind::BatteryTemp,
    .readingText = "Reading Battery Offset...",
    .savingText = "Saving Battery Temp Offset...",
    .cancelTitle = "Battery Temperature Trim",
    .normalPointerOnActivate = true,
};

}  // namespace

frmBatVolts::frmBatVolts(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
                         const platform::Form& mainWindow)
    : TrimDialog(ui, link, state, mainWindow, kBatteryVolts) {}

frmTEVolts::frmTEVolts(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
                       const platform::Form& mainWindow)
    : TrimDialog(ui, link, state, mainWindow, kTeVolts) {}

frmBatOffset::frmBatOffset(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
                           const platform::Form& mainWindow)
    : TrimDialog(ui, link, state, mainWindow, kBatteryTemp) {}

}  // namespace orvik::calibration
