#include "link/tag_text.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/subs.h"

namespace orvik::link {
namespace {

TEST(TagText, TravelsInWindows1252BothWays) {
  struct Row {
    const char* text;
    std::string bytes;
  };
  for (const Row& r :
       {Row{"Unit 7 \xC3\xA9t\xC3\xA9", "Unit 7 \xE9t\xE9"}, Row{"\xE2\x82\xAC 5", "\x80 5"},
        Row{"\xC2\xB0"
            "F",
            "\xB0"
            "F"},
        Row{"\xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8", "\x93q\x94 \x9F"}, Row{"\xC2\x81", "\x81"}}) {
    EXPECT_EQ(TagBytesFromText(r.text), r.bytes) << r.text;
    EXPECT_EQ(TagTextFromBytes(r.bytes), r.text) << r.text;
  }
  for (const char* refused : {"\xC4\x80", "\xE2\x98\x83", "\xC2\x80", "\xF0\x9F\x94\x8B", "\xC3"}) {
    EXPECT_THROW(TagBytesFromText(refused), ConversionError) << refused;
  }
  // One byte a character however many UTF-8 bytes it takes, and a refused character named whole.
  EXPECT_EQ(TagBytesFromText("M\u00FCller-Stra\u00DFe Lager"), std::string("M\xFCller-Stra\xDF") + "e Lager");
  std::string twentyE;
  for (int i = 0; i < 20; ++i)
    twentyE += "\u00E9";
  EXPECT_EQ(TagBytesFromText(twentyE), std::string(20, '\xE9'));
  for (const std::string refused : {"\u03A9", "\u4E2D", "\U0001F50B"}) {
    try {
      TagBytesFromText("ab" + refused);
      ADD_FAILURE() << refused;
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.what(), "The character \"" + refused + "\" cannot be stored in the controller's tag name.");
    }
  }
}

// Only the bytes inside the answer form the tag, 20 at most; blanks around it are dropped.
TEST(TagText, ComesFromTheAnswerOnly) {
  const auto packet = [](std::string body) {
    std::vector<std::uint8_t> p{'C', static_cast<std::uint8_t>(2 + body.size())};
    for (char c : body)
      p.push_back(static_cast<std::uint8_t>(c));
    p.push_back(0);  // the checksum, not part of the tag
    return p;
  };
  EXPECT_EQ(AnswerTag(packet("  AB C\xE9")), "AB C\xC3\xA9");
  EXPECT_EQ(AnswerTag(packet("")), "");
  EXPECT_EQ(AnswerTag(packet("AB C\xE9" + std::string(33, 'X'))), "AB C\xC3\xA9" + std::string(15, 'X'))
      << "bytes 2..21 only";
}

}  // namespace
}  // namespace orvik::link
