#include "link/session.h"

#include <memory>
#include <utility>

namespace orvik::link {

namespace {
// The shortest wait the timers know: after a miss, the link finishes its own handling first.
constexpr int kDeferMs = 1;
}  // namespace

std::string RequestName(const Request& request) {
  return request.code == kReadTag ? "the tag name read"
                                  : "the read of parameter " + std::to_string(request.parameter);
}

Session::Session(ControllerLink& link, platform::TimerEngine& timers, bool listens)
    : link_(link),
      listens_(listens),
      exchange_(link.exchange()),
      tmrNext_(timers, "tmrNext", kDeferMs),
      tmrStatusLimit_(timers, "tmrStatusLimit", static_cast<int>(kStatusAnswerTimeout.count())) {
  tmrStatusLimit_.onTick = [this] { statusLapsed(); };
  tmrNext_.onTick = [this] {
    tmrNext_.setEnabled(false);
    if (auto step = std::exchange(next_, nullptr)) step();
  };
  if (listens_) link_.setListener(this);
}

Session::~Session() {
  cancel();
  // What another asker has asked since is theirs.
  if (exchange_.answerOwner == this) exchange_.release();
  if (listens_) link_.setListener(nullptr);
}

void Session::defer(std::function<void()> step) {
  next_ = std::move(step);
  tmrNext_.setEnabled(true);
}

void Session::cancel() {
  tmrNext_.setEnabled(false);
  tmrStatusLimit_.setEnabled(false);
  next_ = nullptr;
  statusThen_ = nullptr;
  statusMissed_ = nullptr;
  asked_.reset();
  answerThen_ = nullptr;
  answerMissed_ = nullptr;
}

void Session::readStatus(int attempts, std::function<void(const StatusRecord&)> then,
                         std::function<void()> missed) {
  statusThen_ = std::move(then);
  statusMissed_ = std::move(missed);
  statusSendsLeft_ = attempts;
  sendStatus();
}

void Session::sendStatus() {
  --statusSendsLeft_;
  link_.reopenLostPort();
  link_.RequestStatus();  // on a closed port nothing goes out, and the time limit counts a miss
  tmrStatusLimit_.setEnabled(false);
  tmrStatusLimit_.setEnabled(true);
}

void Session::statusReceived(const StatusRecord& record) {
  if (!statusThen_) return;
  tmrStatusLimit_.setEnabled(false);
  statusMissed_ = nullptr;
  std::exchange(statusThen_, nullptr)(record);
}

void Session::statusLapsed() {
  tmrStatusLimit_.setEnabled(false);
  if (!statusThen_) return;
  if (statusSendsLeft_ > 0) {
    defer([this] { sendStatus(); });
    return;
  }
  statusThen_ = nullptr;
  defer(std::exchange(statusMissed_, nullptr));
}

void Session::ask(const Request& request, std::function<void(const Answer&)> then,
                  std::function<void()> missed) {
  asked_ = request;
  answerThen_ = std::move(then);
  answerMissed_ = std::move(missed);
  sendsLeft_ = kAttempts - 1;
  // Set once, unless another asker set them since: the next request is often asked from inside this very
  // handler, which must not be replaced while it runs.
  if (exchange_.answerOwner != this) {
    exchange_.answerOwner = this;
    exchange_.onAnswer = [this](const Answer& answer) {
      if (!answerThen_) return;
      answerMissed_ = nullptr;
      std::exchange(answerThen_, nullptr)(answer);
    };
    exchange_.onLapse = [this] { lapsed(); };
  }
  exchange_.ask(request);
  if (const Answer* answer = exchange_.answerTo(request)) {
    exchange_.onAnswer(*answer);  // asked before and already answered
  } else if (exchange_.step() == Exchange::Step::Lapsed) {
    lapsed();  // it could not go out: the port is closed
  }
}

void Session::askEach(std::vector<Request> requests, std::function<void(const std::vector<Answer>&)> then,
                      std::function<void(const Request&)> missed) {
  struct Chain {
    std::vector<Request> requests;
    std::vector<Answer> answers;
    std::function<void(const std::vector<Answer>&)> then;
    std::function<void(const Request&)> missed;
  };
  auto chain = std::make_shared<Chain>(Chain{std::move(requests), {}, std::move(then), std::move(missed)});
  // Each step is kept alive by the answer handler pending on it.
  auto step = std::make_shared<std::function<void()>>();
  *step = [this, chain, weak = std::weak_ptr(step)] {
    const std::size_t i = chain->answers.size();
    if (i == chain->requests.size()) return chain->then(chain->answers);
    const Request request = chain->requests[i];
    ask(
        request,
        [chain, self = weak.lock()](const Answer& answer) {
          chain->answers.push_back(answer);
          (*self)();
        },
        [chain, request] { chain->missed(request); });
  };
  (*step)();
}

void Session::lapsed() {
  if (!answerThen_) return;
  if (sendsLeft_-- > 0) {
    defer([this] {
      if (!asked_) return;
      if (onAskedAgain) onAskedAgain(*asked_);
      exchange_.ask(*asked_);
      if (exchange_.step() == Exchange::Step::Lapsed) lapsed();
    });
    return;
  }
  answerThen_ = nullptr;
  defer(std::exchange(answerMissed_, nullptr));
}

}  // namespace orvik::link
