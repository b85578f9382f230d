#include "backup/backup_file.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "backup/restore_plan.h"
#include "diagnostics/report_values.h"
#include "link/number_text.h"
#include "link/parameter_numbers.h"
#include "platform/file_start.h"
#include "service_record/change_rows.h"

namespace orvik::backup {

namespace {

using json = nlohmann::ordered_json;
using link::parameter::kCalibrationConstants;
using link::parameter::kCalibrationDate;

// Marks the file for what it is, so that another JSON file is not taken for a backup.
constexpr std::string_view kFormat = "orvik-constants-backup";

json revision(const std::optional<int>& value) {
  return value ? json(*value) : json(nullptr);
}

// Why the constant `entry` cannot be restored, or its bytes.
std::variant<link::FloatBytesArray, std::string> constantBytes(const json& entry, std::uint8_t parameter) {
  const std::string name = ConstantInSentence(parameter);
  const json* value = entry.contains("value") ? &entry["value"] : nullptr;
  const json* hex = entry.contains("bytes") ? &entry["bytes"] : nullptr;
  if (value == nullptr || !value->is_string() || hex == nullptr || !hex->is_string())
    return "the " + name + " has no value or no bytes";
  const auto bytes = service_record::BytesFromHex(hex->get<std::string>());
  if (!bytes) return "the bytes of the " + name + " are not eight hex digits";
  float decoded = 0;
  try {
    decoded = link::FloatFromBytes(*bytes);
  } catch (const link::ConversionError&) {
    return "the bytes of the " + name + " (" + hex->get<std::string>() + ") do not decode to a number";
  }
  const std::string text = value->get<std::string>();
  const std::optional<double> read = link::ReadNumber(text);
  const bool number = read.has_value();
  const double typed = read.value_or(0);
  if (link::parameter::IsGain(parameter) && (!number || typed <= 0 || !(decoded > 0)))
    return "the " + name + " is " + text + ", not a positive number";
  if (!number) return "the " + name + " is " + text + ", not a number";
  // The value is shown to seven digits: it must be the one the bytes carry, or the file was edited.
  if (std::fabs(typed - decoded) > 1e-6 * std::max(1.0, std::fabs(static_cast<double>(decoded))))
    return "the " + name + " is " + text + " but its bytes carry " +
           diagnostics::ReportValueText(parameter, *bytes);
  return *bytes;
}

}  // namespace

std::string BackupJson(const BackupFile& file) {
  json constants = json::array();
  for (std::uint8_t p : kCalibrationConstants) {
    const auto found = file.unit.constants.find(p);
    if (found == file.unit.constants.end()) continue;
    constants.push_back({{"parameter", p},
                         {"name", link::parameter::ConstantTitle(p)},
                         {"value", diagnostics::ReportValueText(p, found->second)},
                         {"bytes", service_record::BytesHex(found->second)}});
  }
  const json document{{"format", kFormat},
                      {"schema_version", file.schemaVersion},
                      {"program", file.program},
                      {"taken_at", file.takenAt},
                      {"unit",
                       {{"tag", file.unit.tag},
                        {"hardware_revision", revision(file.unit.hardwareRevision)},
                        {"software_revision", revision(file.unit.softwareRevision)}}},
                      {"calibration_date",
                       {{"value", diagnostics::ReportValueText(kCalibrationDate, file.unit.calibrationDate)},
                        {"bytes", service_record::BytesHex(file.unit.calibrationDate)}}},
                      {"constants", constants}};
  // Texts that are not UTF-8 (a tag is the controller's bytes) are written with U+FFFD, never refused.
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::variant<BackupFile, std::string> ParseBackup(std::string_view text) {
  const json document = json::parse(text, nullptr, false);
  if (document.is_discarded() || !document.is_object()) return std::string("it is not a JSON document");
  BackupFile file;
  try {
    const json* format = document.contains("format") ? &document["format"] : nullptr;
    if (format == nullptr || *format != kFormat) return std::string("it is not a constants backup");
    const json& version = document.contains("schema_version") ? document["schema_version"] : json();
    if (!version.is_number_integer() || version.get<int>() != kBackupSchemaVersion) {
      return "its schema version is " + (version.is_null() ? std::string("missing") : version.dump()) +
             "; this program reads version " + std::to_string(kBackupSchemaVersion);
    }
    file.program = document.value("program", std::string());
    file.takenAt = document.value("taken_at", std::string());
    const json& unit = document.at("unit");
    file.unit.tag = unit.at("tag").get<std::string>();
    for (auto [key, field] : {std::pair{"hardware_revision", &file.unit.hardwareRevision},
                              std::pair{"software_revision", &file.unit.softwareRevision}}) {
      if (unit.contains(key) && !unit[key].is_null()) *field = unit[key].get<int>();
    }
    const auto date =
        service_record::BytesFromHex(document.at("calibration_date").at("bytes").get<std::string>());
    if (!date) return std::string("the bytes of the calibration date are not eight hex digits");
    file.unit.calibrationDate = *date;
    for (const json& entry : document.at("constants")) {
      const int parameter = entry.at("parameter").get<int>();
      const auto known = std::find(kCalibrationConstants.begin(), kCalibrationConstants.end(), parameter);
      if (known == kCalibrationConstants.end())
        return "it holds parameter " + std::to_string(parameter) + ", which is not a calibration constant";
      if (file.unit.constants.contains(*known))
        return "it holds parameter " + std::to_string(parameter) + " twice";
      const auto bytes = constantBytes(entry, *known);
      if (const auto* problem = std::get_if<std::string>(&bytes)) return *problem;
      file.unit.constants[*known] = std::get<link::FloatBytesArray>(bytes);
    }
  } catch (const json::exception&) {
    return std::string("a field is missing or of the wrong kind");
  }
  for (std::uint8_t p : kCalibrationConstants) {
    if (!file.unit.constants.contains(p)) return "it does not hold the " + ConstantInSentence(p);
  }
  return file;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& problem) {
  // A backup is a few hundred bytes; anything much larger is not one.
  constexpr std::size_t kLargest = 1 << 20;
  std::optional<std::string> text = platform::ReadFileStart(path, kLargest + 1, &problem);
  if (text && text->size() > kLargest) {
    problem = "it is too large to be a backup";
    return std::nullopt;
  }
  return text;
}

}  // namespace orvik::backup
