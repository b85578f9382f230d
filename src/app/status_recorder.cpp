#include "app/status_recorder.h"

namespace orvik::app {

void StatusRecorder::pollSent(TimePoint at) {
  if (unanswered_) {
    store_.addMissed(*unanswered_);
    if (log_.isOpen()) log(link::StatusCsvMissedLine(*unanswered_));
  }
  unanswered_ = at;
}

void StatusRecorder::recordReceived(TimePoint at, const link::StatusRecord& record,
                                    const link::LiveView& shown) {
  unanswered_.reset();
  store_.addRecord(at, record);
  if (log_.isOpen()) log(link::StatusCsvLine(at, record, shown));
}

std::string StatusRecorder::startLog(const std::string& path) {
  stopLog();
  std::string problem = log_.open(path);
  if (problem.empty()) logPath_ = path;
  return problem;
}

void StatusRecorder::stopLog() {
  log_.close();
  logPath_.clear();
}

void StatusRecorder::log(const std::string& line) {
  if (!log_.isOpen() || log_.write(line)) return;
  const std::string path = logPath_;
  stopLog();
  if (onLogFailed) onLogFailed(path);
}

}  // namespace orvik::app
