#include "platform/ui.h"

#include <algorithm>

#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::platform {

void Ui::registerForm(Form& form) {
  form.lifecycle().id = nextId_++;
  forms_[form.lifecycle().id] = &form;
}

void Ui::forgetForm(Form& form) {
  if (form.lifecycle().loaded) destroyView(form);
  forms_.erase(form.lifecycle().id);
  removeFromOrder(form);
  if (active_ == &form) active_ = nullptr;
}

void Ui::show(Form& form) {
  if (ended()) return;
  auto& life = form.lifecycle();
  if (!life.loaded) {
    life.loaded = true;
    form.Form_Load();
    if (!life.loaded || ended()) return;  // unloaded itself while loading
    createView(form);
  }
  if (!life.visible) {
    life.visible = true;
    showView(form);
    formShown(form);
  } else {
    showView(form);  // bring forward
  }
  postActivation(form);
}

void Ui::showModal(Form& form) {
  if (ended()) return;
  form.lifecycle().modal = true;
  show(form);
  const unsigned long id = form.lifecycle().id;
  runModalLoop(form, [this, id] {
    const Form* f = findForm(id);
    return ended() || f == nullptr || !f->lifecycle().visible;
  });
  form.lifecycle().modal = false;
}

void Ui::hide(Form& form) {
  auto& life = form.lifecycle();
  if (!life.visible) return;
  life.visible = false;
  hideView(form);
  removeFromOrder(form);
  if (active_ == &form) {
    active_ = nullptr;
    activateTopmost();
  }
}

void Ui::unload(Form& form) {
  auto& life = form.lifecycle();
  if (!life.loaded) return;
  form.Form_Unload();
  for (Timer* t : form.timers())
    t->setEnabled(false);
  const bool wasActive = active_ == &form;
  life.loaded = false;
  life.visible = false;
  destroyView(form);
  removeFromOrder(form);
  if (wasActive) {
    active_ = nullptr;
    activateTopmost();
  }
}

void Ui::requestClose(Form& form) {
  if (!form.lifecycle().loaded) return;
  if (form.Form_QueryUnload()) unload(form);
}

void Ui::userActivated(Form& form) {
  if (form.lifecycle().visible) activate(form);
}

void Ui::activate(Form& form) {
  if (ended() || active_ == &form) return;
  active_ = &form;
  removeFromOrder(form);
  order_.push_back(&form);
  formActivated(form);
  form.Form_Activate();
}

void Ui::postActivation(Form& form) {
  const unsigned long id = form.lifecycle().id;
  post([this, id] {
    Form* f = findForm(id);
    if (f == nullptr || !f->lifecycle().visible) return;
    // A modal window above this one keeps the activation to itself, also one opened before this
    // activation came round (a menu command run the moment an earlier dialog closed).
    if (!order_.empty() && order_.back() != f && order_.back()->lifecycle().modal && !f->lifecycle().modal) {
      return;
    }
    for (const auto& [otherId, other] : forms_) {
      if (otherId > id && other->lifecycle().modal && other->lifecycle().visible) return;
    }
    activate(*f);
  });
}

void Ui::activateTopmost() {
  if (!order_.empty()) postActivation(*order_.back());
}

Form* Ui::findForm(unsigned long id) const {
  auto it = forms_.find(id);
  return it == forms_.end() ? nullptr : it->second;
}

void Ui::removeFromOrder(Form& form) {
  std::erase(order_, &form);
}

}  // namespace orvik::platform
