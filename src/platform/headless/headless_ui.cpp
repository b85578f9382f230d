#include "platform/headless/headless_ui.h"

#include <algorithm>
#include <iostream>

#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::platform::headless {

namespace {

std::string visibleText(const std::string& text) {
  std::string out;
  for (char c : text)
    out += c == '\r' ? std::string("\\r") : std::string(1, c);
  return out;
}

}  // namespace

HeadlessUi::HeadlessUi() = default;
HeadlessUi::~HeadlessUi() = default;

void HeadlessUi::scheduleAt(std::int64_t atUs, std::function<void()> fn) {
  scheduleAt(atUs, seq_++, std::move(fn));
}

std::uint64_t HeadlessUi::scheduleAt(std::int64_t atUs, std::uint64_t seq, std::function<void()> fn) {
  queue_.push(Event{std::max(atUs, now_), seq, std::move(fn)});
  return seq;
}

bool HeadlessUi::step(std::int64_t horizonUs) {
  if (ended_ || queue_.empty() || queue_.top().at > horizonUs) return false;
  Event e = queue_.top();
  queue_.pop();
  now_ = std::max(now_, e.at);
  e.fn();
  if (afterEvent) afterEvent();
  return true;
}

void HeadlessUi::advance(std::chrono::milliseconds d) {
  const std::int64_t target = now_ + d.count() * 1000;
  target_ = std::max(target_, target);
  while (step(target)) {
  }
  now_ = std::max(now_, target);
}

bool HeadlessUi::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const std::int64_t target = now_ + limit.count() * 1000;
  target_ = std::max(target_, target);
  while (!done()) {
    if (!step(target)) {
      now_ = std::max(now_, target);
      return done();
    }
  }
  return true;
}

void HeadlessUi::runModalLoop(Form& form, const std::function<bool()>& done) {
  const std::int64_t horizon = std::max(target_, now_) + modalLimitUs_;
  while (!done()) {
    if (!step(horizon)) {
      if (ended_) return;
      fail("window " + form.name() + " (\"" + form.caption() + "\") was still open at " +
           std::to_string(now_ / 1000) + " ms with nothing scripted to close it");
      unload(form);
      return;
    }
  }
}

void HeadlessUi::at(std::chrono::milliseconds when, std::function<void()> action) {
  scheduleAt(when.count() * 1000, std::move(action));
}

void HeadlessUi::whenShown(std::string formName, std::function<void(Form&)> action,
                           std::chrono::milliseconds after) {
  shownScripts_.push_back({std::move(formName), std::move(action), after.count() * 1000});
}

void HeadlessUi::formShown(Form& form) {
  // Every script waiting for a window of this name applies to this showing, and is used up by it.
  const unsigned long id = form.lifecycle().id;
  auto waiting = std::stable_partition(shownScripts_.begin(), shownScripts_.end(),
                                       [&](const ShownScript& s) { return s.formName != form.name(); });
  for (auto it = waiting; it != shownScripts_.end(); ++it) {
    scheduleAt(now_ + it->afterUs, [this, id, action = std::move(it->action)] {
      if (Form* f = findForm(id); f != nullptr && f->lifecycle().loaded) action(*f);
    });
  }
  shownScripts_.erase(waiting, shownScripts_.end());
}

void HeadlessUi::expectBox(std::string title, MsgResult answer, std::chrono::milliseconds after) {
  expected_.push_back({std::move(title), answer, after.count() * 1000});
}

void HeadlessUi::answerAlways(std::string title, MsgResult answer) {
  always_[std::move(title)] = answer;
}

std::vector<std::string> HeadlessUi::boxTitles() const {
  std::vector<std::string> titles;
  for (const auto& b : boxes_)
    titles.push_back(b.box.title);
  return titles;
}

