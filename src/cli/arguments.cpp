#include "cli/arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "link/number_text.h"
#include "link/parameter_numbers.h"
#include "version.h"

namespace orvik::cli {

namespace {

using namespace link::parameter;

constexpr const char* kDescription =
    "orvikctl - the charger's controller from the command line: status, logging, report, tag and trims.\n"
    "Data goes to stdout, messages to stderr.";

constexpr const char* kMainFooter = R"(
Port: --device PORT, or --comm N (1..4) whose device is --commN DEVICE, else the environment variable
ORVIK_COMMN, else the line COMMN= of comm-devices.cfg, else the system's default; without either, the
port chosen in options.cfg (Comm 1 when there is none). Both files are read in the working directory
when it holds options.cfg, else in the monitor's per-user folder ~/.config/orvik-monitor (or
$XDG_CONFIG_HOME/orvik-monitor), where the menu entry's monitor keeps them.

Exit status: 0 success; 2 usage; 3 port missing, busy, not permitted or not reachable; 4 the controller
did not answer or answered wrongly, a restore stopped part-way, or the port went away for good; 5
refused (out of range, not a number, trim not possible, a backup of another revision or unit, a value
changed since its trim, not confirmed).

Examples:
  orvikctl --device /dev/ttyUSB0 status
  orvikctl --device rfc2217://bench-3:2001 status
  orvikctl --comm 2 watch --interval 5 --csv charger.csv
  orvikctl report --json
  orvikctl trim battery-volts --actual 12.5
  orvikctl history --tag "BAY 4 CHARGER" --csv > history.csv
Run "orvikctl COMMAND --help" for a command's options.)";

const std::vector<std::pair<std::string, calibration::TrimKind>> kTrims = {
    {"battery-volts", calibration::TrimKind::BatteryVolts},
    {"te-volts", calibration::TrimKind::TeVolts},
    {"battery-temp", calibration::TrimKind::BatteryTemp}};

std::optional<std::uint8_t> parameterNumber(const std::string& text) {
  for (const auto& [name, number] : parameterNames())
    if (text == name) return number;
  if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), ::isdigit))
    return std::nullopt;
  const int n = std::stoi(text);
  if (n > 255) return std::nullopt;
  return static_cast<std::uint8_t>(n);
}

// An option whose value is a whole number from `lowest` to `highest`, read as every number is (CLI11's
// own reader takes "0x10" and "+3" and follows the locale).
CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, int& value, int lowest, int highest,
                            const std::string& description) {
  return app.add_option_function<std::string>(
      name,
      [&value, name, lowest, highest](const std::string& text) {
        const std::optional<double> number = link::ReadNumber(text);
        if (!number || *number != std::floor(*number) || *number < lowest || *number > highest) {
          throw CLI::ValidationError(name, "'" + text + "' is no whole number from " +
                                               std::to_string(lowest) + " to " + std::to_string(highest));
        }
        value = static_cast<int>(*number);
      },
      description);
}

// The edit distance of two words, a swap of neighbours counting as one edit (optimal string alignment).
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i)
    d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j)
    d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] =
          std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// ", did you mean 'X'?" for the candidates nearest to `word`: those it is the start of (two characters
// or more), else those at most two edits away; nothing when none is that near.
std::string nearestOf(const std::string& word, const std::vector<std::string>& candidates) {
  const auto bare = [](std::string_view text) {
    return text.substr(std::min(text.find_first_not_of('-'), text.size()));
  };
  const std::string_view typed = bare(word);
  std::size_t best = 3;
  std::vector<std::string> nearest;
  for (const std::string& candidate : candidates) {
    const std::string_view name = bare(candidate);
    const std::size_t score = typed.size() >= 2 && name.starts_with(typed) ? 0 : editDistance(typed, name);
    if (score >= typed.size() || score > best ||
        std::find(nearest.begin(), nearest.end(), candidate) != nearest.end())
      continue;
    if (score < best) nearest.clear();
    best = score;
    nearest.push_back(candidate);
  }
  if (nearest.empty()) return "";
  std::string text = "; did you mean ";
  for (std::size_t i = 0; i < nearest.size(); ++i)
    text += (i == 0 ? "" : i + 1 == nearest.size() ? " or " : ", ") + ("'" + nearest[i] + "'");
  return text + "?";
}

std::vector<std::string> commandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    names.push_back(sub->get_name());
  return names;
}

std::vector<std::string> optionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames())
      names.push_back("--" + name);
  }
  return names;
}

std::string notACommand(const std::string& word, const CLI::App& app) {
  return "orvikctl: '" + word + "' is not an orvikctl command" + nearestOf(word, commandNames(app)) +
         "\nRun 'orvikctl --help' for the commands.\n";
}

