#include "app/frm_main.h"

#include "app/frm_about.h"
#include "link/display_format.h"
#include "platform/ui.h"
#include "port_settings/port_opening.h"
#include "port_settings/settings_file.h"
#include "ports/frm_ports.h"

namespace orvik::app {

namespace {

constexpr int kWidth = 5070;
constexpr int kHeight = 6915;
constexpr double kValuePoints = 13.5;
constexpr double kSmallPoints = 7.5;

// Rows of caption and value field inside a frame, one every 480 twips.
void placeRows(platform::Frame& frame,
               std::initializer_list<std::pair<platform::Label*, platform::Label*>> rows) {
  int top = 300;
  for (auto [caption, value] : rows) {
    caption->setContainer(&frame);
    caption->place(150, top + 90, 1350, 255);
    value->setContainer(&frame);
    value->place(1560, top, 3000, 435);
    top += 480;
  }
}

void styleValueField(platform::Label& field, std::string description) {
  field.setFont({kValuePoints, true});
  field.setAlignment(platform::Alignment::Center);
  field.setForeColor(platform::kGreen);
  field.setBackColor(platform::kBlack);
  field.setDescription(std::move(description));
}

}  // namespace

frmMain::frmMain(platform::Ui& ui, link::RunState& state, link::ControllerLink& link, platform::Files& files)
    : Form(ui, "frmMain", "Orvik Monitor"), state_(state), link_(link), files_(files) {
  resize(kWidth, kHeight);
  layOut();
  buildMenus();
  link_.setListener(this);
  cmdClose.onClick = [this] { cmdClose_Click(); };
  tmrUpdate.onTick = [this] { tmrUpdate_Timer(); };
}

frmMain::~frmMain() {
  link_.setListener(nullptr);
}

void frmMain::layOut() {
  // Charger: four rows of caption and value.
  fraCharger.place(120, 60, 4710, 2250);
  placeRows(fraCharger, {{&lblTECaption, &lblTEvolts},
                         {&lblModeCaption, &lblChargeMode},
                         {&lblSetpointCaption, &lblSetpoint},
                         {&lblControlCaption, &lblPWMvalue}});
  styleValueField(lblTEvolts, "TE module voltage");
  styleValueField(lblChargeMode, "Charge mode");
  styleValueField(lblSetpoint, "Battery charge setpoint");
  styleValueField(lblPWMvalue, "Charger control output");

  fraBattery.place(120, 2370, 4710, 1290);
  placeRows(fraBattery, {{&lblBatVoltsCaption, &lblBatVolts}, {&lblBatTempCaption, &lblBatTemp}});
  styleValueField(lblBatVolts, "Battery voltage");
  styleValueField(lblBatTemp, "Battery temperature");

  fraAlarm.place(120, 3720, 4710, 960);
  lblAlarmCode.setContainer(&fraAlarm);
  lblAlarmCode.place(150, 240, 4410, 660);
  lblAlarmCode.setForeColor(platform::kDarkRed);
  lblAlarmCode.setDescription("Alarm messages");

  lblCalCaption.place(120, 4755, 1080, 255);
  lblCalDate.place(1230, 4755, 1230, 255);
  lblCalDate.setFont({0, true});
  lblCalDate.setDescription("Calibration date");
  lblCalHint.place(2490, 4755, 1200, 255);
  lblCalHint.setForeColor(platform::kGrey);

  lblRevHardwareCaption.place(120, 5025, 1800, 255);
  lblRevHardware.place(1950, 5025, 450, 255);
  lblRevHardware.setFont({0, true});
  lblRevHardware.setDescription("Hardware revision");
  lblRevSoftwareCaption.place(2490, 5025, 1800, 255);
  lblRevSoftware.place(4320, 5025, 510, 255);
  lblRevSoftware.setFont({0, true});
  lblRevSoftware.setDescription("Software revision");

  ledRefresh.place(150, 5370, 240, 240);
  ledRefresh.setDescription("Link indicator");
  lblRefresh.place(480, 5355, 3120, 270);
  lblRefresh.setFont({0, true});
  lblRefresh.setDescription("Link status");
  cmdClose.place(3720, 5310, 1110, 375);

  lblTest.place(120, 5730, 4710, 390);
  lblTest.setFont({kSmallPoints, false});
  lblTest.setForeColor(platform::kGrey);
  lblTest.setDescription("Last answer from the controller");
}

void frmMain::buildMenus() {
  mnuExit.onClick = [this] { mnuExit_Click(); };
  mnuSerialPort.onClick = [this] { mnuSerialPort_Click(); };
  mnuAbout.onClick = [this] { mnuAbout_Click(); };
  mnuIndex.setEnabled(false);  // there is no help file
}

void frmMain::Form_Load() {
  resize(kWidth, kHeight);
  const platform::Size screen = ui().screenSize();
  move((screen.width - width()) / 2, (screen.height - height()) / 2);
  link_.resetReceiveState();
  setLiveCommandsEnabled(false);
  openConfiguredPort();
  if (state_.PortNumber == 0 && link_.port().isOpen()) link_.port().close();
  ui().setPointer(platform::Pointer::Normal);
}

void frmMain::openConfiguredPort() {
  state_.PortNumber = port_settings::readPortNumber(files_);
  if (state_.PortNumber == 0) return;
  try {
    port_settings::openCommPort(link_.port(), state_.PortNumber);
  } catch (const platform::SerialError&) {
    ui().beep();
    ui().messageBox(port_settings::portUnavailableBox(state_.PortNumber));
    state_.PortNumber = 0;
  }
}

void frmMain::Form_Activate() {
  if (state_.PortNumber < 1 || state_.PortNumber > 4) {
    const auto answer = ui().messageBox(
        {"This tool kit requires a serial port for communicating.\r\rWould you like to choose a port now? ",
         "Setup Required...", platform::MsgIcon::Information, platform::MsgButtons::YesNo});
    if (answer == platform::MsgResult::Yes) choosePort();
  }
  if (link_.port().isOpen()) tmrUpdate.setEnabled(true);
  ui().setPointer(platform::Pointer::Normal);
}

void frmMain::Form_Unload() {
  ui().endProgram();
}

void frmMain::cmdClose_Click() {
  ui().endProgram();
}

void frmMain::mnuExit_Click() {
  cmdClose_Click();
}

void frmMain::mnuSerialPort_Click() {
  tmrUpdate.setEnabled(false);
  choosePort();
  if (link_.port().isOpen()) tmrUpdate.setEnabled(true);
}

void frmMain::choosePort() {
  const int before = state_.PortNumber;
  ports::frmPorts dialog(ui(), *this, link_, files_);
  ui().showModal(dialog);
  if (state_.PortNumber != before && link_.port().isOpen()) {
    state_.TEvolts = state_.BatVolts = state_.BatTemp = state_.Setpoint = 0;
    state_.PWMvalue = 0;
    showLive(link::LiveView{});
  }
}

void frmMain::mnuAbout_Click() {
  // One About box: a second choice brings the open one forward.
  if (!about_ || !about_->lifecycle().loaded) about_ = std::make_unique<frmAbout>(ui(), *this);
  ui().show(*about_);
}

void frmMain::tmrUpdate_Timer() {
  reopenLostPort();
  link_.RequestStatus();
}

void frmMain::reopenLostPort() {
  // Polling runs with the port closed only when its device went away. One quiet try a poll: a missing
  // device fails at once, and one that is back under the same name is polled from this tick on.
  if (link_.port().isOpen() || state_.PortNumber < 1 || state_.PortNumber > 4) return;
  try {
    port_settings::openCommPort(link_.port(), state_.PortNumber);
  } catch (const platform::SerialError&) {
  }
}

void frmMain::showLive(const link::LiveView& view) {
  const auto show = [](platform::Label& label, const link::FieldText& field) {
    label.setText(field.text);
    label.setForeColor(field.colour);
  };
  show(lblTEvolts, view.teVolts);
  show(lblChargeMode, view.chargeMode);
  show(lblSetpoint, view.setpoint);
  show(lblPWMvalue, view.pwm);
  show(lblBatVolts, view.batVolts);
  show(lblBatTemp, view.batTemp);
  lblAlarmCode.setText(view.alarm);
  lblRevHardware.setText(view.revHardware);
  lblRevSoftware.setText(view.revSoftware);
  lblCalDate.setText(view.calDate);
  state_.shown = view;
}

void frmMain::setLinkStatus(const char* text) {
  lblRefresh.setText(text);
  state_.linkStatus = text;
}

void frmMain::setLiveCommandsEnabled(bool enabled) {
  for (platform::MenuItem* item : {&mnuReport, &mnuTrimTemp, &mnuTrimVolts, &mnuTrimTE, &mnuCalDate})
    item->setEnabled(enabled);
}

void frmMain::packetSent() {
  ledRefresh.setFillColor(platform::kRed);
}

void frmMain::packetReceived(std::span<const std::uint8_t> packet) {
  setLinkStatus(link::kLinkAnswered);
  lblTest.setText(link::PacketLine(packet));
}

void frmMain::statusReceived(const link::StatusRecord& record) {
  showLive(link::StatusView(record, state_.shown));
}

void frmMain::answerSettled() {
  ledRefresh.setFillColor(platform::kDarkRed);
}

void frmMain::linkDown() {
  ledRefresh.setFillColor(platform::kDarkRed);
  setLinkStatus(link::kLinkNoResponse);
  lblTest.setText(link::kLinkTimedOut);
}

void frmMain::liveCommandsAvailable(bool available) {
  setLiveCommandsEnabled(available);
}

}  // namespace orvik::app
