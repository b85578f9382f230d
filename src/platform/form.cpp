#include "platform/form.h"

#include <algorithm>

#include "platform/control.h"
#include "platform/ui.h"

namespace orvik::platform {

Form::Form(Ui& ui, std::string name, std::string caption)
    : ui_(ui), name_(std::move(name)), caption_(std::move(caption)) {
  ui_.registerForm(*this);
}

Form::~Form() {
  ui_.forgetForm(*this);
}

void Form::setCaption(std::string c) {
  if (c == caption_) return;
  caption_ = std::move(c);
  if (observer_) observer_();
}

void Form::setGeometry(Rect r) {
  if (r == geometry_) return;
  geometry_ = r;
  if (observer_) observer_();
}

Control* Form::findControl(const std::string& name) const {
  auto it = std::find_if(controls_.begin(), controls_.end(), [&](Control* c) { return c->name() == name; });
  return it == controls_.end() ? nullptr : *it;
}

void Form::close() {
  ui_.unload(*this);
}

void centreOver(Form& dialog, const Form& over) {
  constexpr int kMinimum = 100;
  const int left = std::max(over.left() + (over.width() - dialog.width()) / 2, kMinimum);
  const int top = std::max(over.top() + (over.height() - dialog.height()) / 2, kMinimum);
  dialog.move(left, top);
}

}  // namespace orvik::platform
