#include "cli/answer_line.h"

#include <algorithm>
#include <cctype>

namespace orvik::cli {

std::optional<std::string> ReadAnswerLine(const std::function<int(char&)>& readByte) {
  std::string line;
  char c = 0;
  while (readByte(c) == 1) {
    if (c == '\n') return line;
    line += c;
  }
  return std::nullopt;
}

bool IsYes(const std::optional<std::string>& answer) {
  if (!answer) return false;
  std::string word = *answer;
  std::transform(word.begin(), word.end(), word.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return word == "y" || word == "yes";
}

}  // namespace orvik::cli
