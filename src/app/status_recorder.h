#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "link/status_csv.h"
#include "link/status_store.h"
#include "link/status_view.h"

namespace orvik::app {

// Keeps every poll of the run: each status record, and each poll that brought none, goes into the store
// the trend window plots and, while a log runs, into the log file.
class StatusRecorder {
 public:
  using TimePoint = std::chrono::system_clock::time_point;

  link::StatusStore& store() { return store_; }

  // A poll went out. The one before it, if no record came since, is kept as missed.
  void pollSent(TimePoint at);
  // A status record came in; `shown` is what the live display shows after it.
  void recordReceived(TimePoint at, const link::StatusRecord& record, const link::LiveView& shown);

  // Starts a log in `path`: the system's reason when it cannot be written, and no log then.
  std::string startLog(const std::string& path);
  void stopLog();
  bool logging() const { return log_.isOpen(); }
  const std::string& logPath() const { return logPath_; }
  // A line of the running log could not be written: the log has stopped.
  std::function<void(const std::string& path)> onLogFailed;

 private:
  void log(const std::string& line);

  link::StatusStore store_;
  std::optional<TimePoint> unanswered_;
  link::StatusCsvFile log_;
  std::string logPath_;
};

}  // namespace orvik::app
