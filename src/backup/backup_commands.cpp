#include "backup/backup_commands.h"

#include <filesystem>
#include <utility>
#include <variant>

#include "backup/backup_file.h"
#include "backup/restore_plan.h"
#include "link/status_csv.h"
#include "link/tag_text.h"
#include "platform/file_writing.h"

namespace orvik::backup {

namespace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

constexpr const char* kBackupFilter = "Backup files (*.json);;All files (*)";

std::string differing(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " constant that differs" : " constants that differ");
}

}  // namespace

BackupCommands::BackupCommands(platform::Ui& ui, link::ControllerLink& link, std::string program)
    : ui_(ui), link_(link), program_(std::move(program)) {}

BackupCommands::~BackupCommands() = default;

void BackupCommands::tidy() {
  if (running_) return;
  writer_.reset();
  session_.reset();
}

void BackupCommands::begin() {
  running_ = true;
  if (setPolling) setPolling(false);
  ui_.setPointer(platform::Pointer::Busy);
  writer_.reset();
  // Asks through the exchange without taking the link's news, which the main window goes on showing.
  session_ = std::make_unique<link::Session>(link_, ui_.timers(), false);
}

void BackupCommands::end() {
  ui_.setPointer(platform::Pointer::Normal);
  running_ = false;
  if (setPolling) setPolling(true);
}

void BackupCommands::then(std::function<void()> step) {
  session_->defer(std::move(step));
}

void BackupCommands::say(const platform::MessageBox& box) {
  ui_.setPointer(platform::Pointer::Normal);
  ui_.messageBox(box);
}

void BackupCommands::noAnswer() {
  then([this] {
    end();
    ui_.beep();
    say({"Unable to communicate with the Orvik.  Check cable connections.", "Communications Timeout",
         MsgIcon::Information, MsgButtons::Ok});
  });
}

void BackupCommands::backUp() {
  const auto path = ui_.chooseSaveFile({kBackUpTitle, kBackupFilter, "constants-backup.json"});
  if (!path) return;
  begin();
  ReadUnitConstants(
      *session_, link_,
      [this, path = *path](const UnitConstants& unit) {
        then([this, path, unit] {
          end();
          const BackupFile file{kBackupSchemaVersion, program_, link::IsoUtcTime(ui_.now()), unit};
          if (const std::string problem = platform::WriteFileWhole(path, BackupJson(file));
              !problem.empty()) {
            return say({"The constants cannot be saved to " + path + ":\r" + problem + ".", kBackUpTitle,
                        MsgIcon::Exclamation, MsgButtons::Ok});
          }
          say({"The constants of \"" + link::TrimmedTag(unit.tag) + "\" are backed up to " + path + ".",
               kBackUpTitle, MsgIcon::Information, MsgButtons::Ok});
        });
      },
      [this](const std::string&) { noAnswer(); });
}

void BackupCommands::restore() {
  const auto path = ui_.chooseOpenFile({kRestoreTitle, kBackupFilter});
  if (!path) return;
  std::string problem;
  const auto text = ReadWholeFile(*path, problem);
  auto parsed = text ? ParseBackup(*text) : std::variant<BackupFile, std::string>(problem);
  if (const auto* why = std::get_if<std::string>(&parsed)) {
    return say({*path + " cannot be restored: " + *why + ".\r\rNothing was written.", kRestoreTitle,
                MsgIcon::Exclamation, MsgButtons::Ok});
  }
  begin();
  ReadUnitConstants(
      *session_, link_,
      [this, fromFile = std::get<BackupFile>(parsed).unit, path = *path](const UnitConstants& unit) {
        then([this, unit, fromFile, path] { restoreRead(unit, fromFile, path); });
      },
      [this](const std::string&) { noAnswer(); });
}

