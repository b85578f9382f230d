#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/colour.h"
#include "platform/geometry.h"

namespace orvik::platform {

class Control;
class MenuItem;
class Timer;
class Ui;

enum class BorderStyle { FixedDialog, Sizable, None };

// A window's width and height include its frame and title bar, nominally this many twips
// (8 by 31 pixels at 96 dpi); the rest is its client area, where its controls are laid out.
inline constexpr int kFrameWidth = 120;
inline constexpr int kFrameHeight = 465;

// A window: caption, geometry in twips, its controls, menus and timers, and the three events that
// form logic overrides. The backend owns showing, activation and unloading (see Ui).
class Form {
 public:
  Form(Ui& ui, std::string name, std::string caption);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Ui& ui() const { return ui_; }
  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }
  void setCaption(std::string c);

  Rect geometry() const { return geometry_; }
  void setGeometry(Rect r);
  int left() const { return geometry_.left; }
  int top() const { return geometry_.top; }
  int width() const { return geometry_.width; }
  int height() const { return geometry_.height; }
  void move(int left, int top) { setGeometry({left, top, geometry_.width, geometry_.height}); }
  void resize(int width, int height) { setGeometry({geometry_.left, geometry_.top, width, height}); }
  // Size the window for a client area of `width` by `height` inside a fixed frame.
  void resizeClient(int width, int height) { resize(width + kFrameWidth, height + kFrameHeight); }

  BorderStyle borderStyle() const { return border_; }
  void setBorderStyle(BorderStyle b) {
    border_ = b;
    if (observer_) observer_();
  }
  std::optional<Colour> backColor() const { return back_; }
  void setBackColor(Colour c) {
    back_ = c;
    if (observer_) observer_();
  }

  // The application's own window (its main window) rather than a dialog: the window system and assistive
  // tools are told so. Read when the window is made.
  bool isApplicationWindow() const { return applicationWindow_; }
  void setApplicationWindow(bool a) { applicationWindow_ = a; }

  // The tab stop that has the keyboard when the window opens, when not the first that can take it.
  Control* firstFocus() const { return firstFocus_; }
  void setFirstFocus(Control& c) { firstFocus_ = &c; }

  const std::vector<Control*>& controls() const { return controls_; }
  const std::vector<MenuItem*>& menus() const { return menus_; }
  const std::vector<Timer*>& timers() const { return timers_; }
  Control* findControl(const std::string& name) const;

  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  virtual void Form_Unload() {}
  // The user asks to close the window: its close box, Alt+F4, or Esc where it has no cancel button.
  // True unloads it. A window whose way out asks first (as its Cancel does) handles the request itself,
  // closing or not, and returns false.
  virtual bool Form_QueryUnload() { return true; }

  // Unload this window (as a program's "Unload Me"): its timers stop and a modal loop ends.
  void close();

  // Backend bookkeeping: whether the window is loaded and shown, and whether it runs modally.
  struct Lifecycle {
    bool loaded = false;
    bool visible = false;
    bool modal = false;
    unsigned long id = 0;
  };
  Lifecycle& lifecycle() { return lifecycle_; }
  const Lifecycle& lifecycle() const { return lifecycle_; }

  void setObserver(std::function<void()> observer) { observer_ = std::move(observer); }

 private:
  friend class Control;
  friend class MenuItem;
  friend class Timer;

  Ui& ui_;
  std::string name_;
  std::string caption_;
  Rect geometry_{};
  BorderStyle border_ = BorderStyle::FixedDialog;
  std::optional<Colour> back_;
  bool applicationWindow_ = false;
  Control* firstFocus_ = nullptr;
  std::vector<Control*> controls_;
  std::vector<MenuItem*> menus_;
  std::vector<Timer*> timers_;
  Lifecycle lifecycle_;
  std::function<void()> observer_;
};

// Centre `dialog` over `over`, keeping left and top at least 100 twips.
void centreOver(Form& dialog, const Form& over);

}  // namespace orvik::platform
