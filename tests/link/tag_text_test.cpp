#include "link/tag_text.h"

#include <gtest/gtest.h>

#include "link/run_state.h"
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

// Only the bytes inside the accepted packet form the tag; blanks around it are dropped.
TEST(TagText, ComesFromTheAcceptedAnswerOnly) {
  RunState state;
  std::fill(state.RxBuffer.begin(), state.RxBuffer.end(), 'X');  // an earlier, longer packet
  const std::string wire = "  AB C\xE9";
  state.RxBuffer[0] = 'C';
  state.RxBuffer[1] = static_cast<std::uint8_t>(2 + wire.size());
  std::copy(wire.begin(), wire.end(), state.RxBuffer.begin() + 2);
  state.lastAnswer = {'C', 0, state.RxBuffer[1]};
  EXPECT_EQ(AcceptedTag(state), "AB C\xC3\xA9");
  state.lastAnswer.length = 2;
  EXPECT_EQ(AcceptedTag(state), "");
  state.lastAnswer = {'C', 0, 40};
  EXPECT_EQ(AcceptedTag(state), "AB C\xC3\xA9" + std::string(13, 'X')) << "bytes 2..21 only";
}

}  // namespace
}  // namespace orvik::link