void BackupCommands::restoreRead(const UnitConstants& unit, const UnitConstants& fromFile,
                                 const std::string& path) {
  if (const std::string refusal = RestoreRefusal(unit, fromFile); !refusal.empty()) {
    end();
    return say({refusal, kRestoreTitle, MsgIcon::Exclamation, MsgButtons::Ok});
  }
  const auto all = RestoreLines(unit, fromFile);
  auto changing = ChangingLines(all);
  if (changing.empty()) {
    end();
    return say({"The controller already holds every constant of " + path + ". Nothing was written.",
                kRestoreTitle, MsgIcon::Information, MsgButtons::Ok});
  }
  const std::string question = "Restore the constants of " + path + " to \"" + link::TrimmedTag(unit.tag) +
                               "\"?\r\r" + RestoreTableText(all, "in the file") + "\rOnly the " +
                               differing(changing.size()) + " will be written.";
  ui_.setPointer(platform::Pointer::Normal);
  bool agreed =
      ui_.messageBox({question, kRestoreTitle, MsgIcon::Question, MsgButtons::YesNo}) == MsgResult::Yes;
  // Calibration belongs to one unit: another unit's file needs its own answer, naming both.
  if (agreed && FromOtherUnit(unit, fromFile)) {
    agreed = ui_.messageBox({OtherUnitQuestion(unit, fromFile), kOtherUnitTitle, MsgIcon::Exclamation,
                             MsgButtons::YesNo}) == MsgResult::Yes;
  }
  if (!agreed) return end();
  std::error_code ec;
  const auto source = std::filesystem::absolute(path, ec);
  write(std::move(changing), link::ChangeKind::Restore, ec ? path : source.string(), kRestoreTitle);
}

void BackupCommands::undo(const service_record::ServiceRow& row) {
  if (!service_record::Undoable(row)) {
    return say(
        {std::get<std::string>(PlanUndo(row, "", {}, {})), kUndoTitle, MsgIcon::Exclamation, MsgButtons::Ok});
  }
  begin();
  session_->askEach(
      {link::Request::readTag(), link::Request::readParameter(static_cast<std::uint8_t>(*row.parameter))},
      [this, row](const std::vector<link::Answer>& answers) {
        then([this, row, answers] { undoRead(row, answers); });
      },
      [this](const link::Request&) { noAnswer(); });
}

void BackupCommands::undoRead(const service_record::ServiceRow& row,
                              const std::vector<link::Answer>& answers) {
  const std::string tag = answers[0].tag();
  const auto planned =
      PlanUndo(row, tag, link_.unit().hardwareRevision, answers[1].value(),
               record != nullptr ? record->history(tag) : std::vector<service_record::ServiceRow>{});
  if (const auto* why = std::get_if<std::string>(&planned)) {
    end();
    return say({*why, kUndoTitle, MsgIcon::Exclamation, MsgButtons::Ok});
  }
  const UndoPlan& plan = std::get<UndoPlan>(planned);
  const std::string table = RestoreTableText({plan.line}, "before the trim");
  if (!plan.line.differs()) {
    end();
    return say({table + "\rThe controller already holds the value from before the trim. Nothing was written.",
                kUndoTitle, MsgIcon::Information, MsgButtons::Ok});
  }
  ui_.setPointer(platform::Pointer::Normal);
  const platform::MessageBox question =
      plan.changedSince.empty()
          ? platform::MessageBox{"Take back the trim of row " + std::to_string(row.id) + "?\r\r" + table,
                                 kUndoTitle, MsgIcon::Question, MsgButtons::YesNo}
          : platform::MessageBox{
                plan.changedSince + "\r\r" + table + "\rWrite the value from before the trim all the same?",
                kUndoTitle, MsgIcon::Exclamation, MsgButtons::YesNo};
  if (ui_.messageBox(question) != MsgResult::Yes) return end();
  write({plan.line}, link::ChangeKind::Undo, "row " + std::to_string(row.id), kUndoTitle);
}

void BackupCommands::interrupt() {
  if (!running_ || !writer_) return;
  const WriteOutcome outcome = writer_->interrupt();
  end();
  say({WriteOutcomeText(outcome), writeTitle_,
       outcome.complete() ? MsgIcon::Information : MsgIcon::Exclamation, MsgButtons::Ok});
}

void BackupCommands::write(std::vector<RestoreLine> lines, link::ChangeKind kind, std::string source,
                           const char* title) {
  ui_.setPointer(platform::Pointer::Busy);
  writeTitle_ = title;
  writer_ = std::make_unique<ConstantsWriter>(*session_, link_.exchange());
  writer_->start(std::move(lines), kind, std::move(source), [this, title](const WriteOutcome& outcome) {
    then([this, title, outcome] {
      end();
      say({WriteOutcomeText(outcome), title, outcome.complete() ? MsgIcon::Information : MsgIcon::Exclamation,
           MsgButtons::Ok});
    });
  });
}

}  // namespace orvik::backup
