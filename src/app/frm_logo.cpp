#include "app/frm_logo.h"

#include "platform/ui.h"

namespace orvik::app {

frmLogo::frmLogo(platform::Ui& ui, platform::Form& mainWindow) : Form(ui, "frmLogo", ""), main_(mainWindow) {
  setBorderStyle(platform::BorderStyle::None);
  setBackColor(platform::kWhite);
  resize(6000, 3600);
  Picture2.place(0, 0, 6000, 3600);
  Picture2.setDescription("Orvik Monitor");
  tmrLogo.onTick = [this] { tmrLogo_Timer(); };
}

void frmLogo::Form_Load() {
  const platform::Size screen = ui().screenSize();
  move((screen.width - width()) / 2, (screen.height - height()) / 2);
  ui().setPointer(platform::Pointer::Busy);
  tmrLogo.setEnabled(true);
}

void frmLogo::Form_Unload() {
  if (!main_.lifecycle().loaded) ui().endProgram();
}

void frmLogo::tmrLogo_Timer() {
  tmrLogo.setEnabled(false);
  ui().show(main_);
  ui().hide(*this);
}

}  // namespace orvik::app
