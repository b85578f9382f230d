#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_file.h"
#include "backup/restore_plan.h"
#include "link/change_note.h"
#include "link/controller_link.h"
#include "link/session.h"

namespace orvik::backup {

// Reads what a backup keeps from the unit on the line, one request at a time through `session`: its tag,
// calibration date and four constants. The revisions are those of the link's latest status record.
void ReadUnitConstants(link::Session& session, const link::ControllerLink& link,
                       std::function<void(const UnitConstants&)> done,
                       std::function<void(const std::string& what)> failed);

// How a run of constant writes ended.
struct WriteOutcome {
  std::vector<std::uint8_t> written;      // acknowledged and read back as written
  std::optional<std::uint8_t> stoppedAt;  // the constant the run stopped on
  std::string why;                        // what happened to it
  bool mayBeStored = false;               // whether the controller may hold its new value all the same
  std::vector<std::uint8_t> notWritten;   // never sent
  bool complete() const { return !stoppedAt; }
};

// What a person is told of `outcome`, lines ending in a carriage return.
std::string WriteOutcomeText(const WriteOutcome& outcome);

// Writes constants one at a time, each acknowledged and read back before the next, and stops at the first
// that fails. Each write is noted for the service record as `kind`, from `source`.
// A write is recorded once its value is read back, as the value the controller holds.
class ConstantsWriter {
 public:
  ConstantsWriter(link::Session& session, link::Exchange& exchange)
      : session_(session), exchange_(exchange) {}
  ~ConstantsWriter();
  ConstantsWriter(const ConstantsWriter&) = delete;
  ConstantsWriter& operator=(const ConstantsWriter&) = delete;

  void start(std::vector<RestoreLine> lines, link::ChangeKind kind, std::string source,
             std::function<void(const WriteOutcome&)> done);
  // Stops where it is, without calling `done`: how far it came (complete when nothing was left).
  WriteOutcome interrupt();
  // After each constant written and read back.
  std::function<void(std::uint8_t parameter)> onWritten;

 private:
  void next();
  void stop(std::string why, bool mayBeStored);
  // Stops at the constant in hand and says so, without calling `done`.
  void stopHere(std::string why, bool mayBeStored);
  link::Request currentWrite() const;
  link::ChangeNote changeOf(const RestoreLine& line, const link::FloatBytesArray& written) const;

  link::Session& session_;
  link::Exchange& exchange_;
  std::vector<RestoreLine> lines_;
  std::size_t at_ = 0;
  link::ChangeKind kind_ = link::ChangeKind::Restore;
  std::string source_;
  WriteOutcome outcome_;
  std::function<void(const WriteOutcome&)> done_;
};

}  // namespace orvik::backup
