#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "backup/constants_transfer.h"
#include "link/controller_link.h"
#include "link/session.h"
#include "platform/message_box.h"
#include "platform/ui.h"
#include "service_record/service_journal.h"
#include "service_record/service_row.h"

namespace orvik::backup {

inline constexpr const char* kBackUpTitle = "Back Up Constants";
inline constexpr const char* kRestoreTitle = "Restore Constants";
inline constexpr const char* kOtherUnitTitle = "Another Unit's Constants";
inline constexpr const char* kUndoTitle = "Undo Trim";

// The monitor's backup, restore and undo of a trim. Each reads the unit through the exchange while
// polling is stopped, asks the technician in message boxes, and writes only once they agree. The caller
// checks the link and the revision first.
class BackupCommands {
 public:
  BackupCommands(platform::Ui& ui, link::ControllerLink& link, std::string program);
  ~BackupCommands();
  BackupCommands(const BackupCommands&) = delete;
  BackupCommands& operator=(const BackupCommands&) = delete;

  // The service record, for the rows of a unit renamed since a trim; none: no record.
  service_record::ServiceJournal* record = nullptr;
  // Polling stops while a command talks to the controller, and starts again when it is done.
  std::function<void(bool polling)> setPolling;

  void backUp();
  void restore();
  // Takes back the trim of `row`, a row of the service record.
  void undo(const service_record::ServiceRow& row);

  bool running() const { return running_; }
  // The program ends in the middle of a command: a restore or undo that was writing says how far it came
  // (written and read back, in flight, not written).
  void interrupt();
  // Lets go of the last command's reads once it is over; they may still be on the stack when it ends.
  void tidy();

 private:
  void begin();
  void end();
  void say(const platform::MessageBox& box);
  void noAnswer();
  // Continues in a handler of its own, outside the link's handling of the answer that brought it.
  void then(std::function<void()> step);
  void restoreRead(const UnitConstants& unit, const UnitConstants& fromFile, const std::string& path);
  void undoRead(const service_record::ServiceRow& row, const std::vector<link::Answer>& answers);
  void write(std::vector<RestoreLine> lines, link::ChangeKind kind, std::string source, const char* title);

  platform::Ui& ui_;
  link::ControllerLink& link_;
  std::string program_;
  bool running_ = false;
  std::unique_ptr<link::Session> session_;
  std::unique_ptr<ConstantsWriter> writer_;
  const char* writeTitle_ = kRestoreTitle;  // of the write running
};

}  // namespace orvik::backup
