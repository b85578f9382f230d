// The answer to orvikctl's "Write? [y/N]": only a whole line of yes writes.
#include "cli/answer_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::cli {
namespace {

TEST(AnswerLine, OnlyAWholeLineOfYesIsAYes) {
  constexpr int kEnd = 0, kInterrupted = -1;
  struct Row {
    const char* what;
    std::string typed;
    int then;  // what read(2) gives after the typed bytes
    bool yes;
  };
  const std::vector<Row> rows = {
      {"y", "y\n", kEnd, true},
      {"yes", "yes\n", kEnd, true},
      {"YES", "YES\n", kEnd, true},
      {"n", "n\n", kEnd, false},
      {"Enter alone", "\n", kEnd, false},
      {"yes please", "yes please\n", kEnd, false},
      {"end of input", "", kEnd, false},
      {"y, then end of input", "y", kEnd, false},
      {"y, then Ctrl+C", "y", kInterrupted, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::size_t at = 0;
    const auto answer = ReadAnswerLine([&](char& c) {
      if (at == row.typed.size()) return row.then;
      c = row.typed[at++];
      return 1;
    });
    EXPECT_EQ(IsYes(answer), row.yes);
    EXPECT_EQ(answer.has_value(), row.typed.find('\n') != std::string::npos);
  }
}

}  // namespace
}  // namespace orvik::cli
