#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "link/change_note.h"
#include "link/subs.h"
#include "platform/timer.h"

namespace orvik::link {

class ControllerLink;

// Two byte times at 9600 bit/s, rounded up to the timers' millisecond.
inline constexpr std::chrono::milliseconds kQuietGap{3};
// After its answer time-out a request's answer may still come from a slow controller: the next request
// of another kind waits this much longer for it, so that it is never taken for that one's.
inline constexpr std::chrono::milliseconds kLateAnswerGrace{1500};

// A request that expects its own answer: a parameter read ("B") or write ("="), a tag read ("C") or
// write ("D").
struct Request {
  std::uint8_t code = 0;
  std::uint8_t parameter = 0;  // "B" and "="
  FloatBytesArray value{};     // "=": the four value bytes
  std::string tag;             // "D": the tag as text

  static Request readParameter(std::uint8_t number);
  static Request writeParameter(std::uint8_t number, const FloatBytesArray& value);
  static Request readTag();
  static Request writeTag(std::string text);

  // How long its answer may take once it has gone out.
  std::chrono::milliseconds answerTimeout() const;
  bool operator==(const Request&) const = default;
};

// An answer as the link accepted it, complete and with a good checksum: its bytes are captured at that
// moment, so nothing received later can change them.
struct Answer {
  std::vector<std::uint8_t> packet;  // from the code byte to the checksum

  std::uint8_t code() const { return packet[0]; }
  // Bytes 2..5: a parameter's value (a controller float, or the raw bytes of parameters 0 and 100).
  FloatBytesArray value() const;
  // The tag of a "C" answer, blanks around it removed.
  std::string tag() const;
};

// The exchange of requests and answers with the controller. At most one request that may still be
// answered is on the line, since a "B" or "=" answer does not say which parameter it answers:
//   ask(r)      -> sends r now, or, while a different earlier request may still be answered (its answer
//                  has not come and its answer time-out has not passed), holds r and sends it the
//                  moment that is over; asking the same request again sends it again, unless its answer
//                  is in or it has only just gone out of the hold; asking a request that an asker now
//                  gone left on the line, still within its time, waits for that send's answer
//   answer()    -> the answer to the request asked, once the link accepted one; onAnswer is called then
//   release()   -> the asker is gone: a held request is dropped, one on the line may still be answered
//   Hold h(ex)  -> while a question is open nothing goes out; what is asked meanwhile waits for its end
// Every answer that matches the request on the line (its code; a "B" answer long enough to carry a
// value) counts against it, so a late answer to an identical earlier request is that request's answer.
class Exchange {
 public:
  // Where the request asked stands.
  enum class Step {
    Idle,      // nothing asked
    Held,      // waiting until an earlier, different request can no longer be answered
    Sent,      // on the line, its answer not in yet
    Answered,  // its answer is in
    Lapsed,    // its answer time-out passed without an answer
  };

  Exchange(ControllerLink& link, platform::TimerEngine& timers);
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  void ask(const Request& request);
  void release();

  Step step() const { return step_; }
  const std::optional<Request>& asked() const { return asked_; }
  const std::optional<Answer>& answer() const { return answer_; }
  // The answer to `request`, if that is the request asked and its answer is in.
  const Answer* answerTo(const Request& request) const;
  // `request` is the one asked and it has gone out (it is not, or no longer, held).
  bool wentOut(const Request& request) const {
    return asked_ == request && step_ != Step::Held && step_ != Step::Idle;
  }
  // Something sent may still be answered.
  bool outstanding() const { return pending() > 0; }

  std::function<void(const Answer&)> onAnswer;
  // Who set onAnswer and onLapse (release() forgets them both).
  const void* answerOwner = nullptr;
  // The request asked went out and its answer time-out passed without its answer. (A send that could
  // not go out, the port being closed, leaves ask() with the step Lapsed and calls nothing.)
  std::function<void()> onLapse;

