#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/controller_link.h"
#include "link/exchange.h"
#include "link/link_listener.h"
#include "platform/timer.h"

namespace orvik::link {

// How many times a request goes out before the controller counts as not answering: a lost request or
// a spoilt answer costs one answer time-out, a dead line three.
inline constexpr int kAttempts = 3;

// What a request asks, as a message names it: "the tag name read", "the read of parameter 18".
std::string RequestName(const Request& request);

// One request at a time with the controller, moving on the moment its answer is accepted: the
// continuation runs in the receive event that accepted it. A request whose answer does not come within
// its answer time-out is sent again, `attempts` sends in all; a miss is handled once the link has
// finished its own handling of it.
class Session final : public LinkListener {
 public:
  // With `listens`, it takes the link's listener, which status readings need; without, it only asks.
  Session(ControllerLink& link, platform::TimerEngine& timers, bool listens = true);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // A status reading; the link's state then holds its live values.
  void readStatus(int attempts, std::function<void(const StatusRecord&)> then, std::function<void()> missed);
  // A parameter or tag request through the exchange.
  void ask(const Request& request, std::function<void(const Answer&)> then, std::function<void()> missed);
  // Asks each request in turn, the next once the answer before it is in; `then` gets the answers in the
  // order asked, `missed` the request that got none (nothing after it is asked).
  void askEach(std::vector<Request> requests, std::function<void(const std::vector<Answer>&)> then,
               std::function<void(const Request&)> missed);
  // Runs `step` a moment later, outside whatever handler is running now.
  void defer(std::function<void()> step);
  // Drops everything pending: answers still to come are ignored.
  void cancel();

  void statusReceived(const StatusRecord& record) override;

  // A request is sent again, its answer not having come in its answer time-out.
  std::function<void(const Request&)> onAskedAgain;

 private:
  void sendStatus();
  void statusLapsed();
  void lapsed();

  ControllerLink& link_;
  bool listens_;
  Exchange& exchange_;
  platform::Timer tmrNext_;
  // The status answer's time limit. The link's own receive time-out is no measure of it: any packet
  // with a good checksum, an answer to something else included, stops that.
  platform::Timer tmrStatusLimit_;
  std::function<void()> next_;

  std::function<void(const StatusRecord&)> statusThen_;
  std::function<void()> statusMissed_;
  int statusSendsLeft_ = 0;

  std::optional<Request> asked_;
  std::function<void(const Answer&)> answerThen_;
  std::function<void()> answerMissed_;
  int sendsLeft_ = 0;
};

}  // namespace orvik::link
