#include "platform/control.h"

#include <algorithm>

#include "platform/form.h"

namespace orvik::platform {

Control::Control(Form& owner, std::string name, ControlKind kind)
    : owner_(owner), name_(std::move(name)), kind_(kind) {
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
void Control::setDescription(std::string d) {
  assign(description_, d);
}
void Control::setContainer(Frame* frame) {
  assign(container_, frame);
}

}  // namespace orvik::platform
