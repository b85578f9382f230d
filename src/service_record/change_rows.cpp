#include "service_record/change_rows.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "link/status_csv.h"

namespace orvik::service_record {

std::string BytesHex(const link::FloatBytesArray& bytes) {
  char text[9];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::optional<link::FloatBytesArray> BytesFromHex(std::string_view hex) {
  if (hex.size() != 8) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  link::FloatBytesArray bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = digit(hex[2 * i]);
    const int low = digit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return bytes;
}

std::tm LocalTime(std::chrono::system_clock::time_point at) {
  const std::time_t t = std::chrono::system_clock::to_time_t(at);
  std::tm local{};
#ifndef _WIN32
  localtime_r(&t, &local);
#else
  localtime_s(&local, &t);
#endif
  return local;
}

std::string LocalTimeText(std::chrono::system_clock::time_point at) {
  const std::tm local = LocalTime(at);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

std::string OperatingSystemUser() {
#ifndef _WIN32
  // The account the program runs as, which a changed $USER cannot pass off as another.
  std::vector<char> buffer(4096);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return found->pw_name;
  if (const char* name = std::getenv("USER")) return name;
  return std::to_string(geteuid());
#else
  const char* name = std::getenv("USERNAME");
  return name != nullptr ? name : "";
#endif
}

ServiceRow RowFor(const link::ChangeNote& note, const link::UnitIdentity& unit, const RecordingProgram& by) {
  ServiceRow row;
  row.at = link::IsoUtcTime(by.now());
  row.tag = unit.tag.value_or("");
  row.hardwareRevision = unit.hardwareRevision;
  row.softwareRevision = unit.softwareRevision;
  row.program = by.program;
  row.user = by.user;
  row.change = note.change;
  row.parameter = note.parameter;
  row.before = note.before;
  if (note.beforeBytes) row.beforeBytes = BytesHex(*note.beforeBytes);
  row.written = note.written;
  if (note.writtenBytes) row.writtenBytes = BytesHex(*note.writtenBytes);
  row.measured = note.measured;
  row.reference = note.reference;
  row.source = note.source;
  return row;
}

void RecordConfirmedChanges(link::ControllerLink& link, ServiceJournal& journal, RecordingProgram by) {
  link.setReadsTag(true);
  link.exchange().onConfirmed = [&link, &journal, by = std::move(by)](const link::ChangeNote& note) {
    journal.record(RowFor(note, link.unit(), by));
  };
}

}  // namespace orvik::service_record
