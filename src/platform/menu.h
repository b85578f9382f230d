#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvik::platform {

class Form;

// One entry of a form's menu bar: a menu (with children), a command, or a separator ("-").
class MenuItem {
 public:
  // A top-level menu of `owner`'s menu bar.
  MenuItem(Form& owner, std::string name, std::string caption);
  // An entry of `parent`. The shortcut is written as "Ctrl+R" or "F5".
  MenuItem(MenuItem& parent, std::string name, std::string caption, std::string shortcut = {});
  ~MenuItem();
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }
  void setCaption(std::string caption);
  const std::string& shortcut() const { return shortcut_; }
  bool isSeparator() const { return caption_ == "-"; }
  MenuItem* parent() const { return parent_; }
  const std::vector<MenuItem*>& items() const { return items_; }

  bool enabled() const { return enabled_; }
  void setEnabled(bool e);

  // The user chooses the item (or presses its shortcut): only an enabled item reaches its handler.
  void click();
  std::function<void()> onClick;

  void setObserver(std::function<void()> observer) { observer_ = std::move(observer); }

 private:
  std::string name_;
  std::string caption_;
  std::string shortcut_;
  Form* owner_ = nullptr;  // for a top-level menu
  MenuItem* parent_ = nullptr;
  std::vector<MenuItem*> items_;
  bool enabled_ = true;
  std::function<void()> observer_;
};

}  // namespace orvik::platform
