#include "service_record/service_report_html.h"

#include <gtest/gtest.h>

namespace orvik::service_record {
namespace {

TEST(ServiceReportHtml, ShowsEveryTextAsCharacters) {
  const std::string hostile = "<img src=x onerror=alert(1)>\"&'";
  // clang-format off
  const ServiceReport report{hostile, {}, 12, "8-Dec-2026", "1.0234", "0.998", "1", "-2.5",
                             {{"Power On Cycles:", "<b>41</b>"}}, {{"Battery:", "13.62 V"}},
                             {{7, "2026-12-08T09:15:02Z", hostile, 3, 12, "orvik-monitor", "<b>ana</b>",
                               ChangeKind::TeVoltsGain, 22, "0.99", "", "0.998", "", "13.5", "13.6", ""}},
                             "ana", "8 Dec 2026", "Orvik Monitor 2.1.3"};
  // clang-format on
  const std::string html = ServiceReportHtml(report);
  const std::string escaped = "&lt;img src=x onerror=alert(1)&gt;&quot;&amp;&#39;";
  for (const std::string& part : std::vector<std::string>{
           "<!DOCTYPE html>", "<meta charset=\"utf-8\">", "<title>Service Report - " + escaped + "</title>",
           "<th>Tag</th><td>" + escaped + "</td>", "<th>Hardware Revision</th><td>-</td>",
           "<th>Software Revision</th><td>12</td>", "<td>8-Dec-2026</td>", "<h2>Calibration Constants</h2>",
           "<th>TE Module Voltage Gain</th><td>0.998</td>",
           "<th>Battery Temperature Offset</th><td>-2.5</td>", "<h2>Last Shutdown</h2>",
           "<td>&lt;b&gt;41&lt;/b&gt;</td>", "<h2>Live Values</h2>", "<th>Battery:</th><td>13.62 V</td>",
           "<h2>Service History</h2>",
           "<td>TE module voltage gain</td><td class=\"whole\">0.99</td><td class=\"whole\">0.998</td>"
           "<td class=\"whole\">13.5</td><td class=\"whole\">13.6</td>",
           "&lt;b&gt;ana&lt;/b&gt;", "Technician: ana", "Orvik Monitor 2.1.3"})
    EXPECT_NE(html.find(part), std::string::npos) << part;
  for (const char* raw : {"<img", "<b>", "\"&'"})
    EXPECT_EQ(html.find(raw), std::string::npos) << raw;
  EXPECT_NE(ServiceReportHtml({}).find("no entries"), std::string::npos);
}

}  // namespace
}  // namespace orvik::service_record
