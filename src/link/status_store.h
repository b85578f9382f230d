#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>

#include "link/status_decoder.h"

namespace orvik::link {

// One poll of the run: the status record it brought, or none when the controller did not answer it.
struct StoredStatus {
  std::chrono::system_clock::time_point at;
  std::optional<StatusRecord> record;
};

// A time the monitor stopped polling on purpose (a dialog was open): no reading was asked for, so none
// was missed. `to` is none while it lasts.
struct PollingPause {
  std::chrono::system_clock::time_point from;
  std::optional<std::chrono::system_clock::time_point> to;
};

// The status readings of the run since the monitor started, oldest first, bounded: once full, each new
// reading pushes out the oldest, so memory stays fixed however long the monitor runs.
class StatusStore {
 public:
  // A day at the 2 s poll is 43,200 readings; the rest leaves room for the missed polls of that day.
  static constexpr std::size_t kCapacity = 50'000;

  explicit StatusStore(std::size_t capacity = kCapacity) : capacity_(capacity) {}

  void addRecord(std::chrono::system_clock::time_point at, const StatusRecord& record);
  void addMissed(std::chrono::system_clock::time_point at);
  // An answer of any kind was accepted at `at` (a status record counts as one).
  void noteAnswer(std::chrono::system_clock::time_point at) { lastAnswer_ = at; }
  // When the controller last answered; none before its first answer.
  const std::optional<std::chrono::system_clock::time_point>& lastAnswer() const { return lastAnswer_; }

  const std::deque<StoredStatus>& entries() const { return entries_; }

  // Polling stops (`paused`) or starts again; a start without a stop before it is no pause's end.
  void notePolling(std::chrono::system_clock::time_point at, bool paused);
  // The pauses within the readings kept, oldest first; the last may still last.
  const std::deque<PollingPause>& pauses() const { return pauses_; }
  bool paused() const { return !pauses_.empty() && !pauses_.back().to; }

  // Told of each reading as it is kept (the open trend window).
  std::function<void(const StoredStatus&)> onAdded;

 private:
  void add(StoredStatus entry);

  std::size_t capacity_;
  std::deque<StoredStatus> entries_;
  std::deque<PollingPause> pauses_;
  std::optional<std::chrono::system_clock::time_point> lastAnswer_;
};

}  // namespace orvik::link
