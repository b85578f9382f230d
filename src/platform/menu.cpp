#include "platform/menu.h"

#include <algorithm>

#include "platform/form.h"

namespace orvik::platform {

MenuItem::MenuItem(Form& owner, std::string name, std::string caption)
    : name_(std::move(name)), caption_(std::move(caption)), owner_(&owner) {
  owner.menus_.push_back(this);
}

MenuItem::MenuItem(MenuItem& parent, std::string name, std::string caption, std::string shortcut)
    : name_(std::move(name)), caption_(std::move(caption)), shortcut_(std::move(shortcut)), parent_(&parent) {
  parent.items_.push_back(this);
}

MenuItem::~MenuItem() {
  if (parent_ != nullptr) std::erase(parent_->items_, this);
  if (owner_ != nullptr) std::erase(owner_->menus_, this);
}

void MenuItem::setCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  if (observer_) observer_();
}

void MenuItem::setEnabled(bool e) {
  if (enabled_ == e) return;
  enabled_ = e;
  if (observer_) observer_();
}

void MenuItem::click() {
  for (const MenuItem* m = this; m != nullptr; m = m->parent_) {
    if (!m->enabled_) return;
  }
  if (!isSeparator() && onClick) onClick();
}

}  // namespace orvik::platform