// The usage error for the first word on the command line that no command and no option takes; empty
// when every word was taken.
std::string unknownWordError(const CLI::App& app, const std::vector<std::string>& args) {
  const std::vector<std::string> left = app.remaining(true);
  if (left.empty()) return "";
  const std::string& word = left.front();
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
  const std::string path = command ? "orvikctl " + command->get_name() : "orvikctl";
  const std::string more = command ? "\nRun '" + path + " --help' for its options.\n"
                                   : "\nRun 'orvikctl --help' for the commands and options.\n";
  if (word.size() > 1 && word.front() == '-') {
    const std::string name = word.substr(0, word.find('='));
    std::vector<std::string> options = optionNames(app);
    if (command) {
      const std::vector<std::string> own = optionNames(*command);
      if (std::find(own.begin(), own.end(), name) != own.end())
        return "orvikctl: '" + name + "' is an option of '" + path + "': give it after the command" + more;
      options.insert(options.begin(), own.begin(), own.end());
    }
    return "orvikctl: '" + name + "' is not " +
           (command ? "an option of '" + path + "'" : "an orvikctl option") + nearestOf(name, options) + more;
  }
  // A word before the command, or without one, stands where a command is expected.
  const auto at = [&](const std::string& text) {
    return std::find(args.begin(), args.end(), text) - args.begin();
  };
  if (!command || at(word) < at(command->get_name())) return notACommand(word, app);
  return "orvikctl: '" + word + "' is an argument too many for '" + path + "'" + more;
}

std::string parameterList() {
  std::string list;
  for (const auto& [name, number] : parameterNames())
    list += "\n  " + std::string(name) + " (" + std::to_string(number) + ")";
  return list;
}

}  // namespace

const std::vector<ParameterName>& parameterNames() {
  static const std::vector<ParameterName> names = {
      {"cal-date", kCalibrationDate},
      {"battery-gain", kBatteryVoltsGain},
      {"te-gain", kTeVoltsGain},
      {"temp-gain", kBatteryTempGain},
      {"temp-offset", kBatteryTempOffset},
      {"shutdowns", kShutdownStatus},
      {"shutdown-te-volts", kShutdownTeVolts},
      {"shutdown-battery-volts", kShutdownBatteryVolts},
      {"shutdown-battery-temp", kShutdownBatteryTemp},
  };
  return names;
}

bool Writes(const Invocation& inv) {
  switch (inv.command) {
    case Command::Tag:
      return inv.newTag.has_value();
    case Command::Trim:
    case Command::CalDate:
    case Command::ResetLog:
    case Command::Restore:
    case Command::Undo:
      return true;
    default:
      return false;
  }
}