  // Notes what the write `request` changes, once, when the technician's step that writes it starts
  // (not at each of its sends). The first acknowledgement of any of its sends calls onConfirmed with
  // `note`, whether or not its asker is still there, since the controller holds the value either way;
  // later acknowledgements of the same step call nothing. Noted again, it is a new step and is recorded
  // again. With `afterReadBack`, the call waits until the asker has read the value back (settleChange).
  void noteChange(const Request& request, ChangeNote note, bool afterReadBack = false);
  // A write noted `afterReadBack` has been read back, or will not be: onConfirmed is called once it is
  // acknowledged (now, if it is), with `asStored` where the controller holds another value than written.
  void settleChange(const Request& request, const std::optional<ChangeNote>& asStored = std::nullopt);
  // A send of the write `request`, as last noted, has gone out (acknowledged or not).
  bool changeSent(const Request& request) const;
  // The write `request`, as last noted, has been acknowledged.
  bool changeAcknowledged(const Request& request) const;
  std::function<void(const ChangeNote&)> onConfirmed;

  // While a question is open over a window that changes the controller, nothing goes out: a request
  // asked meanwhile, or one waiting for an earlier answer, is held. Once the last hold ends it goes out
  // a moment later, outside the handler that asked the question, so an asker who gives up on it on the
  // answer can release() it first. Answers to what went out before are still taken.
  class Hold {
   public:
    explicit Hold(Exchange& exchange) : exchange_(exchange) { ++exchange_.holds_; }
    ~Hold() { exchange_.endHold(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    Exchange& exchange_;
  };
  bool held() const { return holds_ > 0; }

  // Every answer accepted for the request on the line, its asker's or not (the link learns the unit's
  // tag from them).
  std::function<void(const Request&, const Answer&)> onLineAnswered;

  // The link accepted `packet` (code byte to checksum).
  void packetAccepted(std::span<const std::uint8_t> packet);
  // The port was opened afresh: nothing sent before can be answered any more.
  void portOpened();
  // Bytes have arrived. A request with the code of the last answer accepted goes out only once the line
  // has been quiet for kQuietGap: an answer the controller sends twice, back to back, must not be taken
  // for the answer to the next request of its kind (a "B" answer does not name its parameter).
  void lineActive();

  // The answer time-out of the request on the line.
  platform::Timer tmrAnswerLimit;
  // Sends a held request once the hold has ended and the line is quiet.
  platform::Timer tmrQuiet;
  // How long sends whose answer time-out has passed are still waited for.
  platform::Timer tmrGrace;

 private:
  void send(const Request& request);
  void tmrAnswerLimit_Timer();
  bool matchesOnLine(std::span<const std::uint8_t> packet) const;
  void confirm(const Request& request);
  void endHold();
  void sendHeld();

  // A write's change as noted, and how far its step has come.
  struct NotedChange {
    Request request;
    ChangeNote note;
    bool afterReadBack = false;
    bool sent = false;
    bool acknowledged = false;
    bool recorded = false;
  };
  NotedChange* noted(const Request& request);
  const NotedChange* noted(const Request& request) const;
  void record(NotedChange& change);

  ControllerLink& link_;
  Step step_ = Step::Idle;
  std::optional<Request> asked_;
  std::optional<Answer> answer_;
  std::optional<Request> onLine_;  // the request last sent
  int unanswered_ = 0;             // sends of it whose answer has not come and whose time has not run out
  int late_ = 0;                   // sends of it whose time ran out, still waited for a while (tmrGrace)
  int pending() const { return unanswered_ + late_; }
  bool leftHold_ = false;           // the request asked went out of the hold since it was last asked
  std::vector<NotedChange> notes_;  // the latest writes' changes, newest last
  int holds_ = 0;
  bool quiet_ = true;               // no byte has arrived for kQuietGap
  bool quietSinceAccepted_ = true;  // the line has been quiet since the last packet accepted
  std::uint8_t lastAcceptedCode_ = 0;
  std::vector<std::uint8_t> lastAccepted_;  // the packet last accepted, as it came
  bool mustWaitForQuiet(const Request& request) const { return !quiet_ && request.code == lastAcceptedCode_; }
};

}  // namespace orvik::link
