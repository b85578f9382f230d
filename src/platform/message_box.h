#pragma once

#include <string>
#include <utility>

namespace orvik::platform {

enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo, RetryCancel };
enum class MsgResult { Ok, Cancel, Yes, No, Retry };

// A modal message box. A carriage return (character 13) in the text is a line break.
struct MessageBox {
  MessageBox() = default;
  // A constructor rather than an aggregate, so that boxes written with four fields need no fifth.
  MessageBox(std::string text_, std::string title_, MsgIcon icon_ = MsgIcon::None,
             MsgButtons buttons_ = MsgButtons::Ok, std::string details_ = {})
      : text(std::move(text_)),
        title(std::move(title_)),
        icon(icon_),
        buttons(buttons_),
        details(std::move(details_)) {}

  std::string text;
  std::string title;
  MsgIcon icon = MsgIcon::None;
  MsgButtons buttons = MsgButtons::Ok;
  // More for whoever asks (a "Show Details..." part); empty for none.
  std::string details;
  bool rightAligned = false;  // the text set against the box's right edge
  bool operator==(const MessageBox&) const = default;
};

// What a box answers when it goes without a button being chosen (Esc, the program ending).
MsgResult dismissalOf(MsgButtons buttons);

const char* toString(MsgIcon icon);
const char* toString(MsgButtons buttons);
const char* toString(MsgResult result);

}  // namespace orvik::platform
