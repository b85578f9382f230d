#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orvik::cli {

// One answer typed at a question: the characters up to Enter, from `readByte` (which returns 1 for a
// byte, 0 at the end of input, -1 when interrupted, as read(2) does). Only a whole line is an answer: the
// end of input or an interrupt before Enter, even after a typed "y", is none.
std::optional<std::string> ReadAnswerLine(const std::function<int(char&)>& readByte);

// The answer is a yes: "y" or "yes", in either case.
bool IsYes(const std::optional<std::string>& answer);

}  // namespace orvik::cli
