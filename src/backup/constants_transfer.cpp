#include "backup/constants_transfer.h"

#include <utility>

#include "diagnostics/report_values.h"
#include "link/parameter_numbers.h"
#include "service_record/change_rows.h"

namespace orvik::backup {

namespace {

using link::parameter::kCalibrationConstants;
using link::parameter::kCalibrationDate;

std::string shown(std::uint8_t parameter, const link::FloatBytesArray& bytes) {
  return diagnostics::ReportValueText(parameter, bytes);
}

// A value as the report shows it with its four bytes, so two values that show alike are told apart:
// "1 (bytes 7F000001)".
std::string ValueWithBytes(std::uint8_t parameter, const link::FloatBytesArray& bytes) {
  return shown(parameter, bytes) + " (bytes " + service_record::BytesHex(bytes) + ")";
}

std::string titles(const std::vector<std::uint8_t>& parameters) {
  std::string text;
  for (std::uint8_t p : parameters)
    text += (text.empty() ? "" : ", ") + std::string(link::parameter::ConstantTitle(p));
  return text.empty() ? "none" : text;
}

}  // namespace

void ReadUnitConstants(link::Session& session, const link::ControllerLink& link,
                       std::function<void(const UnitConstants&)> done,
                       std::function<void(const std::string& what)> failed) {
  std::vector<link::Request> requests{link::Request::readTag(),
                                      link::Request::readParameter(kCalibrationDate)};
  for (std::uint8_t p : kCalibrationConstants)
    requests.push_back(link::Request::readParameter(p));
  session.askEach(
      std::move(requests),
      [&link, done = std::move(done)](const std::vector<link::Answer>& answers) {
        UnitConstants unit;
        unit.tag = answers[0].tag();
        unit.hardwareRevision = link.unit().hardwareRevision;
        unit.softwareRevision = link.unit().softwareRevision;
        unit.calibrationDate = answers[1].value();
        for (std::size_t i = 0; i < kCalibrationConstants.size(); ++i)
          unit.constants[kCalibrationConstants[i]] = answers[i + 2].value();
        done(unit);
      },
      [failed = std::move(failed)](const link::Request& request) { failed(link::RequestName(request)); });
}

std::string WriteOutcomeText(const WriteOutcome& outcome) {
  std::string text;
  if (outcome.stoppedAt) {
    text += "Stopped at the " + ConstantInSentence(*outcome.stoppedAt) + ": " + outcome.why + ".\r";
  }
  text += "Written and read back: " + titles(outcome.written) + ".\r";
  if (outcome.stoppedAt) {
    text += "Not written: " + titles(outcome.notWritten) + ".\r";
    if (outcome.mayBeStored) {
      text += "The controller may hold the new " + ConstantInSentence(*outcome.stoppedAt) +
              " all the same; read it before writing again.\r";
    }
  }
  return text;
}

void ConstantsWriter::start(std::vector<RestoreLine> lines, link::ChangeKind kind, std::string source,
                            std::function<void(const WriteOutcome&)> done) {
  lines_ = std::move(lines);
  kind_ = kind;
  source_ = std::move(source);
  done_ = std::move(done);
  outcome_ = {};
  at_ = 0;
  next();
}

ConstantsWriter::~ConstantsWriter() {
  // A write acknowledged whose read-back never came is the controller's all the same.
  if (at_ < lines_.size()) exchange_.settleChange(currentWrite());
}

link::Request ConstantsWriter::currentWrite() const {
  return link::Request::writeParameter(lines_[at_].parameter, lines_[at_].wanted);
}

link::ChangeNote ConstantsWriter::changeOf(const RestoreLine& line,
                                           const link::FloatBytesArray& written) const {
  link::ChangeNote note;
  note.change = kind_;
  note.parameter = line.parameter;
  note.before = shown(line.parameter, line.current);
  note.beforeBytes = line.current;
  note.written = shown(line.parameter, written);
  note.writtenBytes = written;
  note.source = source_;
  return note;
}

void ConstantsWriter::stopHere(std::string why, bool mayBeStored) {
  exchange_.settleChange(currentWrite());
  outcome_.stoppedAt = lines_[at_].parameter;
  outcome_.why = std::move(why);
  outcome_.mayBeStored = mayBeStored;
  for (std::size_t i = at_ + 1; i < lines_.size(); ++i)
    outcome_.notWritten.push_back(lines_[i].parameter);
}

void ConstantsWriter::stop(std::string why, bool mayBeStored) {
  stopHere(std::move(why), mayBeStored);
  done_(outcome_);
}

WriteOutcome ConstantsWriter::interrupt() {
  session_.cancel();
  if (at_ < lines_.size() && !outcome_.stoppedAt) {
    const link::Request write = currentWrite();
    if (exchange_.changeAcknowledged(write)) {
      stopHere("interrupted after the controller acknowledged its write, before it was read back", true);
    } else if (exchange_.changeSent(write)) {
      stopHere("interrupted while its write was on the line", true);
    } else {
      stopHere("interrupted before its write went out", false);
    }
  }
  return outcome_;
}

void ConstantsWriter::next() {
  if (at_ == lines_.size()) return done_(outcome_);
  const RestoreLine line = lines_[at_];
  const auto write = link::Request::writeParameter(line.parameter, line.wanted);
  exchange_.noteChange(write, changeOf(line, line.wanted), true);
  session_.ask(
      write,
      [this, line, write](const link::Answer&) {
        session_.ask(
            link::Request::readParameter(line.parameter),
            [this, line, write](const link::Answer& answer) {
              const link::FloatBytesArray held = answer.value();
              if (held != line.wanted) {
                exchange_.settleChange(write, changeOf(line, held));
                return stop("the controller holds " + ValueWithBytes(line.parameter, held) + " after " +
                                ValueWithBytes(line.parameter, line.wanted) + " was written",
                            false);
              }
              exchange_.settleChange(write);
              outcome_.written.push_back(line.parameter);
              if (onWritten) onWritten(line.parameter);
              ++at_;
              next();
            },
            [this] { stop("the controller acknowledged the write but did not answer its read-back", true); });
      },
      [this] { stop("the controller did not acknowledge the write", true); });
}

}  // namespace orvik::backup
