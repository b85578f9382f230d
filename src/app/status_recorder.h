#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "link/status_store.h"
#include "link/status_view.h"
#include "platform/file_writing.h"

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
  // An answer of any kind was accepted: the controller is not silent.
  void answerReceived(TimePoint at) { store_.noteAnswer(at); }
  // Polling stops for a dialog, or starts again. A poll the stop cuts short is not a missed one: the
  // dialog took the line, the controller did not fail to answer.
  void pollingPaused(TimePoint at);
  void pollingResumed(TimePoint at) { store_.notePolling(at, false); }

  // Starts a log in `path`: the system's reason when it cannot be written, and no log then.
  std::string startLog(const std::string& path);
  void stopLog();
  bool logging() const { return log_.isOpen(); }
  const std::string& logPath() const { return logPath_; }
  // Lines of the running log that a pipe or device did not take at once.
  std::size_t dropped() const { return dropped_; }
  // A line of the running log could not be written: the log has stopped, for `reason`.
  std::function<void(const std::string& path, const std::string& reason)> onLogFailed;
  // A line was dropped (dropped() counts them); the log goes on.
  std::function<void()> onLogDropped;

 private:
  void log(const std::string& line);

  link::StatusStore store_;
  std::optional<TimePoint> unanswered_;
  platform::LineFile log_;
  std::string logPath_;
  std::size_t dropped_ = 0;
};

}  // namespace orvik::app
