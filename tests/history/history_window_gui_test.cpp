// The service report printed to PDF.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "history/service_report_pdf.h"
#include "service_record/service_report_html.h"

namespace orvik::history {
namespace {

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return (std::stringstream() << in.rdbuf()).str();
}

const auto kFolder = std::filesystem::temp_directory_path() / ("orvik-history-" + std::to_string(::getpid()));

TEST(ServiceReportPdf, PrintsTheReportAndLeavesNoFileWhereItCannotWrite) {
  service_record::ServiceReport report;
  report.tag = "CH-01", report.batteryVoltsGain = "1.0123";
  std::filesystem::create_directories(kFolder);
  const auto pdf = kFolder / "report.pdf";
  ASSERT_EQ(SaveServiceReportPdf(service_record::ServiceReportHtml(report), pdf.string()), "");
  EXPECT_EQ(fileText(pdf).substr(0, 4), "%PDF");
  if (std::system("command -v pdftotext >/dev/null") == 0) {
    const std::string txt = kFolder.string() + "-report.txt";
    ASSERT_EQ(std::system(("pdftotext " + pdf.string() + " " + txt).c_str()), 0);
    const std::string text = fileText(txt);
    std::filesystem::remove(txt);
    EXPECT_NE(text.find("CH-01"), std::string::npos) << text;
    EXPECT_NE(text.find("1.0123"), std::string::npos) << text;
  }
  // A disk that fills up part way: the report saved before stays whole, and no part file is left.
  const std::string before = fileText(pdf);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{1000, limit.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &small);
  const std::string full = SaveServiceReportPdf(service_record::ServiceReportHtml(report), pdf.string());
  ::setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_EQ(full, "File too large");
  EXPECT_EQ(fileText(pdf), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(kFolder), {}), 1) << "report.pdf alone";
  EXPECT_EQ(SaveServiceReportPdf("<p>x</p>", "/nonexistent-folder/report.pdf"), "No such file or directory");
  std::filesystem::remove_all(kFolder);
}

}  // namespace
}  // namespace orvik::history
