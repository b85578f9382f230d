#include "link/status_csv.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "link/display_format.h"

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
// Far longer than any line; a line is written from the buffer in one piece.
constexpr std::size_t kBufferSize = 64 * 1024;

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
      number(record.teVolts, 3),
      record.chargeMode ? view.chargeMode.text : "",
      number(record.setpoint, 2),
      control,
      number(record.batVolts, 2),
      number(record.batTemp, 0),
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

StatusCsvFile::~StatusCsvFile() {
  close();
}

void StatusCsvFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

std::string StatusCsvFile::open(const std::string& path) {
  close();
  path_ = path;
  complete_ = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return std::strerror(errno);
  std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
  if (!write(StatusCsvHeader())) {
    std::string reason = std::strerror(errno);
    close();
    return reason;
  }
  return {};
}

bool StatusCsvFile::write(const std::string& line) {
  if (file_ == nullptr) return false;
  if (std::fwrite(line.data(), 1, line.size(), file_) == line.size() && std::fflush(file_) == 0) {
    complete_ += line.size();
    return true;
  }
  // A full disk or a size limit can take part of the line: the log ends with its last whole line.
  const int reason = errno;
  close();
  std::error_code ignored;
  std::filesystem::resize_file(path_, complete_, ignored);
  errno = reason;
  return false;
}

std::string SaveStatusCsv(const std::string& path, const std::deque<StoredStatus>& entries) {
  StatusCsvFile file;
  if (std::string problem = file.open(path); !problem.empty()) return problem;
  LiveView view;
  for (const StoredStatus& entry : entries) {
    if (entry.record) view = StatusView(*entry.record, view);
    const std::string line =
        entry.record ? StatusCsvLine(entry.at, *entry.record, view) : StatusCsvMissedLine(entry.at);
    if (!file.write(line)) return errno != 0 ? std::strerror(errno) : "the file could not be written whole";
  }
  return {};
}

}  // namespace orvik::link
