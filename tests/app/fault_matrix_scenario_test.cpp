// The fault matrix on the headless window system: a controller that misbehaves on the line, a device
// that goes away and comes back, ports held by other programs and damaged settings files. Each row
// says what the technician sees at one moment, and every row proves that the monitor wrote nothing to
// the controller or the settings file that nobody asked for.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "ports/frm_ports.h"
#include "support/app_rig.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;
using platform::headless::HeadlessUi;
using Availability = platform::headless::MemorySerialPort::Availability;
using Fault = testing::MemoryFiles::Fault;
using Bytes = std::vector<std::uint8_t>;

const char* const kSetupRequired = "Setup Required...";

// What the main window shows, and what else the technician meets.
struct Seen {
  std::string refresh;  // lblRefresh
  std::string raw;      // lblTest: its words, or the code and length of the packet it shows (" 62, 31,")
  platform::Colour led;
  bool gated;     // the five controller commands are enabled
  bool values;    // the live fields show a reading, not "-"
  bool revision;  // the hardware revision shows a number
  bool portOpen;
  std::vector<std::string> boxes;  // titles of the message boxes so far
  bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
  os << "{\"" << s.refresh << "\", \"" << s.raw << "\", led " << s.led << ", gated " << s.gated << ", values "
     << s.values << ", revision " << s.revision << ", port " << (s.portOpen ? "open" : "closed") << ", boxes";
  for (const auto& b : s.boxes)
    os << " \"" << b << "\"";
  return os << "}";
}

Seen seen(testing::AppRig& rig) {
  auto& m = rig.main;
  std::string raw = m.lblTest.text();
  if (const auto first = raw.find(','); first != std::string::npos)
    raw = raw.substr(0, raw.find(',', first + 1) + 1);
  const bool gated = m.mnuReport.enabled() && m.mnuTrimTemp.enabled() && m.mnuTrimVolts.enabled() &&
                     m.mnuTrimTE.enabled() && m.mnuCalDate.enabled();
  return {m.lblRefresh.text(),         raw,
          m.ledRefresh.fillColor(),    gated,
          m.lblBatVolts.text() != "-", m.lblRevHardware.text() != "-",
          rig.port.isOpen(),           rig.ui.boxTitles()};
}

// Opens Setup > Serial Port... at `atMs` and runs `steps` once the dialog is shown.
void openPortDialogAt(testing::AppRig& rig, int atMs, std::function<void(ports::frmPorts&)> steps) {
  rig.ui.at(std::chrono::milliseconds(atMs), [&rig, steps] {
    rig.ui.whenShown("frmPorts", [steps](platform::Form& f) { steps(static_cast<ports::frmPorts&>(f)); });
    rig.main.mnuSerialPort.click();
  });
}

struct Row {
  const char* what;
  std::function<void(testing::AppRig&)> setUp;  // before the start; may schedule actions
  int atMs;                                     // when the window is looked at
  Seen expected;
  std::optional<Bytes> settings = Bytes{1, 0};  // the settings file at start (none: missing)
  std::function<void(testing::AppRig&)> alsoCheck = nullptr;
};

