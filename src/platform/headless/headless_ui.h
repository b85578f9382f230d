#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace orvik::platform::headless {

// A deterministic window system on a virtual clock, for tests and benchmarks.
//   advance(2000ms) / runUntil(pred, limit)   -> timers, serial deliveries and scripts run in time order
//   at(t, action), whenShown("frmPorts", ...)  -> scripted user actions; a modal window runs them
//   expectBox("Port Setup", MsgResult::Ok)     -> scripted answers; any other box is a failure (onFailure)
// A modal window runs a nested loop on the same clock until it closes; boxes, beeps and pointer changes
// are recorded with their virtual times.
class HeadlessUi final : public Ui, private TimerEngine {
 public:
  using Clock = std::chrono::microseconds;

  HeadlessUi();
  ~HeadlessUi() override;

  TimerEngine& timers() override { return *this; }

  // --- the virtual clock
  std::int64_t nowUs() const { return now_; }
  std::int64_t nowMs() const { return now_ / 1000; }
  // Let `d` of virtual time pass, running everything that falls due.
  void advance(std::chrono::milliseconds d);
  // Run events until `done()` holds or `limit` of virtual time has passed; returns done().
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Run `fn` at an absolute virtual time (microseconds); ties run in the order scheduled.
  void scheduleAt(std::int64_t atUs, std::function<void()> fn);
  std::uint64_t scheduleAt(std::int64_t atUs, std::uint64_t seq, std::function<void()> fn);

  // --- scripted user actions
  // Run `action` at virtual time `when` (from the start of the clock).
  void at(std::chrono::milliseconds when, std::function<void()> action);
  // Run `action` `after` the next time the form of that name is shown (each call applies to one showing).
  void whenShown(std::string formName, std::function<void(Form&)> action,
                 std::chrono::milliseconds after = std::chrono::milliseconds(0));
  // The next message box must carry this title; it is answered after `after` of virtual time,
  // during which the nested loop keeps delivering timers and serial events.
  void expectBox(std::string title, MsgResult answer,
                 std::chrono::milliseconds after = std::chrono::milliseconds(0));
  // The next "save as" question must carry this title; it is answered with `file`, or cancelled (none).
  void expectSaveFile(std::string title, std::optional<std::string> file);
  // The next file chooser must be an "open" question with this title. Save and open questions share one
  // queue: a test scripts them in the order the program asks.
  void expectOpenFile(std::string title, std::optional<std::string> file);
  // Every box with this title is answered so (when no expected box is queued for it).
  void answerAlways(std::string title, MsgResult answer);
  // Answers every box nothing else is scripted for: the button, and how long the box stays open first.
  struct Answering {
    MsgResult answer;
    std::chrono::milliseconds after;
  };
  std::function<Answering(const MessageBox&)> answerer;
  // Answers every file chooser nothing else is scripted for (open: an "open" question).
  std::function<std::optional<std::string>(bool open, const std::string& title)> fileAnswerer;
  // Called after every event the clock runs (a timer, a delivery, a script), nested loops included.
  std::function<void()> afterEvent;
  // Reports an unexpected box or a modal window left open; the default collects into failures().
  std::function<void(const std::string&)> onFailure;
  const std::vector<std::string>& failures() const { return failures_; }
  // How long past the current advance a modal window may stay open before it is reported and closed.
  void setModalLimit(std::chrono::milliseconds limit) { modalLimitUs_ = limit.count() * 1000; }

  // A form by its id (Form::lifecycle().id) while it exists, else null.
  const Form* formById(unsigned long id) const { return findForm(id); }

  // --- what happened
  struct BoxRecord {
    std::int64_t atMs;
    MessageBox box;
    MsgResult answer;
  };
  struct PointerRecord {
    std::int64_t atMs;
    Pointer pointer;
  };
  const std::vector<BoxRecord>& boxes() const { return boxes_; }
  const std::vector<SaveFileQuestion>& saveQuestions() const { return saveQuestions_; }
  const std::vector<OpenFileQuestion>& openQuestions() const { return openQuestions_; }
  const std::vector<std::int64_t>& beeps() const { return beeps_; }
  const std::vector<PointerRecord>& pointerHistory() const { return pointers_; }
  std::vector<std::string> boxTitles() const;