MsgResult HeadlessUi::messageBox(const MessageBox& box) {
  MsgResult answer = dismissalOf(box.buttons);
  std::int64_t afterUs = 0;
  if (!expected_.empty() && expected_.front().title == box.title) {
    answer = expected_.front().answer;
    afterUs = expected_.front().afterUs;
    expected_.pop_front();
  } else if (auto it = always_.find(box.title); it != always_.end()) {
    answer = it->second;
  } else if (answerer) {
    const Answering a = answerer(box);
    answer = a.answer;
    afterUs = a.after.count() * 1000;
  } else {
    fail("unexpected message box \"" + box.title + "\": \"" + visibleText(box.text) + "\"" +
         (expected_.empty() ? std::string() : " (expected \"" + expected_.front().title + "\")"));
  }
  boxes_.push_back({now_ / 1000, box, answer});
  if (afterUs > 0) {
    // A real box runs a nested loop while it waits for the user.
    const std::int64_t until = now_ + afterUs;
    while (step(until)) {
    }
    now_ = std::max(now_, until);
  }
  return answer;
}

void HeadlessUi::expectSaveFile(std::string title, std::optional<std::string> file) {
  expectedFiles_.push_back({false, std::move(title), std::move(file)});
}

void HeadlessUi::expectOpenFile(std::string title, std::optional<std::string> file) {
  expectedFiles_.push_back({true, std::move(title), std::move(file)});
}

std::optional<std::string> HeadlessUi::answerFileChooser(bool open, const std::string& title) {
  // A save question answered with a file meant to be read (or the reverse) would overwrite it: not a match.
  if (expectedFiles_.empty() && fileAnswerer) return fileAnswerer(open, title);
  if (expectedFiles_.empty() || expectedFiles_.front().open != open ||
      expectedFiles_.front().title != title) {
    fail(std::string("unexpected ") + (open ? "open" : "save") + " file chooser \"" + title + "\"");
    return std::nullopt;
  }
  std::optional<std::string> file = std::move(expectedFiles_.front().file);
  expectedFiles_.pop_front();
  return file;
}

std::optional<std::string> HeadlessUi::chooseSaveFile(const SaveFileQuestion& question) {
  saveQuestions_.push_back(question);
  return answerFileChooser(false, question.title);
}

std::optional<std::string> HeadlessUi::chooseOpenFile(const OpenFileQuestion& question) {
  openQuestions_.push_back(question);
  return answerFileChooser(true, question.title);
}

std::chrono::system_clock::time_point HeadlessUi::now() const {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{today_.year}, month{static_cast<unsigned>(today_.month)},
                                      std::chrono::day{static_cast<unsigned>(today_.day)}};
  return day + hours{12} + microseconds{now_};
}

void HeadlessUi::beep() {
  beeps_.push_back(now_ / 1000);
}

void HeadlessUi::setPointer(Pointer p) {
  pointer_ = p;
  pointers_.push_back({now_ / 1000, p});
}

void HeadlessUi::fail(const std::string& what) {
  if (onFailure) {
    onFailure(what);
  } else {
    std::cerr << "headless ui: " << what << '\n';
    failures_.push_back(what);
  }
}

void HeadlessUi::arm(Timer& timer, std::chrono::milliseconds interval) {
  const std::int64_t deadline = now_ + interval.count() * 1000;
  const std::uint64_t seq = seq_++;
  auto [it, fresh] = armed_.try_emplace(&timer, Countdown{deadline, seq, deadline});
  Countdown& c = it->second;
  c.deadline = deadline;
  c.seq = seq;
  if (fresh || c.queuedAt > deadline) {
    c.queuedAt = deadline;
    Timer* t = &timer;
    scheduleAt(deadline, seq, [this, t, deadline] { timerEventDue(t, deadline); });
  }
}

void HeadlessUi::timerEventDue(Timer* timer, std::int64_t queuedAt) {
  auto it = armed_.find(timer);
  if (it == armed_.end() || it->second.queuedAt != queuedAt) return;  // cancelled, or superseded
  Countdown& c = it->second;
  if (c.deadline > now_) {  // re-armed since: wait on for the later deadline
    c.queuedAt = c.deadline;
    scheduleAt(c.deadline, c.seq, [this, timer, at = c.deadline] { timerEventDue(timer, at); });
    return;
  }
  armed_.erase(it);
  timer->fire();
}

void HeadlessUi::disarm(Timer& timer) {
  armed_.erase(&timer);
}

}  // namespace orvik::platform::headless
