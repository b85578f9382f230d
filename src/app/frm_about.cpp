#include "app/frm_about.h"

#include "version.h"

namespace orvik::app {

std::string versionText(int major, int minor, int revision) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

frmAbout::frmAbout(platform::Ui& ui, const platform::Form& mainWindow)
    : Form(ui, "frmAbout", "About"), main_(mainWindow) {
  resize(5730, 3630);
  picIcon.place(240, 240, 720, 720);
  lblTitle.place(1140, 240, 4290, 480);
  lblTitle.setFont({12, true});
  lblVersion.place(1140, 780, 4290, 255);
  lblVersion.setDescription("Program version");
  lblDescription.place(1140, 1170, 4290, 1230);
  lblDescription.setText(
      "Reads the live status of a thermo-electric battery charger's controller over a serial port, trims its "
      "calibration constants against a reference instrument, and shows its diagnostics.");
  Label1.place(240, 2700, 3840, 255);
  Label1.setText("For trained service technicians.");
  Label1.setForeColor(platform::kGrey);
  cmdOK.place(4170, 2640, 1260, 375);
  cmdOK.setDefault(true);
  cmdOK.setCancel(true);
  cmdOK.onClick = [this] { cmdOK_Click(); };
}

void frmAbout::Form_Load() {
  move(main_.left() + 200, main_.top() + 500);
  setCaption(std::string("About ") + kAppTitle);
  lblVersion.setText(versionText(kVersionMajor, kVersionMinor, kVersionRevision));
  lblTitle.setText(kAppTitle);
}

void frmAbout::cmdOK_Click() {
  close();
}

}  // namespace orvik::app
