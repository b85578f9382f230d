#pragma once

#include <string>

namespace orvik::history {

// Prints the service report's HTML to a PDF file at `path`: A4, 15 mm margins, written whole as
// platform::WriteFileWhole writes, so a failed write leaves no half file (and any earlier file as it
// was). Returns "" when saved, else why not ("No such file or directory"). Needs the Qt application object.
std::string SaveServiceReportPdf(const std::string& html, const std::string& path);

}  // namespace orvik::history
