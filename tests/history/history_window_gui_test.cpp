// The service history window offscreen, on a fixed row source, and the service report printed to PDF.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "history/history_window.h"
#include "history/service_report_pdf.h"
#include "platform/qt/gui_input.h"
#include "service_record/history_export.h"
#include "service_record/service_report_html.h"

namespace orvik::history {
namespace {

using service_record::ChangeKind;
using service_record::ServiceRow;

ServiceRow row(std::int64_t id, std::string at, std::string tag, ChangeKind change, std::string written) {
  ServiceRow r;
  r.id = id, r.at = std::move(at), r.tag = std::move(tag), r.change = change, r.written = std::move(written);
  r.program = "orvik-monitor", r.user = "ana", r.before = "1.0", r.measured = "12.4", r.reference = "12.5";
  return r;
}

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return (std::stringstream() << in.rdbuf()).str();
}

// Each row's cells joined by "|", rows by ";".
QString tableText(const QTableWidget& table) {
  QStringList rows;
  for (int r = 0; r < table.rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < table.columnCount(); ++c)
      cells << table.item(r, c)->text();
    rows << cells.join("|");
  }
  return rows.join(";");
}

const auto kFolder = std::filesystem::temp_directory_path() / ("orvik-history-" + std::to_string(::getpid()));

TEST(HistoryWindow, ShowsTheUnitsRowsNewestFirstTheOthersOneFilterAwayAndExportsThemAsShown) {
  // Oldest first, as a source may hand them; the window shows the newest first.
  std::vector<ServiceRow> stored = {
      row(1, "2026-12-08T09:15:02Z", "R&D-01", ChangeKind::BatteryVoltsGain, "1.0123"),
      row(2, "2026-12-09T10:00:00Z", "<b>x</b>", ChangeKind::Tag, "<b>x</b>"),
      row(3, "2026-12-10T08:00:00Z", "R&D-01", ChangeKind::LogReset, "")};
  const RowSource source = [&](const std::optional<std::string>& tag, std::string*) {
    std::vector<ServiceRow> rows;
    std::copy_if(stored.begin(), stored.end(), std::back_inserter(rows),
                 [&](const ServiceRow& r) { return !tag || r.tag == *tag; });
    return rows;
  };
  auto* window = new HistoryWindow(source, "R&D-01");
  QPointer<HistoryWindow> alive = window;
  window->show();
  auto* only = window->findChild<QCheckBox*>("chkOnlyThisUnit");
  EXPECT_EQ(window->windowTitle() + ";" + only->text(), "Service History;&Only this unit (R&&D-01)");
  EXPECT_EQ(tableText(window->table()),
            "2026-12-10T08:00:00Z|R&D-01|Diagnostics log cleared|1.0||12.4|12.5|orvik-monitor|ana;"
            "2026-12-08T09:15:02Z|R&D-01|Battery voltage gain|1.0|1.0123|12.4|12.5|orvik-monitor|ana");
  EXPECT_EQ(window->table().accessibleDescription(), "2 entries");

  testing::click(only);
  ASSERT_EQ(window->table().rowCount(), 3);
  EXPECT_EQ(window->table().item(1, 1)->text(), "<b>x</b>") << "a tag shows the characters it holds";

  std::filesystem::create_directories(kFolder);
  window->chooseFile = [&](auto&&...) { return QString::fromStdString((kFolder / "h.csv").string()); };
  window->exportCsv();
  EXPECT_EQ(fileText(kFolder / "h.csv"), service_record::HistoryCsv({stored[2], stored[1], stored[0]}));
  std::filesystem::remove_all(kFolder);
  QString said;
  testing::BoxAnswerer answer([&](QMessageBox& box) {
    said = box.text();
    box.accept();
  });
  window->chooseFile = [](auto&&...) { return QString("/nonexistent-folder/h.csv"); };
  window->exportCsv();
  EXPECT_EQ(said, "The history cannot be saved to /nonexistent-folder/h.csv:\nNo such file or directory.");

  stored.push_back(row(4, "2026-12-11T08:00:00Z", "CH-02", ChangeKind::TeVoltsGain, "0.9950"));
  testing::pressKey(window, Qt::Key_F5);
  EXPECT_EQ(window->table().accessibleDescription(), "4 entries") << "F5 reads the record again";
  testing::pressKey(window, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull()) << "Esc closes the window";

  // The unit not known yet, and a record that cannot be read.
  std::optional<std::string> asked = "not asked";
  HistoryWindow unknown(
      [&](const std::optional<std::string>& tag, std::string* problem) {
        asked = tag;
        *problem = "database is locked";
        return std::vector<ServiceRow>{};
      },
      std::nullopt);
  unknown.show();
  EXPECT_EQ(asked, std::nullopt);
  only = unknown.findChild<QCheckBox*>();
  EXPECT_FALSE(only->isEnabled() || only->isChecked());
  EXPECT_FALSE(unknown.findChild<QPushButton*>("cmdExportCsv")->isEnabled()) << "no CSV of an unread record";
  EXPECT_EQ(only->text(), "&Only the connected unit (not known yet)");
  EXPECT_EQ(unknown.findChild<QLabel*>("lblProblem")->text(),
            "The service record cannot be read: database is locked");
}

TEST(HistoryWindow, RestoreIsOfferedForOneSelectedTrimWithItsValueBeforeAndNamesItsRow) {
  std::vector<ServiceRow> stored = {
      row(7, "2026-12-10T08:00:00Z", "CH-01", ChangeKind::TeVoltsGain, "0.99"),
      row(8, "2026-12-09T08:00:00Z", "CH-01", ChangeKind::BatteryTempOffset, "1.5"),
      row(9, "2026-12-08T08:00:00Z", "CH-01", ChangeKind::Tag, "CH-01")};
  stored[0].parameter = 22;
  stored[0].beforeBytes = "3f800000";  // the offset's value before was never read
  stored[0].writtenBytes = "3f7d70a4";
  HistoryWindow window([&](auto&&...) { return stored; }, std::nullopt);
  std::vector<std::int64_t> undone;
  window.onUndo = [&](std::int64_t id) { undone.push_back(id); };
  window.show();
  auto* restore = window.findChild<QPushButton*>("cmdUndoTrim");
  EXPECT_EQ(restore->text().remove('&'), "Restore the value before this trim");
  EXPECT_TRUE(restore->isEnabled()) << "the newest entry, a trim, is selected at first";
  for (auto [tableRow, offered] : {std::pair{1, false}, {2, false}, {0, true}}) {
    window.table().selectRow(tableRow);
    EXPECT_EQ(restore->isEnabled(), offered) << window.shownRows()[tableRow].id;
  }
  testing::click(restore);
  EXPECT_EQ(undone, std::vector<std::int64_t>{7});
}

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
