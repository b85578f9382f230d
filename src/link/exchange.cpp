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
    : tmrAnswerLimit(timers, "tmrAnswerLimit", static_cast<int>(kReadAnswerTimeout.count())), link_(link) {
  tmrAnswerLimit.onTick = [this] { tmrAnswerLimit_Timer(); };
}

void Exchange::ask(const Request& request) {
  if (asked_ == request) {
    if (step_ == Step::Answered) return;  // its answer is already in
    // Asked while held, it went out on its own: that send was this ask's.
    if (std::exchange(leftHold_, false) && step_ == Step::Sent) return;
  } else {
    answer_.reset();
    leftHold_ = false;
    if (unanswered_ > 0 && onLine_ == request) {
      // The same request is on the line, for an asker that has gone: its answer is this one's. Sent
      // again, the two answers would arrive back to back and the second be thrown away with the input
      // the first leaves behind, holding up the next request until the answer time-out.
      asked_ = request;
      step_ = Step::Sent;
      return;
    }
  }
  asked_ = request;
  if (unanswered_ > 0 && onLine_ != request) {
    step_ = Step::Held;
    return;
  }
  send(request);
}

void Exchange::release() {
  leftHold_ = false;
  asked_.reset();
  answer_.reset();
  onAnswer = nullptr;
  onLapse = nullptr;
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
  tmrAnswerLimit.setEnabled(false);
  if (step_ == Step::Sent) step_ = Step::Lapsed;
}

bool Exchange::matchesOnLine(std::span<const std::uint8_t> packet) const {
  if (!onLine_ || packet.empty() || packet[0] != onLine_->code) return false;
  return packet[0] != kReadParameter || packet.size() > kShortestParameterAnswer;
}

void Exchange::noteChange(const Request& request, ChangeNote note) {
  // Only the latest few writes can still be acknowledged; an older note is of a write long given up.
  constexpr std::size_t kNotesKept = 8;
  std::erase_if(notes_, [&](const auto& n) { return n.first == request; });
  if (notes_.size() == kNotesKept) notes_.erase(notes_.begin());
  notes_.emplace_back(request, std::move(note));
}

void Exchange::confirm(const Request& request) {
  const auto it =
      std::find_if(notes_.begin(), notes_.end(), [&](const auto& n) { return n.first == request; });
  if (it == notes_.end()) return;
  const ChangeNote note = std::move(it->second);
  notes_.erase(it);
  if (onConfirmed) onConfirmed(note);
}

void Exchange::packetAccepted(std::span<const std::uint8_t> packet) {
  if (unanswered_ == 0 || !matchesOnLine(packet)) return;
  if (--unanswered_ == 0) tmrAnswerLimit.setEnabled(false);
  const Request onLine = *onLine_;
  if (onLine.code == kWriteParameter || onLine.code == kWriteTag) confirm(onLine);
  if (onLineAnswered) onLineAnswered(onLine, Answer{std::vector<std::uint8_t>(packet.begin(), packet.end())});
  if (step_ == Step::Sent && asked_ == onLine_) {
    answer_ = Answer{std::vector<std::uint8_t>(packet.begin(), packet.end())};
    step_ = Step::Answered;
    if (onAnswer) onAnswer(*answer_);
  } else if (step_ == Step::Held && unanswered_ == 0) {
    leftHold_ = true;
    send(*asked_);
  }
}

void Exchange::tmrAnswerLimit_Timer() {
  tmrAnswerLimit.setEnabled(false);
  unanswered_ = 0;
  if (step_ == Step::Sent) {
    step_ = Step::Lapsed;
    if (onLapse) onLapse();
  } else if (step_ == Step::Held) {
    leftHold_ = true;
    send(*asked_);
  }
}

}  // namespace orvik::link
