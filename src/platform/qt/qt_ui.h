#pragma once

#include <QColor>
#include <QString>
#include <memory>
#include <string>

#include "platform/colour.h"
#include "platform/ui.h"

class QWidget;

namespace orvik::platform::qt {

// The window system on Qt Widgets: every form becomes a top-level window whose widgets mirror the
// form's control models both ways, with timers on QTimer and message boxes on QMessageBox.
// Requires a QApplication.
class QtUi final : public Ui {
 public:
  QtUi();
  ~QtUi() override;

  TimerEngine& timers() override;
  MsgResult messageBox(const MessageBox& box) override;
  void beep() override;
  void setPointer(Pointer p) override;
  Pointer pointer() const override;
  Size screenSize() const override;
  Date today() const override;
  std::chrono::system_clock::time_point now() const override;
  std::optional<std::string> chooseSaveFile(const SaveFileQuestion& question) override;
  std::optional<std::string> chooseOpenFile(const OpenFileQuestion& question) override;
  void repaint(Form& form) override;
  void endProgram() override;
  bool ended() const override;

  // The window showing `form` while it is loaded, else null.
  QWidget* windowOf(const Form& form) const;
  // The widget mirroring the named control of `form`, else null.
  QWidget* widgetOf(const Form& form, const std::string& controlName) const;

 protected:
  void createView(Form& form) override;
  void showView(Form& form) override;
  void hideView(Form& form) override;
  void destroyView(Form& form) override;
  void runModalLoop(Form& form, const std::function<bool()>& done) override;
  void post(std::function<void()> fn) override;
  void formActivated(Form& form) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// How much larger than designed the windows are laid out: the desktop font against the font they were
// designed for (DejaVu Sans 9 pt at 96 dpi, Qt's default on Debian), by the width of its characters or
// the height of its lines, whichever grew more; never below 1. A larger font, or a desktop that scales
// its fonts by dots per inch, gets windows, fields and the windows' own fonts larger in proportion.
double layoutScale();
// Twips to logical pixels at the layout scale: 1440 twips are one logical inch of 96 pixels at scale 1.
int twipsToPixels(int twips);
int pixelsToTwips(int pixels);
QColor toQColor(Colour colour);
// Program text (UTF-8, a carriage return for a line break) to Qt text.
QString toQtText(const std::string& text);

}  // namespace orvik::platform::qt