const platform::Colour kLit = platform::kRed;
const platform::Colour kDark = platform::kDarkRed;
const Seen kNeverAnswered{"Communication Status", "Comm Status", kDark, false, false, false, false,
                          {kSetupRequired}};

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      // The line.
      {"controller silent",
       [](testing::AppRig& r) { r.model.faults.silent = true; },
       4600,
       {"No Response", "Timeout", kDark, false, false, false, true, {}}},
      {"answers 150 ms late",
       [](testing::AppRig& r) { r.model.faults.answerDelay = 150ms; },
       2300,
       {"Update", " 62, 31,", kDark, true, true, true, true, {}}},
      {"answers 300 ms late",
       [](testing::AppRig& r) { r.model.faults.answerDelay = 300ms; },
       2500,
       {"Update", " 62, 31,", kDark, true, true, true, true, {}}},
      // Each answer comes after the next request and passes: the display lags one poll behind.
      {"answers 2600 ms late, first",
       [](testing::AppRig& r) { r.model.faults.answerDelay = 2600ms; },
       4600,
       {"No Response", "Timeout", kDark, false, false, false, true, {}}},
      {"answers 2600 ms late, later",
       [](testing::AppRig& r) { r.model.faults.answerDelay = 2600ms; },
       9000,
       {"Update", " 62, 31,", kDark, true, true, true, true, {}}},
      {"only the first byte",
       [](testing::AppRig& r) { r.model.faults.firstBytesOnly = 1; },
       2300,
       {"No Response", "Timeout", kDark, false, false, false, true, {}}},
      {"one bad checksum between good answers",
       [](testing::AppRig& r) { r.model.faults.badChecksumEvery = 2; },
       4300,
       {"Update", " 62, 31,", kLit, true, true, true, true, {}}},
      {"every answer with a bad checksum",
       [](testing::AppRig& r) { r.model.faults.badChecksum = true; },
       4600,
       {"No Response", "Timeout", kDark, false, false, false, true, {}}},
      {"garbage before every answer",
       [](testing::AppRig& r) { r.model.faults.garbageBytes = 3; },
       6300,
       {"No Response", "Timeout", kDark, false, false, false, true, {}}},
      {"overlong answers",
       [](testing::AppRig& r) { r.model.faults.overlongAnswers = true; },
       2400,
       {"No Response", "Timeout", kDark, false, false, false, true, {}}},
      {"short answers",
       [](testing::AppRig& r) { r.model.faults.shortAnswers = true; },
       2300,
       {"Update", " 62, 15,", kDark, true, true, false, true, {}}},
      {"answers to a different request",
       [](testing::AppRig& r) { r.model.faults.wrongAnswers = true; },
       2300,
       {"Update", " 67, 22,", kDark, true, false, false, true, {}}},

      // The device.
      {"device gone while polling: down within the receive time-out",
       [](testing::AppRig& r) { r.ui.at(5000ms, [&r] { r.port.unplug(); }); },
       7500,
       {"No Response", "Timeout", kDark, false, true, true, false, {}},
       Bytes{1, 0},
       [](testing::AppRig& r) {
         EXPECT_EQ(r.port.openAttempts(), 2) << "one quiet reopen attempt, at the poll at 6 s";
       }},
      {"device back under the same name: reopened on the next poll",
       [](testing::AppRig& r) {
         r.ui.at(5000ms, [&r] { r.port.unplug(); });
         r.ui.at(9000ms, [&r] { r.port.setAvailability(1, Availability::Usable); });
       },
       10200,
       {"Update", " 62, 31,", kDark, true, true, true, true, {}},
       Bytes{1, 0},
       [](testing::AppRig& r) {
         EXPECT_EQ(r.port.openAttempts(), 4) << "the start, then one a poll at 6, 8 and 10 s";
         EXPECT_EQ(r.port.opens(), 2);
       }},

      // Ports held by another program.
      {"configured port held at start",
       [](testing::AppRig& r) { r.port.setAvailability(1, Availability::Held); },
       3000,
       {"Communication Status",
        "Comm Status",
        kDark,
        false,
        false,
        false,
        false,
        {"Port Setup", kSetupRequired}}},
      {"port held while the port dialog probes, then let go",
       [](testing::AppRig& r) {
         for (int n = 2; n <= 4; ++n)
           r.port.setAvailability(n, Availability::Missing);
         openPortDialogAt(r, 3000, [&r](ports::frmPorts& d) {
           r.port.setAvailability(1, Availability::Held);
           r.ui.at(std::chrono::milliseconds(r.ui.nowMs() + 3100), [&d] { d.cmdCancel.click(); });
           r.ui.at(std::chrono::milliseconds(r.ui.nowMs() + 4000), [&r, &d] {
             r.port.setAvailability(1, Availability::Usable);
             d.cmdCancel.click();
           });
         });
       },
       9200,
       {"Update", " 62, 31,", kDark, true, true, true, true, {"Port Error", "Port Setup"}}},

      // The settings file.
      {"options.cfg missing", nullptr, 3000, kNeverAnswered, std::nullopt},
      {"options.cfg empty", nullptr, 3000, kNeverAnswered, Bytes{}},
      {"options.cfg of 1 byte", nullptr, 3000, kNeverAnswered, Bytes{1}},
      {"options.cfg of 3 bytes",
       nullptr,
       2300,
       {"Update", " 62, 31,", kDark, true, true, true, true, {}},
       Bytes{1, 0, 7}},
      {"options.cfg 05 00", nullptr, 3000, kNeverAnswered, Bytes{5, 0}},
      {"options.cfg FF FF", nullptr, 3000, kNeverAnswered, Bytes{0xFF, 0xFF}},
      {"options.cfg a directory",
       [](testing::AppRig& r) { r.files.faults["options.cfg"] = Fault::IsDirectory; }, 3000, kNeverAnswered,
       std::nullopt},
      {"options.cfg unreadable",
       [](testing::AppRig& r) { r.files.faults["options.cfg"] = Fault::Unreadable; }, 3000, kNeverAnswered},
      {"options.cfg in a read-only directory: a port chosen works for this run",
       [](testing::AppRig& r) {
         r.files.faults["options.cfg"] = Fault::ReadOnlyDirectory;
         r.ui.expectBox(kSetupRequired, MsgResult::Yes);
         r.ui.whenShown(
             "frmPorts", [](platform::Form& f) { static_cast<ports::frmPorts&>(f).cmdCancel.click(); },
             3100ms);
       },
       5300,
       {"Update", " 62, 31,", kDark, true, true, true, true, {kSetupRequired, "Port Setup"}},
       std::nullopt},
  };
  return table;
}

TEST(FaultMatrix, EachFaultShowsWhatItShouldAndNothingIsWrittenThatNobodyAskedFor) {
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.what);
    HeadlessUi ui;
    ui.onFailure = [&](const std::string& what) { ADD_FAILURE() << what; };
    testing::AppRig rig{ui};
    if (row.settings) rig.configure(*row.settings);
    ui.answerAlways(kSetupRequired, MsgResult::No);
    ui.answerAlways("Port Setup", MsgResult::Ok);
    ui.answerAlways("Port Error", MsgResult::Ok);
    if (row.setUp) row.setUp(rig);
    const std::optional<Bytes> settingsBefore =
        rig.files.exists("options.cfg") ? std::optional<Bytes>(rig.settings()) : std::nullopt;

    rig.start();
    ui.advance(std::chrono::milliseconds(row.atMs));

    EXPECT_EQ(seen(rig), row.expected);
    EXPECT_TRUE(rig.model.writes().empty());
    for (const Bytes& request : rig.model.requests())
      EXPECT_EQ(request, (Bytes{0x3E, 0x02, 0xFE})) << "only status requests go out";
    const Bytes written = rig.port.written();
    for (std::size_t i = 0; i < written.size(); ++i)
      ASSERT_EQ(written[i], (Bytes{0x3E, 0x02, 0xFE})[i % 3]) << "byte " << i << " on the line";
    if (settingsBefore) {
      EXPECT_EQ(rig.settings(), *settingsBefore) << "the settings file is left as it was";
    } else {
      EXPECT_TRUE(rig.settings().empty()) << "a missing settings file is at most created empty";
    }
    if (row.alsoCheck) row.alsoCheck(rig);
  }
}

}  // namespace
}  // namespace orvik::app
