#include "platform/control.h"

#include <algorithm>

#include "platform/form.h"

namespace orvik::platform {

namespace {

// Controls the user works with take the keyboard; those that only show something do not.
bool takesKeyboard(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
    case ControlKind::TextBox:
    case ControlKind::NumericEdit:
    case ControlKind::DateEdit:
    case ControlKind::OptionButton:
      return true;
    case ControlKind::Label:
    case ControlKind::Shape:
    case ControlKind::Frame:
    case ControlKind::Image:
      return false;
  }
  return false;
}

}  // namespace

Control::Control(Form& owner, std::string name, ControlKind kind)
    : owner_(owner), name_(std::move(name)), kind_(kind), tabStop_(takesKeyboard(kind)) {
  owner_.controls_.push_back(this);
}

Control::~Control() {
  std::erase(owner_.controls_, this);
}

void Control::setGeometry(Rect r) {
  assign(geometry_, r);
}
void Control::setVisible(bool v) {
  assign(visible_, v);
}
void Control::setEnabled(bool e) {
  assign(enabled_, e);
}
void Control::setTabStop(bool t) {
  assign(tabStop_, t);
}
void Control::setDescription(std::string d) {
  assign(description_, d);
}
void Control::setContainer(Frame* frame) {
  assign(container_, frame);
}

}  // namespace orvik::platform
