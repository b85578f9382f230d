#include "link/exchange.h"

#include <algorithm>
#include <utility>

#include "link/controller_link.h"
#include "link/tag_text.h"

namespace orvik::link {

Request Request::readParameter(std::uint8_t number) {
  Request r;
  r.code = kReadParameter;
  r.parameter = number;
  return r;
}

Request Request::writeParameter(std::uint8_t number, const FloatBytesArray& value) {
  Request r;
  r.code = kWriteParameter;
  r.parameter = number;
  r.value = value;
  return r;
}

Request Request::readTag() {
  Request r;
  r.code = kReadTag;
  return r;
}

Request Request::writeTag(std::string text) {
  Request r;
  r.code = kWriteTag;
  r.tag = std::move(text);
  return r;
}

std::chrono::milliseconds Request::answerTimeout() const {
  switch (code) {
    case kWriteParameter:
      return kWriteAnswerTimeout;
    case kReadTag:
    case kWriteTag:
      return kTagAnswerTimeout;
    default:
      return kReadAnswerTimeout;
  }
}

FloatBytesArray Answer::value() const {
  FloatBytesArray out{};
  if (packet.size() >= 2 + out.size()) std::copy(packet.begin() + 2, packet.begin() + 6, out.begin());
  return out;
}

std::string Answer::tag() const {
  return AnswerTag(packet);
}

Exchange::Exchange(ControllerLink& link, platform::TimerEngine& timers)
    : tmrAnswerLimit(timers, "tmrAnswerLimit", static_cast<int>(kReadAnswerTimeout.count())),
      tmrQuiet(timers, "tmrQuiet", static_cast<int>(kQuietGap.count())),
      tmrGrace(timers, "tmrGrace", static_cast<int>(kLateAnswerGrace.count())),
      link_(link) {
  tmrAnswerLimit.onTick = [this] { tmrAnswerLimit_Timer(); };
  tmrQuiet.onTick = [this] {
    tmrQuiet.setEnabled(false);
    quiet_ = true;
    quietSinceAccepted_ = true;
    if (step_ == Step::Held && pending() == 0) sendHeld();
  };
  tmrGrace.onTick = [this] {
    tmrGrace.setEnabled(false);
    // While it is sent again and that send may still be answered, an earlier send's answer may come
    // too: forgotten, it would be counted against the later send, and that one's taken for the next
    // request's. The later send's time-out starts the wait again.
    if (unanswered_ > 0) return;
    late_ = 0;
    if (step_ == Step::Held && pending() == 0) sendHeld();
  };
}

void Exchange::lineActive() {
  quiet_ = false;
  tmrQuiet.setEnabled(false);
  tmrQuiet.setEnabled(true);
}

void Exchange::ask(const Request& request) {
  if (asked_ == request) {
    if (step_ == Step::Answered) return;  // its answer is already in
    // Asked while held, it went out on its own: that send was this ask's.
    if (std::exchange(leftHold_, false) && step_ == Step::Sent) return;
  } else {
    answer_.reset();
    leftHold_ = false;
    if (pending() > 0 && onLine_ == request) {
      // The same request is on the line, for an asker that has gone: its answer is this one's. Sent
      // again, the two answers would arrive back to back and the second be thrown away with the input
      // the first leaves behind, holding up the next request until the answer time-out.
      asked_ = request;
      step_ = Step::Sent;
      return;
    }
  }
  const bool alreadyOut = asked_ == request && step_ == Step::Sent;
  asked_ = request;
  if (holds_ > 0 || mustWaitForQuiet(request)) {
    if (!alreadyOut) step_ = Step::Held;  // a send already out may still bring its answer
    if (holds_ == 0 && !tmrQuiet.enabled()) tmrQuiet.setEnabled(true);
    return;
  }
  if (pending() > 0 && onLine_ != request) {
    step_ = Step::Held;
    return;
  }
  send(request);
}

void Exchange::endHold() {
  if (--holds_ == 0 && step_ == Step::Held && !tmrQuiet.enabled()) tmrQuiet.setEnabled(true);
}

void Exchange::sendHeld() {
  if (holds_ > 0 || mustWaitForQuiet(*asked_)) return;
  leftHold_ = true;
  send(*asked_);
}

void Exchange::release() {
  leftHold_ = false;
  asked_.reset();
  answer_.reset();
  onAnswer = nullptr;
  onLapse = nullptr;
  answerOwner = nullptr;
  step_ = Step::Idle;
}

const Answer* Exchange::answerTo(const Request& request) const {
  return step_ == Step::Answered && asked_ == request ? &*answer_ : nullptr;
}

void Exchange::send(const Request& request) {
  link_.reopenLostPort();
  switch (request.code) {
    case kReadParameter:
      link_.ReadParameter(request.parameter);
      break;
    case kWriteParameter:
      link_.state().FloatBytes = request.value;
      link_.WriteParameter(request.parameter);
      break;
    case kReadTag:
      link_.ReadTagName();
      break;
    case kWriteTag: {
      std::string tag = request.tag;
      link_.WriteTagName(tag);
      break;
    }
    default:
      break;
  }
  onLine_ = request;
  if (NotedChange* change = noted(request); change != nullptr && link_.port().isOpen()) change->sent = true;
  if (!link_.port().isOpen()) {
    step_ = Step::Lapsed;  // nothing reached the controller: there is no answer to wait for
    return;
  }
  ++unanswered_;
  step_ = Step::Sent;
  tmrAnswerLimit.setInterval(static_cast<int>(request.answerTimeout().count()));
  tmrAnswerLimit.setEnabled(true);
}

void Exchange::portOpened() {
  unanswered_ = 0;
  late_ = 0;
  tmrGrace.setEnabled(false);
  quiet_ = true;
  quietSinceAccepted_ = true;
  tmrAnswerLimit.setEnabled(false);
  if (step_ == Step::Sent) step_ = Step::Lapsed;
}

bool Exchange::matchesOnLine(std::span<const std::uint8_t> packet) const {
  if (!onLine_ || packet.empty() || packet[0] != onLine_->code) return false;
  return packet[0] != kReadParameter || packet.size() > kShortestParameterAnswer;
}

Exchange::NotedChange* Exchange::noted(const Request& request) {
  const auto it =
      std::find_if(notes_.rbegin(), notes_.rend(), [&](const auto& n) { return n.request == request; });
  return it == notes_.rend() ? nullptr : &*it;
}

const Exchange::NotedChange* Exchange::noted(const Request& request) const {
  return const_cast<Exchange*>(this)->noted(request);
}

void Exchange::noteChange(const Request& request, ChangeNote note, bool afterReadBack) {
  // Only the latest few writes can still be acknowledged; an older note is of a write long given up. One
  // acknowledged and waiting for its read-back is recorded as written before it goes.
  constexpr std::size_t kNotesKept = 8;
  std::erase_if(notes_, [&](const auto& n) { return n.request == request; });
  if (notes_.size() == kNotesKept) {
    if (notes_.front().acknowledged && !notes_.front().recorded) record(notes_.front());
    notes_.erase(notes_.begin());
  }
  notes_.push_back({request, std::move(note), afterReadBack});
}

bool Exchange::changeSent(const Request& request) const {
  const NotedChange* change = noted(request);
  return change != nullptr && change->sent;
}

bool Exchange::changeAcknowledged(const Request& request) const {
  const NotedChange* change = noted(request);
  return change != nullptr && change->acknowledged;
}

void Exchange::record(NotedChange& change) {
  change.recorded = true;
  if (onConfirmed) onConfirmed(change.note);
}

void Exchange::confirm(const Request& request) {
  NotedChange* change = noted(request);
  if (change == nullptr || change->acknowledged) return;
  change->acknowledged = true;
  if (!change->afterReadBack) record(*change);
}

void Exchange::settleChange(const Request& request, const std::optional<ChangeNote>& asStored) {
  NotedChange* change = noted(request);
  if (change == nullptr || change->recorded) return;
  if (asStored) change->note = *asStored;
  change->afterReadBack = false;
  if (change->acknowledged) record(*change);
}

void Exchange::packetAccepted(std::span<const std::uint8_t> packet) {
  // The same packet right behind itself, the line not quiet in between, is that packet sent again: no
  // request of its kind can have been answered that fast (one waits for the quiet). Another packet may
  // be: a request of another kind goes out at once, and a controller behind a pseudo-terminal or a
  // network port answers it before the line has been quiet for kQuietGap.
  const bool repeated =
      !std::exchange(quietSinceAccepted_, false) && std::ranges::equal(packet, lastAccepted_);
  lastAccepted_.assign(packet.begin(), packet.end());
  if (repeated) return;
  if (!packet.empty()) lastAcceptedCode_ = packet[0];
  if (pending() == 0 || !matchesOnLine(packet)) return;
  // The oldest send is answered first.
  if (late_ > 0) {
    if (--late_ == 0) tmrGrace.setEnabled(false);
  } else if (--unanswered_ == 0) {
    tmrAnswerLimit.setEnabled(false);
  }
  const Request onLine = *onLine_;
  if (onLine.code == kWriteParameter || onLine.code == kWriteTag) confirm(onLine);
  if (onLineAnswered) onLineAnswered(onLine, Answer{std::vector<std::uint8_t>(packet.begin(), packet.end())});
  // Late, after its time-out, it is still the answer to the request asked.
  if ((step_ == Step::Sent || step_ == Step::Lapsed) && asked_ == onLine_) {
    answer_ = Answer{std::vector<std::uint8_t>(packet.begin(), packet.end())};
    step_ = Step::Answered;
    if (onAnswer) onAnswer(*answer_);
  } else if (step_ == Step::Held && pending() == 0) {
    sendHeld();
  }
}

void Exchange::tmrAnswerLimit_Timer() {
  tmrAnswerLimit.setEnabled(false);
  // Its asker hears that the answer did not come; a slower controller may still send it, and the request
  // after this one waits a little longer, so that late answer is never taken for its own.
  late_ += unanswered_;
  unanswered_ = 0;
  if (late_ > 0) {
    tmrGrace.setEnabled(false);
    tmrGrace.setEnabled(true);
  }
  if (step_ == Step::Sent) {
    step_ = Step::Lapsed;
    if (onLapse) onLapse();
  } else if (step_ == Step::Held && pending() == 0) {
    sendHeld();
  }
}

}  // namespace orvik::link
