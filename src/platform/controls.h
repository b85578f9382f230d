#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/colour.h"
#include "platform/control.h"

namespace orvik::platform {

enum class Alignment { Left, Center, Right };

struct Font {
  double points = 0;  // 0: the platform's default size
  bool bold = false;
  bool operator==(const Font&) const = default;
};

class Label : public Control {
 public:
  Label(Form& owner, std::string name, std::string text = {});

  const std::string& text() const { return text_; }
  void setText(std::string t);
  std::optional<Colour> foreColor() const { return fore_; }
  void setForeColor(Colour c) { assign(fore_, std::optional<Colour>(c)); }
  std::optional<Colour> backColor() const { return back_; }
  void setBackColor(Colour c) { assign(back_, std::optional<Colour>(c)); }
  Alignment alignment() const { return alignment_; }
  void setAlignment(Alignment a) { assign(alignment_, a); }
  Font font() const { return font_; }
  void setFont(Font f) { assign(font_, f); }

  // The control this label captions, in the same container: assistive tools name the control by the
  // label, so a screen reader speaks "Setpoint 13.80 V" as the keyboard reaches the value.
  Control* labelFor() const { return labelFor_; }
  void setLabelFor(Control& field) { assign(labelFor_, &field); }

 private:
  std::string text_;
  std::optional<Colour> fore_;
  std::optional<Colour> back_;
  Alignment alignment_ = Alignment::Left;
  Font font_{};
  Control* labelFor_ = nullptr;
};

enum class ShapeKind { Rectangle, Circle };

// A filled shape, such as an indicator lamp.
class Shape : public Control {
 public:
  Shape(Form& owner, std::string name, ShapeKind kind, Colour fill);

  ShapeKind shape() const { return shape_; }
  Colour fillColor() const { return fill_; }
  void setFillColor(Colour c) { assign(fill_, c); }

 private:
  ShapeKind shape_;
  Colour fill_;
};

class Button : public Control {
 public:
  Button(Form& owner, std::string name, std::string caption);

  const std::string& caption() const { return caption_; }
  void setCaption(std::string c);
  // Enter presses the default button, Esc the cancel button.
  bool isDefault() const { return default_; }
  void setDefault(bool d) { assign(default_, d); }
  bool isCancel() const { return cancel_; }
  void setCancel(bool c) { assign(cancel_, c); }

  // The user presses the button: nothing happens unless it is enabled and visible.
  void click();
  std::function<void()> onClick;

 private:
  std::string caption_;
  bool default_ = false;
  bool cancel_ = false;
};

// A single-line entry. Text set by code never raises the user-edit notification; typing does.
class TextBox : public Control {
 public:
  TextBox(Form& owner, std::string name, std::string text = {});

  const std::string& text() const { return text_; }
  void setText(std::string t);
  int maxLength() const { return maxLength_; }  // in characters; 0: no limit
  void setMaxLength(int n) { assign(maxLength_, n); }
  Alignment alignment() const { return alignment_; }
  void setAlignment(Alignment a) { assign(alignment_, a); }

  // The user changes the text (typing, pasting, deleting); the limit applies as it does to a keyboard.
  void userEdit(std::string t);
  std::function<void()> onUserEdit;

 protected:
  TextBox(Form& owner, std::string name, ControlKind kind, std::string text);

 private:
  std::string text_;
  int maxLength_ = 0;
  Alignment alignment_ = Alignment::Left;
};

// A numeric entry with decimal places and limits. The limits only mark a value outside them: the text
// stays as the user typed it, so the window's own check sees (and can refuse) exactly that. The window
// says how its text reads as a number (none: not a number), so the mark and its check agree.
class NumericEdit : public TextBox {
 public:
  using Reader = std::function<std::optional<double>(std::string_view)>;
  NumericEdit(Form& owner, std::string name, int decimalPlaces, double minValue, double maxValue,
              Reader read);

  int decimalPlaces() const { return decimals_; }
  double minValue() const { return min_; }
  double maxValue() const { return max_; }
  // The text is a number below minValue() or above maxValue().
  bool outsideLimits() const;

 private:
  int decimals_;
  double min_;
  double max_;
  Reader read_;
};

// A date entry shown with a display pattern such as "dd-MMM-yy".
class DateEdit : public TextBox {
 public:
  DateEdit(Form& owner, std::string name, std::string displayPattern);

  const std::string& displayPattern() const { return pattern_; }

 private:
  std::string pattern_;
};

// The first `maxCharacters` characters (Unicode code points) of the UTF-8 `text`; a character is kept
// whole or not at all.
std::string_view firstCharacters(std::string_view text, std::size_t maxCharacters);

// Option buttons of one form and one container are mutually exclusive.
class OptionButton : public Control {
 public:
  OptionButton(Form& owner, std::string name, std::string caption);

  const std::string& caption() const { return caption_; }
  bool value() const { return value_; }
  // Selecting one button clears the others of its group.
  void setValue(bool selected);
  const std::string& toolTip() const { return toolTip_; }
  void setToolTip(std::string t);

  // The user selects the button.
  void click();
  std::function<void()> onClick;

 private:
  std::string caption_;
  bool value_ = false;
  std::string toolTip_;
};

class Frame : public Control {
 public:
  Frame(Form& owner, std::string name, std::string caption);

  const std::string& caption() const { return caption_; }
  void setCaption(std::string c);
  // A plain panel has a background and no border or caption.
  std::optional<Colour> backColor() const { return back_; }
  void setBackColor(Colour c) { assign(back_, std::optional<Colour>(c)); }

 private:
  std::string caption_;
  std::optional<Colour> back_;
};

// A fixed picture, named by its resource path.
class Image : public Control {
 public:
  Image(Form& owner, std::string name, std::string source);

  const std::string& source() const { return source_; }

 private:
  std::string source_;
};

}  // namespace orvik::platform
