#include "platform/controls.h"

#include "platform/form.h"

namespace orvik::platform {

Label::Label(Form& owner, std::string name, std::string text)
    : Control(owner, std::move(name), ControlKind::Label), text_(std::move(text)) {}

void Label::setText(std::string t) {
  assign(text_, t);
}

Shape::Shape(Form& owner, std::string name, ShapeKind kind, Colour fill)
    : Control(owner, std::move(name), ControlKind::Shape), shape_(kind), fill_(fill) {}

Button::Button(Form& owner, std::string name, std::string caption)
    : Control(owner, std::move(name), ControlKind::Button), caption_(std::move(caption)) {}

void Button::setCaption(std::string c) {
  assign(caption_, c);
}

void Button::click() {
  if (enabled() && visible() && onClick) onClick();
}

TextBox::TextBox(Form& owner, std::string name, std::string text)
    : TextBox(owner, std::move(name), ControlKind::TextBox, std::move(text)) {}

TextBox::TextBox(Form& owner, std::string name, ControlKind kind, std::string text)
    : Control(owner, std::move(name), kind), text_(std::move(text)) {}

void TextBox::setText(std::string t) {
  assign(text_, t);
}

void TextBox::userEdit(std::string t) {
  if (!enabled() || !visible()) return;
  if (maxLength_ > 0) t.resize(firstCharacters(t, static_cast<std::size_t>(maxLength_)).size());
  setText(std::move(t));
  if (onUserEdit) onUserEdit();
}

NumericEdit::NumericEdit(Form& owner, std::string name, int decimalPlaces, double minValue, double maxValue,
                         Reader read)
    : TextBox(owner, std::move(name), ControlKind::NumericEdit, {}),
      decimals_(decimalPlaces),
      min_(minValue),
      max_(maxValue),
      read_(std::move(read)) {}

bool NumericEdit::outsideLimits() const {
  const std::optional<double> value = read_ ? read_(text()) : std::nullopt;
  return value && (*value < min_ || *value > max_);
}

DateEdit::DateEdit(Form& owner, std::string name, std::string displayPattern)
    : TextBox(owner, std::move(name), ControlKind::DateEdit, {}), pattern_(std::move(displayPattern)) {}

std::string_view firstCharacters(std::string_view text, std::size_t maxCharacters) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && characters++ == maxCharacters) return text.substr(0, i);
  }
  return text;
}

OptionButton::OptionButton(Form& owner, std::string name, std::string caption)
    : Control(owner, std::move(name), ControlKind::OptionButton), caption_(std::move(caption)) {}

void OptionButton::setValue(bool selected) {
  if (selected) {
    for (Control* c : owner().controls()) {
      if (c != this && c->kind() == ControlKind::OptionButton && c->container() == container()) {
        static_cast<OptionButton*>(c)->setValue(false);
      }
    }
  }
  assign(value_, selected);
}

void OptionButton::setToolTip(std::string t) {
  assign(toolTip_, t);
}

void OptionButton::click() {
  if (!enabled() || !visible()) return;
  setValue(true);
  if (onClick) onClick();
}

Frame::Frame(Form& owner, std::string name, std::string caption)
    : Control(owner, std::move(name), ControlKind::Frame), caption_(std::move(caption)) {}

void Frame::setCaption(std::string c) {
  assign(caption_, c);
}

Image::Image(Form& owner, std::string name, std::string source)
    : Control(owner, std::move(name), ControlKind::Image), source_(std::move(source)) {}

}  // namespace orvik::platform
