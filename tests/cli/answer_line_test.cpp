// The answer to orvikctl's "Write? [y/N]": only a whole line of yes writes.
#include "cli/answer_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::cli {
namespace {

TEST(AnswerLine, OnlyAWholeLineOfYesIsAYes) {
  struct Row {
    std::string typed;
    int then;  // what read(2) gives after the typed bytes: 0 the end of input, -1 an interrupt (Ctrl+C)
    bool yes;
  };
  const std::vector<Row> rows = {{"y\n", 0, true},  {"yes\n", 0, true}, {"YES\n", 0, true},
                                 {"n\n", 0, false}, {"\n", 0, false},   {"yes please\n", 0, false},
                                 {"", 0, false},    {"y", 0, false},    {"y", -1, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed + (row.then == 0 ? "<end>" : "<Ctrl+C>"));
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
