#pragma once

#include <functional>
#include <string>

#include "platform/geometry.h"

namespace orvik::platform {

class Form;
class Frame;

enum class ControlKind { Label, Shape, Button, TextBox, NumericEdit, DateEdit, OptionButton, Frame, Image };

// A control is plain data plus one change notification. Form logic reads and writes it; a backend
// mirrors it into a widget (or nothing at all, headless) and turns widget events into handler calls.
class Control {
 public:
  Control(Form& owner, std::string name, ControlKind kind);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  ControlKind kind() const { return kind_; }
  Form& owner() const { return owner_; }

  Rect geometry() const { return geometry_; }
  void setGeometry(Rect r);
  void place(int left, int top, int width, int height) { setGeometry({left, top, width, height}); }

  bool visible() const { return visible_; }
  void setVisible(bool v);
  bool enabled() const { return enabled_; }
  void setEnabled(bool e);

  // Whether Tab stops at the control. Buttons, entries and option buttons are stops unless told otherwise;
  // a value field made a stop lets a screen reader read its value as the keyboard reaches it. The stops
  // take the keyboard in the order the form declares its controls, and the first one that can has it
  // when the window opens (unless the form names another, Form::setFirstFocus). Of a group of option
  // buttons only the selected one is a stop; the arrow keys move the selection within the group.
  bool tabStop() const { return tabStop_; }
  void setTabStop(bool t);

  // What the control is, in plain words, for screen readers and UI automation ("Battery voltage").
  const std::string& description() const { return description_; }
  void setDescription(std::string d);

  // The frame the control sits in (geometry is then relative to the frame), or none.
  Frame* container() const { return container_; }
  void setContainer(Frame* frame);

  // The view that mirrors this control; called after every change.
  void setObserver(std::function<void()> observer) { observer_ = std::move(observer); }

 protected:
  void changed() {
    if (observer_) observer_();
  }
  template <typename T>
  void assign(T& field, const T& value) {
    if (field == value) return;
    field = value;
    changed();
  }

 private:
  Form& owner_;
  std::string name_;
  ControlKind kind_;
  Rect geometry_{};
  bool visible_ = true;
  bool enabled_ = true;
  bool tabStop_;
  std::string description_;
  Frame* container_ = nullptr;
  std::function<void()> observer_;
};

}  // namespace orvik::platform
