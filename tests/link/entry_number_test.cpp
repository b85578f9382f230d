#include "link/entry_number.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvik::link {
namespace {

TEST(EntryNumber, TakesOnlyAWholePlainDecimalNumberWithAMinusWhereTheRangeGoesBelowZero) {
  struct Row {
    std::string text;
    bool allowMinus;
    std::optional<double> value;
  };
  const std::string huge = "1" + std::string(400, '0');  // plain digits beyond any double
  const Row rows[] = {
      {"13", false, 13},    {" 12.5\t", false, 12.5}, {".5", false, 0.5},  {"5.", false, 5},
      {"-1.5", true, -1.5}, {"-1.5", false, {}},      {"", false, {}},     {" ", true, {}},
      {"abc", false, {}},   {"12,5", false, {}},      {"nan", true, {}},   {"inf", true, {}},
      {"1e400", false, {}}, {"1e2", false, {}},       {"0x10", false, {}}, {"13.5V", false, {}},
      {"+5", true, {}},     {"1.2.3", false, {}},     {".", false, {}},    {"-", true, {}},
      {"--5", true, {}},    {"1 2", false, {}},       {huge, false, {}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ParseEntryNumber(row.text, row.allowMinus), row.value) << '"' << row.text << '"';
}

}  // namespace
}  // namespace orvik::link
