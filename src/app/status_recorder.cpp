#include "app/status_recorder.h"

#include "link/status_csv.h"

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

void StatusRecorder::pollingPaused(TimePoint at) {
  unanswered_.reset();
  store_.notePolling(at, true);
}

std::string StatusRecorder::startLog(const std::string& path) {
  stopLog();
  std::string problem = log_.open(path, link::StatusCsvHeader());
  if (problem.empty()) logPath_ = path;
  dropped_ = 0;
  return problem;
}

void StatusRecorder::stopLog() {
  log_.close();
  logPath_.clear();
}

void StatusRecorder::log(const std::string& line) {
  if (!log_.isOpen()) return;
  switch (log_.write(line)) {
    case platform::Sent::Written:
      return;
    case platform::Sent::Dropped:
      ++dropped_;
      if (onLogDropped) onLogDropped();
      return;
    case platform::Sent::Failed: {
      const std::string path = logPath_;
      const std::string reason = log_.problem();
      stopLog();
      if (onLogFailed) onLogFailed(path, reason);
    }
  }
}

}  // namespace orvik::app
