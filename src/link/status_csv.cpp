#include "link/status_csv.h"

#include <cstdio>

#include "link/display_format.h"
#include "platform/file_writing.h"

namespace orvik::link {

namespace {

constexpr const char* kColumns[] = {"time",
                                    "link",
                                    "te_module_v",
                                    "mode",
                                    "setpoint_v",
                                    "control_pct",
                                    "battery_v",
                                    "battery_temp_f",
                                    "alarm_code",
                                    "alarm_messages",
                                    "calibrated",
                                    "hardware_revision",
                                    "software_revision"};
constexpr std::size_t kColumnCount = std::size(kColumns);

std::string cell(const std::string& text) {
  return CsvQuoted(text);
}

std::string joined(const std::string (&cells)[kColumnCount]) {
  std::string line;
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    if (i != 0) line += ',';
    line += cell(cells[i]);
  }
  return line + '\n';
}

template <typename T>
std::string number(const std::optional<T>& value, int decimals) {
  return value ? formatFixed(*value, decimals) : std::string();
}

}  // namespace

std::string CsvQuoted(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + '"';
}

std::string IsoUtcTime(std::chrono::system_clock::time_point at) {
  using namespace std::chrono;
  const auto seconds = floor<std::chrono::seconds>(at);
  const auto day = floor<days>(seconds);
  const year_month_day date{day};
  const hh_mm_ss time{seconds - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string StatusCsvHeader() {
  std::string cells[kColumnCount];
  for (std::size_t i = 0; i < kColumnCount; ++i)
    cells[i] = kColumns[i];
  return joined(cells);
}

std::string StatusCsvLine(std::chrono::system_clock::time_point at, const StatusRecord& record,
                          const LiveView& view) {
  std::string alarm = view.alarm;
  if (!alarm.empty() && alarm.front() == '\r') alarm.erase(0, 1);  // the display's own line break
  std::string control = record.pwmCount ? view.pwm.text : "";
  if (!control.empty() && control.back() == '%') control.pop_back();
  const std::string cells[kColumnCount] = {
      IsoUtcTime(at),
      "ok",
      number(record.teVolts, kTeVoltsDecimals),
      record.chargeMode ? view.chargeMode.text : "",
      number(record.setpoint, kVoltsDecimals),
      control,
      number(record.batVolts, kVoltsDecimals),
      number(record.batTemp, kTemperatureDecimals),
      record.alarmCode ? std::to_string(*record.alarmCode) : "",
      alarm,
      record.calibration ? view.calDate : "",
      record.hardwareRevision ? std::to_string(*record.hardwareRevision) : "",
      record.softwareRevision ? std::to_string(*record.softwareRevision) : "",
  };
  return joined(cells);
}

std::string StatusCsvMissedLine(std::chrono::system_clock::time_point at) {
  std::string cells[kColumnCount];
  cells[0] = IsoUtcTime(at);
  cells[1] = "no response";
  return joined(cells);
}

std::string StatusCsvText(const std::deque<StoredStatus>& entries) {
  std::string text = StatusCsvHeader();
  LiveView view;
  for (const StoredStatus& entry : entries) {
    if (entry.record) view = StatusView(*entry.record, view);
    text += entry.record ? StatusCsvLine(entry.at, *entry.record, view) : StatusCsvMissedLine(entry.at);
  }
  return text;
}

std::string SaveStatusCsv(const std::string& path, const std::deque<StoredStatus>& entries) {
  return platform::WriteFileWhole(path, StatusCsvText(entries));
}

}  // namespace orvik::link