  // --- services
  MsgResult messageBox(const MessageBox& box) override;
  void beep() override;
  void setPointer(Pointer p) override;
  Pointer pointer() const override { return pointer_; }
  Size screenSize() const override { return screen_; }
  void setScreenSize(Size s) { screen_ = s; }
  Date today() const override { return today_; }
  void setToday(Date d) { today_ = d; }
  // The wall clock: noon UTC of the virtual start day, plus the virtual time.
  std::chrono::system_clock::time_point now() const override;
  std::optional<std::string> chooseSaveFile(const SaveFileQuestion& question) override;
  std::optional<std::string> chooseOpenFile(const OpenFileQuestion& question) override;
  void endProgram() override { ended_ = true; }
  bool ended() const override { return ended_; }

 protected:
  void createView(Form&) override {}
  void showView(Form&) override {}
  void hideView(Form&) override {}
  void destroyView(Form&) override {}
  void runModalLoop(Form& form, const std::function<bool()>& done) override;
  void post(std::function<void()> fn) override { scheduleAt(now_, std::move(fn)); }
  void formShown(Form& form) override;

 private:
  void arm(Timer& timer, std::chrono::milliseconds interval) override;
  void disarm(Timer& timer) override;

  // Run the next event due at or before `horizonUs`; false when there is none.
  bool step(std::int64_t horizonUs);
  void fail(const std::string& what);
  // The scripted answer to a file chooser of this kind and title, or a failure.
  std::optional<std::string> answerFileChooser(bool open, const std::string& title);

  struct Event {
    std::int64_t at;
    std::uint64_t seq;
    std::function<void()> fn;
  };
  struct Later {
    bool operator()(const Event& a, const Event& b) const {
      return a.at != b.at ? a.at > b.at : a.seq > b.seq;
    }
  };
  struct ExpectedBox {
    std::string title;
    MsgResult answer;
    std::int64_t afterUs;
  };
  struct ShownScript {
    std::string formName;
    std::function<void(Form&)> action;
    std::int64_t afterUs;
  };

  std::priority_queue<Event, std::vector<Event>, Later> queue_;
  std::uint64_t seq_ = 0;
  std::int64_t now_ = 0;
  std::int64_t target_ = 0;
  std::int64_t modalLimitUs_ = 600'000'000;  // ten minutes
  // A countdown keeps one queued event: re-arming to a later deadline moves it lazily when it comes up.
  struct Countdown {
    std::int64_t deadline;
    std::uint64_t seq;      // order among events due at the same moment: that of the latest arming
    std::int64_t queuedAt;  // when its queued event is due
  };
  void timerEventDue(Timer* timer, std::int64_t queuedAt);
  std::map<Timer*, Countdown> armed_;

  std::deque<ExpectedBox> expected_;
  struct ExpectedFile {
    bool open;  // an "open" question, else "save as"
    std::string title;
    std::optional<std::string> file;
  };
  std::deque<ExpectedFile> expectedFiles_;
  std::vector<SaveFileQuestion> saveQuestions_;
  std::vector<OpenFileQuestion> openQuestions_;
  std::map<std::string, MsgResult> always_;
  std::vector<ShownScript> shownScripts_;
  std::vector<std::string> failures_;

  std::vector<BoxRecord> boxes_;
  std::vector<std::int64_t> beeps_;
  std::vector<PointerRecord> pointers_;
  Pointer pointer_ = Pointer::Normal;
  Size screen_{19200, 14400};  // 1280 x 960 at 96 dpi
  Date today_{2026, 12, 7};
  bool ended_ = false;
};

}  // namespace orvik::platform::headless
