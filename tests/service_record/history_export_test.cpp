#include "service_record/history_export.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvik::service_record {
namespace {

TEST(HistoryExport, CsvCellQuotesAndKeepsFormulasAsText) {
  struct Case {
    std::string_view text, cell;
  };
  for (const Case& c :
       {Case{"Unit 7", "Unit 7"}, Case{"a,b", "\"a,b\""}, Case{"say \"hi\"", "\"say \"\"hi\"\"\""},
        Case{"two\nlines", "\"two\nlines\""}, Case{"=1+2", "'=1+2"}, Case{"+cmd", "'+cmd"}, Case{"-x", "'-x"},
        Case{"@SUM(A1)", "'@SUM(A1)"}, Case{"=A1,\"", "\"'=A1,\"\"\""}, Case{"-0.25", "-0.25"},
        Case{"+3", "+3"}, Case{"-1.5E-05", "-1.5E-05"}, Case{"-1.", "'-1."}, Case{"-", "'-"},
        Case{"\tx", "'\tx"}, Case{"\rx", "\"'\rx\""}, Case{"é€", "é€"}})
    EXPECT_EQ(CsvCell(c.text), c.cell) << c.text;
}

TEST(HistoryExport, CsvHasOneLinePerRowInColumnOrder) {
  // clang-format off
  const ServiceRow trim{7, "2026-12-08T09:15:02Z", "North, 2", 3, 12, "orvik-monitor", "ana",
                        ChangeKind::BatteryTempOffset, 30, "-1.5", "BFC00000", "-2", "C0000000", "71", "69", ""};
  const ServiceRow tag{8, "2026-12-08T09:16:00Z", "=cmd", {}, {}, "orvikctl", "ana", ChangeKind::Tag, {},
                       "North, 2", "", "=cmd", "", "", "", "tags.txt"};
  // clang-format on
  EXPECT_EQ(
      HistoryCsv({trim, tag}),
      "id,time (UTC),tag,hardware revision,software revision,program,user,change,parameter,before,"
      "before bytes,written,written bytes,measured,reference,source\r\n"
      "7,2026-12-08T09:15:02Z,\"North, 2\",3,12,orvik-monitor,ana,battery-temp-offset,30,-1.5,BFC00000,-2,"
      "C0000000,71,69,\r\n"
      "8,2026-12-08T09:16:00Z,'=cmd,,,orvikctl,ana,tag,,\"North, 2\",,'=cmd,,,,tags.txt\r\n");
}

// Columns start at the same character on every line whatever the bytes of a character; a control
// character in a tag shows as "?" and cannot move the cursor.
TEST(HistoryExport, TextColumnsLineUpByCharacters) {
  ServiceRow plain;
  plain.tag = "North", plain.program = "orvikctl", plain.change = ChangeKind::LogReset;
  ServiceRow wide = plain;
  wide.tag = "K\xC3\xBChlhaus \xE2\x82\xAC\x01\xC2\x81";
  wide.change = ChangeKind::Tag;
  std::istringstream text(HistoryText({plain, wide}));
  const auto column = [](const std::string& line, std::string_view word) {
    const std::size_t bytes = line.find(word);
    EXPECT_NE(bytes, std::string::npos) << word;
    std::size_t characters = 0;
    for (char c : line.substr(0, bytes))
      characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters;
  };
  std::string header, first, second;
  std::getline(text, header), std::getline(text, first), std::getline(text, second);
  EXPECT_EQ(column(first, "Diagnostics log cleared"), column(header, "change"));
  EXPECT_EQ(column(second, "Tag name"), column(header, "change"));
  EXPECT_EQ(column(second, "orvikctl"), column(header, "program"));
  EXPECT_NE(second.find("K\xC3\xBChlhaus \xE2\x82\xAC??  "), std::string::npos) << second;
  EXPECT_EQ(HistoryText({}), "(no service record entries)\n");
}

}  // namespace
}  // namespace orvik::service_record
