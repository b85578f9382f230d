#include "service_record/service_report_html.h"

namespace orvik::service_record {

namespace {

// Plain HTML 4 and the little CSS a PDF writer's text document honours; sized for A4.
constexpr std::string_view kStyle =
    "body { font-family: sans-serif; font-size: 10pt; }\n"
    "h1 { font-size: 16pt; }\n"
    "h2 { font-size: 12pt; margin-top: 12pt; }\n"
    "th { text-align: left; background-color: #e0e0e0; }\n"
    "p.footer { font-size: 8pt; margin-top: 18pt; }\n"
    "table.history { font-size: 8pt; }\n"
    "td.whole { white-space: nowrap; }\n";

constexpr std::string_view kTableStart = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"";

std::string revision(const std::optional<int>& value) {
  return value ? std::to_string(*value) : "-";
}

std::string cell(const char* element, std::string_view text, const char* cssClass = nullptr) {
  const std::string open = cssClass ? std::string(element) + " class=\"" + cssClass + "\"" : element;
  return "<" + open + ">" + HtmlEscaped(text) + "</" + element + ">";
}

// A table of caption and value pairs, the caption as a row heading; a table without rows would print
// as a stray line, so none is said in words.
std::string pairTable(const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (pairs.empty()) return "<p>Not available.</p>\n";
  std::string html = std::string(kTableStart) + ">\n";
  for (const auto& [caption, value] : pairs)
    html += "<tr>" + cell("th", caption) + cell("td", value) + "</tr>\n";
  return html + "</table>\n";
}

std::string section(std::string_view heading) {
  return "<h2>" + HtmlEscaped(heading) + "</h2>\n";
}

std::string historyTable(const std::vector<ServiceRow>& history) {
  if (history.empty()) return "<p>The service record holds no entries for this unit.</p>\n";
  std::string html = std::string(kTableStart) + " class=\"history\" width=\"100%\">\n<tr>";
  for (const char* heading :
       {"Time (UTC)", "Change", "Before", "Written", "Measured", "Reference", "Program", "User"})
    html += cell("th", heading);
  html += "</tr>\n";
  for (const ServiceRow& r : history) {
    html += "<tr>";
    // The time and the values are read whole: a value broken over two lines reads as two numbers.
    html += cell("td", r.at, "whole") + cell("td", RowTitle(r)) + cell("td", r.before, "whole") +
            cell("td", r.written, "whole") + cell("td", r.measured, "whole") +
            cell("td", r.reference, "whole") + cell("td", r.program) + cell("td", r.user);
    html += "</tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

std::string HtmlEscaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string ServiceReportHtml(const ServiceReport& report) {
  const std::string title = report.tag.empty() ? "Service Report" : "Service Report - " + report.tag;
  std::string html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                     HtmlEscaped(title) + "</title>\n<style>\n" + std::string(kStyle) +
                     "</style>\n</head>\n<body>\n<h1>Service Report</h1>\n";

  html += section("Unit") + pairTable({{"Tag", report.tag.empty() ? "-" : report.tag},
                                       {"Hardware Revision", revision(report.hardwareRevision)},
                                       {"Software Revision", revision(report.softwareRevision)},
                                       {"Calibration Date", report.calibrationDate}});
  html += section("Calibration Constants") +
          pairTable({{"Battery Voltage Gain", report.batteryVoltsGain},
                     {"TE Module Voltage Gain", report.teVoltsGain},
                     {"Battery Temperature Gain", report.batteryTempGain},
                     {"Battery Temperature Offset", report.batteryTempOffset}});
  html += section("Last Shutdown") + pairTable(report.shutdown);
  html += section("Live Values") + pairTable(report.live);
  html += section("Service History") + historyTable(report.history);

  html += "<p class=\"footer\">Technician: " + HtmlEscaped(report.technician) +
          "<br>\nDate: " + HtmlEscaped(report.date) + "<br>\nProgram: " + HtmlEscaped(report.program) +
          "</p>\n</body>\n</html>\n";
  return html;
}

}  // namespace orvik::service_record
