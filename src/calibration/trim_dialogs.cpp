#include "calibration/trim_dialogs.h"

#include "link/parameter_numbers.h"

namespace orvik::calibration {

namespace {

constexpr const char* kVoltageOutOfRange = "Voltage entered exceeds operating range.";
constexpr const char* kTemperatureOutOfRange = "Temperature entered exceeds operating range.";
constexpr const char* kVoltageHint = "Type the voltage with a decimal point, for example 12.5.";

const TrimSetup kBatteryVolts = {
    .formName = "frmBatVolts",
    .caption = "Trim Battery Volts",
    .measuredCaption = "Measured Battery Volts:",
    .measuredName = "lblBatVolts",
    .actualCaption = "Actual Battery Volts:",
    .entryName = "txtBatVolts",
    .quantity = "battery voltage",
    .storedName = "lblGain",
    .reading = &link::RunState::BatVolts,
    .decimals = 3,
    .fieldLow = 10,
    .fieldHigh = 32,
    .shownLow = 10,
    .shownHigh = 32,
    .lowest = 10,
    .highest = 32,
    .tooLowText = kVoltageOutOfRange,
    .tooHighText = kVoltageOutOfRange,
    .numberHint = kVoltageHint,
    .correction = Correction::Gain,
    .parameter = link::parameter::kBatteryVoltsGain,
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
    .quantity = "TE module voltage",
    .storedName = "lblGain",
    .reading = &link::RunState::TEvolts,
    .decimals = 3,
    .fieldLow = 4,
    .fieldHigh = 17,
    .shownLow = 0,
    .shownHigh = 20,
    .lowest = 3,
    .highest = 20,
    .tooLowText =
        "Actual TE module voltage must be greater than 3.0 volts\rbefore the trimming can be performed.",
    .tooHighText = kVoltageOutOfRange,
    .numberHint = kVoltageHint,
    .correction = Correction::Gain,
    .parameter = link::parameter::kTeVoltsGain,
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
    .quantity = "battery temperature",
    .storedName = "lblOffset",
    .reading = &link::RunState::BatTemp,
    .decimals = 0,
    .fieldLow = -50,
    .fieldHigh = 150,
    .shownLow = -50,
    .shownHigh = 150,
    .lowest = -50,
    .highest = 150,
    .tooLowText = kTemperatureOutOfRange,
    .tooHighText = kTemperatureOutOfRange,
    .numberHint = "Type the temperature in degrees Fahrenheit, for example 77 or -5.",
    .correction = Correction::Offset,
    .parameter = link::parameter::kBatteryTempOffset,
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
