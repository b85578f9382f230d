#include "link/status_store.h"

namespace orvik::link {

void StatusStore::addRecord(std::chrono::system_clock::time_point at, const StatusRecord& record) {
  lastAnswer_ = at;
  add({at, record});
}

void StatusStore::addMissed(std::chrono::system_clock::time_point at) {
  add({at, std::nullopt});
}

void StatusStore::notePolling(std::chrono::system_clock::time_point at, bool paused) {
  if (paused && !this->paused()) {
    pauses_.push_back({at, std::nullopt});
  } else if (!paused && this->paused()) {
    pauses_.back().to = at;
  }
}

void StatusStore::add(StoredStatus entry) {
  if (capacity_ == 0) return;
  if (entries_.size() == capacity_) entries_.pop_front();
  entries_.push_back(std::move(entry));
  // Pauses go with the readings around them.
  while (!pauses_.empty() && pauses_.front().to && *pauses_.front().to < entries_.front().at)
    pauses_.pop_front();
  if (onAdded) onAdded(entries_.back());
}

}  // namespace orvik::link
