#include "cli/commands.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

#include "backup/backup_file.h"
#include "backup/restore_plan.h"
#include "calibration/calibration_date.h"
#include "calibration/trim_computation.h"
#include "cli/answer_line.h"
#include "cli/json_output.h"
#include "diagnostics/report_captions.h"
#include "diagnostics/report_values.h"
#include "dialogs/controller_checks.h"
#include "link/display_format.h"
#include "link/parameter_numbers.h"
#include "link/status_csv.h"
#include "link/tag_text.h"
#include "service_record/history_export.h"
#include "version.h"

namespace orvik::cli {

namespace {

using namespace link::parameter;

// A message box's text as lines for a terminal.
std::string lines(std::string text) {
  std::replace(text.begin(), text.end(), '\r', '\n');
  return text;
}

std::size_t characterCount(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(
      utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Whether the record carries the reading a trim starts from.
bool holdsReading(const link::StatusRecord& record, calibration::TrimKind kind) {
  switch (kind) {
    case calibration::TrimKind::BatteryTemp:
      return record.batTemp.has_value();
    case calibration::TrimKind::BatteryVolts:
      return record.batVolts.has_value();
    default:
      return record.teVolts.has_value();
  }
}

// A value read, as the report shows it.
std::string shown(const std::map<std::uint8_t, link::FloatBytesArray>& values, std::uint8_t parameter) {
  return diagnostics::ReportValueText(parameter, values.at(parameter));
}

const char* constantName(calibration::Correction correction) {
  return correction == calibration::Correction::Gain ? "gain" : "offset";
}

std::string programName() {
  return "orvikctl " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

}  // namespace

Runner::Runner(const Invocation& invocation, link::ControllerLink& link, platform::TimerEngine& timers, Io io)
    : inv_(invocation),
      link_(link),
      session_(link, timers),
      io_(std::move(io)),
      tmrWatch_(timers, "tmrWatch", static_cast<int>(invocation.intervalSeconds * 1000)) {
  tmrWatch_.onTick = [this] {
    if (reading_) {
      due_ = true;  // the reading before is still waiting for its answer
    } else {
      pollWatch();
    }
  };
}

void Runner::start() {
  switch (inv_.command) {
    case Command::Status:
      return runStatus();
    case Command::Watch:
      return runWatch();
    case Command::Read:
      return runRead();
    case Command::Report:
      return runReport();
    case Command::Tag:
      return runTag();
    case Command::Trim:
      return runTrim();
    case Command::CalDate:
      return runCalDate();
    case Command::ResetLog:
      return runResetLog();
    case Command::History:
      return runHistory();
    case Command::ServiceReport:
      return runServiceReport();
    case Command::Backup:
      return runBackup();
    case Command::Restore:
      return runRestore();
    case Command::Undo:
      return runUndo();
  }
}

void Runner::finish(int exitCode) {
  if (done_) return;
  done_ = true;
  tellRecord();
  tmrWatch_.setEnabled(false);
  session_.cancel();
  csv_.close();
  if (dropped_ != 0) {
    io_.err << "orvikctl: " << dropped_ << (dropped_ == 1 ? " line was" : " lines were") << " dropped from "
            << csvName() << ".\n";
  }
  io_.out.flush();
  // Output that was lost is a failure, unless the run was stopped (then what was not taken is dropped).
  if (!interrupted_ && outputLost() && exitCode == kSuccess) exitCode = kUsage;
  if (onDone) onDone(exitCode);
}

bool Runner::outputLost() {
  if (io_.out) return false;
  if (!std::exchange(outputTold_, true)) {
    io_.err << "orvikctl: standard output cannot be written: "
            << (io_.outProblem ? io_.outProblem() : std::string("the write failed")) << ".\n";
  }
  return true;
}

bool Runner::openOutput(platform::WholeFileWrite& file, const std::string& name) {
  if (name == "-") return true;
  if (const std::string problem = file.open(name); !problem.empty()) {
    fail(kUsage, "cannot write " + name + ": " + problem + ".");
    return false;
  }
  return true;
}

bool Runner::save(platform::WholeFileWrite& file, const std::string& name, const std::string& text) {
  if (name == "-") {
    io_.out << text << std::flush;
    if (!outputLost()) return true;
    finish(kUsage);
    return false;
  }
  if (const std::string problem = file.finish(text); !problem.empty()) {
    fail(kUsage, "cannot write " + name + ": " + problem + ".");
    return false;
  }
  return true;
}

void Runner::fail(int exitCode, const std::string& message) {
  io_.err << "orvikctl: " << message << '\n';
  finish(exitCode);
}

void Runner::refuse(const platform::MessageBox& box) {
  fail(kRefused, box.title + ": " + lines(box.text));
}

std::string Runner::device() const {
  return link_.port().deviceName(link_.port().commPort());
}

bool Runner::writeMayBeStored() const {
  return write_ && link_.exchange().changeSent(*write_) && !link_.exchange().changeAcknowledged(*write_);
}

std::string Runner::lostPortSentence() const {
  return device() + " went away and cannot be opened again: " + link_.reopenProblem() + ".";
}

void Runner::noAnswer(const std::string& what) {
  // Silence and answers to something else look the same from here: neither brought what was asked.
  std::string message = "the controller on " + device() + " did not answer " + what + " in time.";
  if (!link_.reopenProblem().empty()) message += "\n" + lostPortSentence();
  if (writeMayBeStored())
    message += "\nThe new value may already be stored in the controller; check it before writing again.";
  fail(kNoAnswer, message);
}

void Runner::interrupt() {
  if (done_) return;
  interrupted_ = true;
  if (inv_.command == Command::Watch) return finish(kSuccess);
  if (writer_) {
    std::string said = lines(backup::WriteOutcomeText(writer_->interrupt()));
    said.pop_back();
    io_.err << "orvikctl: " << said << '\n';
  } else if (writeMayBeStored()) {
    io_.err << "orvikctl: stopped; the new value may already be stored in the controller.\n";
  }
  finish(kInterrupted);
}

void Runner::status(int attempts, std::function<void(const link::StatusRecord&)> then) {
  session_.readStatus(
      attempts,
      [this, then = std::move(then)](const link::StatusRecord& record) {
        // The record's own hardware revision decides what it shows, not the one shown before it.
        view_ = link::StatusView(record, link::StatusView(record, view_));
        link_.state().shown = view_;
        then(record);
      },
      [this] { noAnswer("a status request"); });
}

void Runner::readParameters(std::vector<std::uint8_t> numbers, std::function<void(const Values&)> then) {
  std::vector<link::Request> requests;
  for (std::uint8_t number : numbers)
    requests.push_back(link::Request::readParameter(number));
  session_.askEach(
      std::move(requests),
      [numbers, then = std::move(then)](const std::vector<link::Answer>& answers) {
        Values values;
        for (std::size_t i = 0; i < numbers.size(); ++i)
          values[numbers[i]] = answers[i].value();
        then(values);
      },
      [this](const link::Request& request) { noAnswer(link::RequestName(request)); });
}

void Runner::whenReporting(std::function<void()> then) {
  status(kAttempts, [this, then = std::move(then)](const link::StatusRecord&) {
    if (link::ShownRevision(view_) < dialogs::kFirstRevisionWithReports)
      return refuse(dialogs::needsRevision5Box());
    then();
  });
}

bool Runner::confirmed(const std::string& question) {
  if (inv_.yes) return true;
  if (!io_.console.interactive()) {
    fail(kRefused, "nothing written: without a terminal to ask on, confirm with --yes.");
    return false;
  }
  return answeredYes(question);
}

bool Runner::answeredYes(const std::string& question) {
  if (IsYes(io_.console.ask(question + " [y/N] "))) return true;
  fail(kRefused, "nothing written.");
  return false;
}

void Runner::tellRecord() {
  if (io_.journal == nullptr) return;
  while (const auto notice = io_.journal->takeNotice())
    io_.err << "orvikctl: " << *notice << '\n';
}

void Runner::write(const link::Request& request, link::ChangeNote note, const std::string& what,
                   std::function<void()> then) {
  write_ = request;
  link_.exchange().noteChange(request, std::move(note));
  session_.ask(
      request,
      [this, then = std::move(then)](const link::Answer&) {
        tellRecord();
        then();
      },
      [this, what] { noAnswer("the write of " + what); });
}

void Runner::runStatus() {
  status(kAttempts, [this](const link::StatusRecord& record) {
    io_.out << (inv_.json ? statusJson(record, view_) : statusText(view_));
    finish(kSuccess);
  });
}

void Runner::runWatch() {
  if (inv_.csv == "-") {
    csv_.attach(io_.outDescriptor);
    if (!logCsv(link::StatusCsvHeader())) return;
  } else if (!inv_.csv.empty()) {
    if (const std::string problem = csv_.open(inv_.csv, link::StatusCsvHeader()); !problem.empty()) {
      return fail(kUsage, "cannot write " + inv_.csv + ": " + problem + ".");
    }
  }
  tmrWatch_.setEnabled(true);
  pollWatch();
}

std::string Runner::csvName() const {
  return inv_.csv == "-" ? "standard output" : inv_.csv;
}

bool Runner::showLine(const std::string& line) {
  if (inv_.csv == "-") return true;
  io_.out << line << std::flush;
  if (!outputLost()) return true;
  finish(kUsage);
  return false;
}

bool Runner::logCsv(const std::string& line) {
  if (!csv_.isOpen()) return true;
  switch (csv_.write(line)) {
    case platform::Sent::Written:
      return true;
    case platform::Sent::Dropped:
      if (dropped_++ == 0) {
        io_.err << "orvikctl: " << csvName()
                << " does not take the readings as fast as they come; a line was dropped.\n";
      }
      return true;
    case platform::Sent::Failed:
      fail(kUsage, "cannot write " + csvName() + ": " + csv_.problem() + "; the log ends here.");
      return false;
  }
  return true;
}

void Runner::pollWatch() {
  reading_ = true;
  const auto at = io_.now();
  session_.readStatus(
      1,
      [this, at](const link::StatusRecord& record) {
        view_ = link::StatusView(record, link::StatusView(record, view_));
        const std::string line = inv_.json ? watchJsonLine(at, record, view_) : watchLine(at, view_);
        if (showLine(line) && logCsv(link::StatusCsvLine(at, record, view_))) watchReadingDone(true);
      },
      [this, at] {
        const std::string line = inv_.json ? watchJsonMissedLine(at) : watchMissedLine(at);
        if (!showLine(line) || !logCsv(link::StatusCsvMissedLine(at))) return;
        // A port that went away and is not back at the next reading ends the watch: a script learns
        // of it from the exit status rather than from a log of missed readings.
        if (!link_.reopenProblem().empty()) return fail(kNoAnswer, lostPortSentence());
        watchReadingDone(false);
      });
}

void Runner::watchReadingDone(bool answered) {
  reading_ = false;
  if (inv_.count != 0 && ++readings_ >= inv_.count) return finish(answered ? kSuccess : kNoAnswer);
  if (std::exchange(due_, false)) pollWatch();
}

void Runner::runRead() {
  const std::uint8_t number = inv_.parameter;
  if (number != kShutdownStatus) {
    return readParameters({number}, [this, number](const Values& values) {
      io_.out << shown(values, number) << '\n';
      finish(kSuccess);
    });
  }
  // The shutdown reason needs the live temperature, which marks a failed sensor.
  status(kAttempts, [this](const link::StatusRecord&) {
    readParameters({kShutdownStatus}, [this](const Values& values) {
      const auto record = diagnostics::ReadShutdownRecord(values.at(kShutdownStatus), link_.state().BatTemp);
      namespace caption = diagnostics::caption;
      io_.out << caption::kPowerOnCycles << ' ' << record.powerOnCycles << '\n'
              << caption::kShutdownCount << ' ' << record.count << '\n'
              << record.reason << '\n'
              << caption::kShutdownMode << ' ' << record.mode << '\n';
      finish(kSuccess);
    });
  });
}

void Runner::runReport() {
  whenReporting([this] {
    reportReader_ = std::make_unique<diagnostics::ReportReader>(session_);
    reportReader_->start(
        link_.state().BatTemp,
        [this](const Report& report) {
          io_.out << (inv_.json ? reportJson(report) : reportText(report));
          finish(kSuccess);
        },
        [this](const std::string& what) { noAnswer(what); });
  });
}

void Runner::runServiceReport() {
  auto file = std::make_shared<platform::WholeFileWrite>();
  if (!openOutput(*file, inv_.htmlFile)) return;
  whenReporting([this, file] {
    reportReader_ = std::make_unique<diagnostics::ReportReader>(session_);
    reportReader_->start(
        link_.state().BatTemp,
        [this, file](const Report& values) {
          std::string problem;
          std::vector<service_record::ServiceRow> rows;
          if (io_.journal != nullptr) rows = io_.journal->history(values.tag, &problem);
          if (!problem.empty()) io_.err << "orvikctl: the service record cannot be read: " << problem << '\n';
          const auto report =
              diagnostics::ServiceReportContent(values, view_, link_.unit(), std::move(rows), io_.technician,
                                                io_.localTimeText ? io_.localTimeText() : "", programName());
          if (save(*file, inv_.htmlFile, service_record::ServiceReportHtml(report))) finish(kSuccess);
        },
        [this](const std::string& what) { noAnswer(what); });
  });
}

void Runner::runHistory() {
  std::string problem;
  const auto rows = io_.journal != nullptr ? io_.journal->history(inv_.historyTag, &problem)
                                           : std::vector<service_record::ServiceRow>{};
  if (!problem.empty()) return fail(kUsage, "the service record cannot be read: " + problem);
  if (inv_.json) {
    io_.out << historyJson(rows);
  } else if (inv_.csvOut) {
    io_.out << service_record::HistoryCsv(rows);
  } else {
    io_.out << service_record::HistoryText(rows);
  }
  finish(kSuccess);
}

void Runner::runTag() {
  std::string tag;
  if (inv_.newTag) {
    tag = link::TrimmedTag(*inv_.newTag);
    if (const std::size_t n = characterCount(tag); n > static_cast<std::size_t>(link::kTagLength)) {
      return fail(kRefused, "Tag Name: \"" + tag + "\" has " + std::to_string(n) +
                                " characters; a tag holds at most " + std::to_string(link::kTagLength) + ".");
    }
    try {
      link::TagBytesFromText(tag);
    } catch (const link::ConversionError& e) {
      return fail(kRefused, std::string("Tag Name: ") + e.what());
    }
  }
  whenReporting([this, tag] {
    const auto readBack = [this, tag] {
      session_.ask(
          link::Request::readTag(),
          [this, tag](const link::Answer& answer) {
            const std::string held = answer.tag();
            if (inv_.newTag && held != tag) {
              return fail(kNoAnswer,
                          "the controller holds the tag \"" + held + "\" after \"" + tag + "\" was written.");
            }
            io_.out << held << '\n';
            finish(kSuccess);
          },
          [this] { noAnswer("the tag name read"); });
    };
    if (!inv_.newTag) return readBack();
    // The tag before, read for the question and for the service record's row.
    session_.ask(
        link::Request::readTag(),
        [this, tag, readBack](const link::Answer& answer) {
          const std::string before = answer.tag();
          io_.out << "Tag name: \"" << before << "\" -> \"" << tag << '"' << std::endl;
          if (!confirmed("Write?")) return;
          link::ChangeNote note;
          note.change = link::ChangeKind::Tag;
          note.before = before;
          note.written = tag;
          write(link::Request::writeTag(tag), note, "the tag name", readBack);
        },
        [this] { noAnswer("the tag name read"); });
  });
}

void Runner::runTrim() {
  const calibration::TrimRule& rule = calibration::trimRule(inv_.trim);
  const auto entry = calibration::acceptEntry(rule, inv_.actual);
  if (const auto* refused = std::get_if<platform::MessageBox>(&entry)) return refuse(*refused);
  const double actual = std::get<double>(entry);

  status(kAttempts, [this, &rule, actual](const link::StatusRecord& record) {
    if (!holdsReading(record, inv_.trim))
      return fail(kNoAnswer, "the status answer holds no " + std::string(rule.quantity) + ".");
    const float reading = link_.state().*rule.reading;
    if (inv_.trim == calibration::TrimKind::BatteryTemp && link::SensorFailed(reading)) {
      return refuse(dialogs::sensorFailureBox());
    }
    const std::string measured = calibration::measuredText(rule, reading);
    io_.out << "Measured " << rule.quantity << ": " << (measured.empty() ? "0" : measured) << '\n';
    readParameters({rule.parameter}, [this, &rule, actual, measured](const Values& values) {
      const auto stored = calibration::storedConstant(rule.correction, values.at(rule.parameter));
      if (const auto* refused = std::get_if<platform::MessageBox>(&stored)) return refuse(*refused);
      const std::string& storedText = std::get<std::string>(stored);
      const auto next = calibration::newConstant(rule.correction, storedText, measured, actual);
      if (const auto* refused = std::get_if<platform::MessageBox>(&next)) return refuse(*refused);
      const auto value = std::get<calibration::NewConstant>(next);
      const std::string what = std::string(rule.quantity) + " " + constantName(rule.correction);
      io_.out << what << ": " << storedText << " -> " << value.text << std::endl;
      if (!confirmed("Write?")) return;
      const auto note = calibration::trimChange(rule, storedText, values.at(rule.parameter), value, measured,
                                                calibration::entryText(rule, actual));
      write(link::Request::writeParameter(rule.parameter, value.bytes), note, "the new " + what,
            [this, &rule] {
              io_.out << "Written." << std::endl;
              status(kAttempts, [this, &rule](const link::StatusRecord&) {
                const std::string now = calibration::measuredText(rule, link_.state().*rule.reading);
                io_.out << "Measured " << rule.quantity << " now: " << (now.empty() ? "0" : now) << '\n';
                finish(kSuccess);
              });
            });
    });
  });
}

void Runner::runCalDate() {
  platform::Date date = io_.today();
  if (inv_.date) {
    const auto typed = calibration::parseDateField(*inv_.date);
    if (!typed)
      return fail(kRefused, "Invalid Date: \"" + *inv_.date + "\" is not a date; give it as YYYY-MM-DD.");
    date = *typed;
  }
  if (!calibration::calibrationYearFits(date.year)) {
    return fail(kRefused, "Invalid Date: " + calibration::calibrationYearRangeText());
  }
  // A status reading first tells which unit the service record files the new date under.
  status(kAttempts, [this, date](const link::StatusRecord&) {
    readParameters({kCalibrationDate}, [this, date](const Values& values) {
      io_.out << "Calibration date: " << shown(values, kCalibrationDate) << " -> " << link::mediumDate(date)
              << std::endl;
      if (!confirmed("Write?")) return;
      write(link::Request::writeParameter(kCalibrationDate, calibration::calibrationDateBytes(date)),
            calibration::calibrationDateChange(values.at(kCalibrationDate), date), "the calibration date",
            [this] {
              io_.out << "Written." << '\n';
              finish(kSuccess);
            });
    });
  });
}

void Runner::runResetLog() {
  whenReporting([this] {
    readParameters({kShutdownStatus}, [this](const Values& values) {
      const auto record = diagnostics::ReadShutdownRecord(values.at(kShutdownStatus), link_.state().BatTemp);
      io_.out << diagnostics::caption::kShutdownCount << ' ' << record.count << std::endl;
      if (!confirmed("OK to clear the diagnostics log?")) return;
      write(link::Request::writeParameter(kShutdownStatus, {0, 0, 0, 0}),
            diagnostics::logResetChange(values.at(kShutdownStatus), link_.state().BatTemp), "the cleared log",
            [this] {
              io_.out << "Diagnostics log cleared." << '\n';
              finish(kSuccess);
            });
    });
  });
}

void Runner::runBackup() {
  auto output = std::make_shared<platform::WholeFileWrite>();
  if (!openOutput(*output, inv_.backupFile)) return;
  whenReporting([this, output] {
    backup::ReadUnitConstants(
        session_, link_,
        [this, output](const backup::UnitConstants& unit) {
          const backup::BackupFile file{backup::kBackupSchemaVersion, programName(),
                                        link::IsoUtcTime(io_.now()), unit};
          if (!save(*output, inv_.backupFile, backup::BackupJson(file))) return;
          // With the backup itself on standard output, what was saved is said with the messages.
          const bool toOutput = inv_.backupFile == "-";
          std::ostream& said = toOutput ? io_.err : io_.out;
          said << "Backed up \"" << unit.tag << "\" to " << (toOutput ? "standard output" : inv_.backupFile)
               << ":\n"
               << "Calibration date: " << diagnostics::ReportValueText(kCalibrationDate, unit.calibrationDate)
               << '\n';
          for (const auto& [parameter, bytes] : unit.constants) {
            said << link::parameter::ConstantTitle(parameter) << ": "
                 << diagnostics::ReportValueText(parameter, bytes) << '\n';
          }
          finish(kSuccess);
        },
        [this](const std::string& what) { noAnswer(what); });
  });
}

void Runner::runRestore() {
  std::string problem;
  const auto text = backup::ReadWholeFile(inv_.backupFile, problem);
  if (!text) return fail(kUsage, "cannot read " + inv_.backupFile + ": " + problem + ".");
  auto parsed = backup::ParseBackup(*text);
  if (const auto* why = std::get_if<std::string>(&parsed))
    return fail(kUsage, inv_.backupFile + " cannot be restored: " + *why + ". Nothing was written.");
  const backup::UnitConstants fromFile = std::get<backup::BackupFile>(parsed).unit;
  whenReporting([this, fromFile] {
    backup::ReadUnitConstants(
        session_, link_,
        [this, fromFile](const backup::UnitConstants& unit) {
          if (const std::string refusal = backup::RestoreRefusal(unit, fromFile); !refusal.empty())
            return fail(kRefused, refusal);
          const auto all = backup::RestoreLines(unit, fromFile);
          io_.out << lines(backup::RestoreTableText(all, "in the file"));
          auto changing = backup::ChangingLines(all);
          if (changing.empty()) {
            io_.out << "Nothing to write: the controller holds every constant of the file.\n";
            return finish(kSuccess);
          }
          if (backup::FromOtherUnit(unit, fromFile) && !inv_.otherUnit) {
            return fail(kRefused, "the file was taken from the unit \"" + link::TrimmedTag(fromFile.tag) +
                                      "\", but the controller connected is \"" + link::TrimmedTag(unit.tag) +
                                      "\". Nothing was written; give --other-unit to write it all the same.");
          }
          if (!confirmed("Write?")) return;
          std::error_code ec;
          const auto source = std::filesystem::absolute(inv_.backupFile, ec);
          writeConstants(std::move(changing), link::ChangeKind::Restore,
                         ec ? inv_.backupFile : source.string());
        },
        [this](const std::string& what) { noAnswer(what); });
  });
}

void Runner::runUndo() {
  std::string problem;
  const auto row = io_.journal != nullptr ? io_.journal->row(inv_.rowId, &problem) : std::nullopt;
  if (!problem.empty()) return fail(kUsage, "the service record cannot be read: " + problem);
  if (!row) return fail(kUsage, "the service record has no row " + std::to_string(inv_.rowId) + ".");
  if (!service_record::Undoable(*row))
    return fail(kRefused, std::get<std::string>(backup::PlanUndo(*row, "", {}, {})));
  whenReporting([this, row = *row] {
    const auto parameter = static_cast<std::uint8_t>(*row.parameter);
    session_.askEach(
        {link::Request::readTag(), link::Request::readParameter(parameter)},
        [this, row](const std::vector<link::Answer>& answers) {
          const std::string tag = answers[0].tag();
          const auto planned = backup::PlanUndo(row, tag, link_.unit().hardwareRevision, answers[1].value(),
                                                io_.journal->history(tag));
          if (const auto* why = std::get_if<std::string>(&planned)) return fail(kRefused, *why);
          const auto& plan = std::get<backup::UndoPlan>(planned);
          io_.out << lines(backup::RestoreTableText(std::vector{plan.line}, "before the trim"));
          if (!plan.line.differs()) {
            io_.out << "Nothing to write: the controller holds the value from before the trim.\n";
            return finish(kSuccess);
          }
          if (!plan.changedSince.empty()) {
            io_.out << plan.changedSince << '\n';
            // A value changed since needs a person's answer: --yes does not give it.
            if (!io_.console.interactive())
              return fail(kRefused,
                          "nothing written: the value changed since the trim; undo it on a terminal.");
            if (!answeredYes("Write the value from before the trim all the same?")) return;
          } else if (!confirmed("Write?")) {
            return;
          }
          writeConstants(std::vector{plan.line}, link::ChangeKind::Undo, "row " + std::to_string(row.id));
        },
        [this](const link::Request& request) { noAnswer(link::RequestName(request)); });
  });
}

void Runner::writeConstants(std::vector<backup::RestoreLine> constants, link::ChangeKind kind,
                            std::string source) {
  writer_ = std::make_unique<backup::ConstantsWriter>(session_, link_.exchange());
  writer_->onWritten = [this](std::uint8_t parameter) {
    tellRecord();
    io_.out << "Written and read back: " << link::parameter::ConstantTitle(parameter) << std::endl;
  };
  writer_->start(std::move(constants), kind, std::move(source), [this](const backup::WriteOutcome& outcome) {
    tellRecord();
    std::string said = lines(backup::WriteOutcomeText(outcome));
    said.pop_back();  // the last line's end: fail ends the message
    if (!outcome.complete()) return fail(kNoAnswer, said);
    finish(kSuccess);
  });
}

}  // namespace orvik::cli