Parsed parseArguments(const std::vector<std::string>& args) {
  Invocation inv;
  CLI::App app{kDescription, "orvikctl"};
  app.fallthrough();
  // At most one command; a missing one, and words no command or option takes, are said below, naming
  // the word and the nearest command or option.
  app.require_subcommand(0, 1);
  app.allow_extras();
  app.footer(kMainFooter);
  app.set_version_flag("--version", "orvikctl " + std::to_string(kVersionMajor) + "." +
                                        std::to_string(kVersionMinor) + "." +
                                        std::to_string(kVersionRevision));
  // An empty device, from an unset variable ("$PORT"), must not fall back to Comm 1.
  const CLI::Validator named(
      [](const std::string& text) {
        return text.empty() ? std::string("an empty name names no device") : "";
      },
      "");
  auto* device = app.add_option("--device", inv.device,
                                "the serial device, for example /dev/ttyUSB0, or a serial server's port, "
                                "tcp://HOST:PORT or rfc2217://HOST:PORT")
                     ->check(named)
                     ->option_text("PORT");
  auto* comm = addWholeNumber(app, "--comm", inv.comm, 1, 4,
                              "port Comm N (1 to 4), its device resolved as the monitor does")
                   ->option_text("N");
  device->excludes(comm);
  for (int n = 1; n <= 4; ++n) {
    app.add_option("--comm" + std::to_string(n), inv.commDevices[n - 1],
                   "the device of Comm " + std::to_string(n))
        ->check(named)
        ->option_text("DEVICE")
        ->group("Port map");
  }

  app.add_option("--service-db", inv.serviceDb,
                 "the service record (default $XDG_DATA_HOME/orvik-monitor/service.db)")
      ->option_text("FILE");

  auto* status = app.add_subcommand("status", "one status reading, in the monitor's own words");
  status->add_flag("--json", inv.json, "as JSON");
  status->footer("\nExample:\n  orvikctl --comm 1 status --json");

  auto* watch = app.add_subcommand("watch", "a status reading every few seconds, one line each");
  // Read by the link's reader, as every number: CLI11's follows the locale, and takes "nan".
  watch
      ->add_option_function<std::string>(
          "--interval",
          [&inv](const std::string& text) {
            const std::optional<double> seconds = link::ReadNumber(text);
            if (!seconds || *seconds < 0.5 || *seconds > 86400)
              throw CLI::ValidationError("--interval",
                                         "'" + text + "' is no number of seconds from 0.5 to 86400");
            inv.intervalSeconds = *seconds;
          },
          "seconds between readings, 0.5 to 86400 (default 2)")
      ->option_text("SECONDS");
  addWholeNumber(*watch, "--count", inv.count, 1, 100'000'000,
                 "stop after K readings (default: until Ctrl+C)")
      ->option_text("K");
  watch->add_option("--csv", inv.csv, "also log every reading to FILE as CSV")->option_text("FILE");
  watch->add_flag("--json", inv.json, "each reading as a JSON object on a line of its own (JSON lines)");
  watch->footer(
      "\nA missed reading is a line that says so. Ctrl+C ends it.\n\nExamples:\n"
      "  orvikctl watch --interval 10 --csv charger.csv\n"
      "  orvikctl watch --json | jq .battery_voltage_v");

  std::string parameter;
  auto* read = app.add_subcommand("read", "one controller parameter, as the report shows it");
  read->add_option("PARAMETER", parameter, "a number 0..255 or a name")->required();
  read->footer("\nNames:" + parameterList() + "\n\nExample:\n  orvikctl read battery-gain");

  auto* report = app.add_subcommand("report", "tag, constants and the diagnostics log");
  report->add_flag("--json", inv.json, "as JSON");
  report->footer("\nExample:\n  orvikctl report --json > unit.json");

  std::string tag;
  auto* tagCommand = app.add_subcommand("tag", "print the tag name, or write a new one");
  auto* tagOption =
      tagCommand->add_option("NEW", tag, "the new tag: at most 20 characters that Windows-1252 holds");
  tagCommand->add_flag("-y,--yes", inv.yes, "write without asking (needed without a terminal)");
  tagCommand->footer(
      "\nShows the tag held and the new one and asks \"Write? [y/N]\"; the new tag is read back to confirm\n"
      "it.\n\nExample:\n  orvikctl tag \"BAY 4 CHARGER\"");

  std::string trim;
  auto* trimCommand = app.add_subcommand("trim", "correct a constant against a reference reading");
  trimCommand->add_option("QUANTITY", trim, "battery-volts, te-volts or battery-temp")
      ->required()
      ->check(CLI::IsMember({"battery-volts", "te-volts", "battery-temp"}));
  trimCommand->add_option("--actual", inv.actual, "the true value the reference instrument shows")
      ->required()
      ->option_text("VALUE");
  trimCommand->add_flag("-y,--yes", inv.yes, "write without asking (needed without a terminal)");
  trimCommand->footer(
      "\nTakes a fresh reading as the measured value, shows the stored and the new constant and asks\n"
      "\"Write? [y/N]\"; after the write it prints a reading taken after it.\n\nExample:\n"
      "  orvikctl trim battery-volts --actual 12.5");

  std::string date;
  auto* calDate = app.add_subcommand("cal-date", "store the calibration date");
  auto* dateOption = calDate->add_option("DATE", date, "YYYY-MM-DD (default today), years 2001..2099");
  calDate->add_flag("-y,--yes", inv.yes, "write without asking (needed without a terminal)");
  calDate->footer("\nExample:\n  orvikctl cal-date 2026-12-07");

  auto* resetLog = app.add_subcommand("reset-log", "clear the diagnostics log");
  resetLog->add_flag("-y,--yes", inv.yes, "clear without asking (needed without a terminal)");

  std::string historyTag;
  auto* history = app.add_subcommand("history", "the changes the service record holds, newest first");
  auto* historyTagOption =
      history->add_option("--tag", historyTag, "only the unit with this tag")->option_text("TAG");
  auto* historyCsv = history->add_flag("--csv", inv.csvOut, "as CSV");
  auto* historyJson = history->add_flag("--json", inv.json, "as JSON");
  historyCsv->excludes(historyJson);
  history->footer(
      "\nEvery change a controller confirmed, from the monitor and from orvikctl; the controller is not "
      "asked.\n\n"
      "Example:\n  orvikctl history --tag \"BAY 4 CHARGER\"");

  auto* serviceReport = app.add_subcommand("service-report", "the unit's service report as HTML");
  serviceReport->add_option("--html", inv.htmlFile, "write the report to FILE")
      ->required()
      ->option_text("FILE");
  serviceReport->footer(
      "\nReads the tag, the constants, the diagnostics log and a status reading, and adds the unit's\n"
      "service history.\n\nExample:\n  orvikctl service-report --html unit.html");

  auto* backup = app.add_subcommand("backup", "save the unit's calibration constants to a file");
  backup->add_option("FILE", inv.backupFile, "the backup file to write (JSON)")->required();
  backup->footer(
      "\nReads the tag, the revisions, the calibration date and the four constants, each with its\n"
      "controller bytes, so a restore is exact to the bit.\n\nExample:\n  orvikctl backup bay4.json");

  auto* restore = app.add_subcommand("restore", "write a backup's constants back to the unit");
  restore->add_option("FILE", inv.backupFile, "the backup file to restore")->required();
  restore->add_flag("-y,--yes", inv.yes, "write without asking (needed without a terminal)");
  restore->add_flag("--other-unit", inv.otherUnit, "the file may be of a unit with another tag");
  restore->footer(
      "\nShows each constant now and in the file, then writes only those that differ, each read back\n"
      "before the next. A file of another hardware revision is refused; one of another tag needs\n"
      "--other-unit.\n\nExample:\n  orvikctl restore bay4.json");

  auto* undo = app.add_subcommand("undo", "take back a trim: write the value it replaced");
  undo->add_option("ROW-ID", inv.rowId, "the trim's id in `orvikctl history`")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& text) {
            return text.size() <= 18 && text.find_first_not_of("0123456789") == std::string::npos &&
                           text.find_first_not_of('0') != std::string::npos
                       ? std::string()
                       : "'" + text + "' is no row id; give the id column of orvikctl history";
          },
          "ID"));
  undo->add_flag("-y,--yes", inv.yes, "write without asking (needed without a terminal)");
  undo->footer(
      "\nThe connected unit must be the trim's. If its value is no longer the one the trim wrote, it\n"
      "says so and asks again, on a terminal only.\n\nExample:\n  orvikctl undo 12");

  std::string helpTopic;
  auto* help = app.add_subcommand("help", "the options of a command, or the commands");
  help->add_option("COMMAND", helpTopic, "the command");
  help->footer("\nExample:\n  orvikctl help trim");

  Parsed parsed;
  std::ostringstream out;
  std::ostringstream err;
  const auto usageError = [&parsed](const std::string& text) {
    parsed.exitCode = kUsage;
    parsed.err = text;
    return parsed;
  };
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    if (const std::string error = unknownWordError(app, args); !error.empty()) return usageError(error);
    if (app.get_subcommands().empty()) {
      return usageError(
          "orvikctl: a command is required, for example 'orvikctl status'.\n"
          "Run 'orvikctl --help' for the commands.\n");
    }
    if (*help) {
      if (helpTopic.empty()) {
        parsed.out = app.get_formatter()->make_help(&app, "orvikctl", CLI::AppFormatMode::Normal);
        return parsed;
      }
      const auto names = commandNames(app);
      if (std::find(names.begin(), names.end(), helpTopic) == names.end())
        return usageError(notACommand(helpTopic, app));
      parsed.out = app.get_subcommand(helpTopic)->help("orvikctl");
      return parsed;
    }
    // Both would be standard output, which carries the log alone with "--csv -".
    if (*watch && inv.json && inv.csv == "-")
      throw CLI::ValidationError("--json", "standard output carries the log of --csv -; give --csv a file");
    if (*read) {
      const auto number = parameterNumber(parameter);
      if (!number)
        throw CLI::ValidationError(
            "PARAMETER", "'" + parameter + "' is no parameter; give 0..255 or a name:" + parameterList());
      inv.parameter = *number;
    }
  } catch (const CLI::ParseError& e) {
    // A word nothing takes is said before what it may have caused (a required option taken for missing).
    const std::string error = unknownWordError(app, args);
    if (e.get_exit_code() != 0 && !error.empty()) return usageError(error);
    const int code = app.exit(e, out, err);
    parsed.exitCode = code == 0 ? kSuccess : kUsage;
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
  }

  const std::pair<CLI::App*, Command> commands[] = {
      {status, Command::Status},   {watch, Command::Watch},
      {read, Command::Read},       {report, Command::Report},
      {tagCommand, Command::Tag},  {trimCommand, Command::Trim},
      {calDate, Command::CalDate}, {resetLog, Command::ResetLog},
      {history, Command::History}, {serviceReport, Command::ServiceReport},
      {backup, Command::Backup},   {restore, Command::Restore},
      {undo, Command::Undo}};
  for (const auto& [sub, command] : commands)
    if (sub->parsed()) inv.command = command;
  if (*tagOption) inv.newTag = tag;
  if (*dateOption) inv.date = date;
  if (*historyTagOption) inv.historyTag = historyTag;
  for (const auto& [name, kind] : kTrims)
    if (trim == name) inv.trim = kind;
  parsed.invocation = inv;
  return parsed;
}

}  // namespace orvik::cli
