#include "service_record/service_journal.h"

#include <utility>

namespace orvik::service_record {

namespace {

// Everything the journal says to a person.
std::string WriteFailureNotice(const std::string& path, const std::string& reason) {
  return "The service record " + path + " cannot be written: " + reason +
         ". The change is kept and will be written when it can be.";
}

// For a file that will never take the change: not promised to be written later.
std::string UnusableNotice(const std::string& path, const std::string& reason) {
  return "The service record " + path + " cannot be used: " + reason + "; this change is not recorded there.";
}

std::string MovedAsideNotice(const std::string& path, const std::string& aside) {
  return "The service record " + path + " was not a database. It was moved to " + aside +
         " and a new one started.";
}

std::string LostHeading(std::size_t count, const std::string& path) {
  return std::to_string(count) + (count == 1 ? " service record entry" : " service record entries") +
         " could not be written to " + path + (count == 1 ? " and is lost:" : " and are lost:");
}

// "2026-12-08T09:15:02Z  CHG-07  Battery voltage gain  1.0000 -> 1.0125"
std::string LostLine(const ServiceRow& row) {
  std::string line = row.at + "  " + (row.tag.empty() ? "(tag not known)" : row.tag) + "  " + RowTitle(row);
  if (!row.before.empty() || !row.written.empty())
    line += "  " + (row.before.empty() ? "(not read)" : row.before) + " -> " + row.written;
  return line;
}

}  // namespace

ServiceJournal::ServiceJournal(std::string path, Clock now) : path_(std::move(path)), now_(std::move(now)) {}

std::string ServiceJournal::ensureOpen() {
  if (db_) return {};
  ServiceDb::Opened opened = ServiceDb::open(path_, now_());
  if (!opened.movedAsideTo.empty()) notices_.push_back(MovedAsideNotice(path_, opened.movedAsideTo));
  db_ = std::move(opened.db);
  lasting_ = opened.lasting;
  return opened.problem;
}

void ServiceJournal::record(ServiceRow row) {
  unwritten_.push_back(std::move(row));
  writeUnwritten();
}

void ServiceJournal::retry() {
  writeUnwritten();
}

void ServiceJournal::writeUnwritten() {
  if (unwritten_.empty()) return;
  std::string problem = ensureOpen();
  if (problem.empty()) {
    lasting_ = false;
    problem = db_->append(unwritten_);
  }
  if (problem.empty()) {
    unwritten_.clear();
    return;
  }
  // A handle that failed may hold a state that no longer fits the file (moved, replaced): open it anew.
  db_.reset();
  noteProblem(problem);
}

void ServiceJournal::noteProblem(const std::string& problem) {
  if (failureTold_) return;
  failureTold_ = true;
  notices_.push_back(lasting_ ? UnusableNotice(path_, problem) : WriteFailureNotice(path_, problem));
}

std::vector<ServiceRow> ServiceJournal::history(const std::optional<std::string>& tag, std::string* problem) {
  std::string reason = ensureOpen();
  std::vector<ServiceRow> rows;
  if (reason.empty()) rows = db_->rows(std::nullopt, &reason);
  if (tag) rows = UnitRows(rows, *tag);
  if (!reason.empty()) {
    db_.reset();
    if (problem != nullptr) *problem = reason;
  }
  return rows;
}

std::optional<ServiceRow> ServiceJournal::row(std::int64_t id, std::string* problem) {
  std::string reason = ensureOpen();
  std::optional<ServiceRow> found;
  if (reason.empty()) found = db_->row(id, &reason);
  if (!reason.empty()) {
    db_.reset();  // as after a failed write: open it anew next time
    if (problem != nullptr) *problem = reason;
  }
  return found;
}

std::optional<std::string> ServiceJournal::takeNotice() {
  if (notices_.empty()) return std::nullopt;
  std::string notice = std::move(notices_.front());
  notices_.erase(notices_.begin());
  return notice;
}

std::string UnwrittenAtExitText(const ServiceJournal& journal) {
  const std::vector<ServiceRow>& rows = journal.unwritten();
  if (rows.empty()) return {};
  std::string text = LostHeading(rows.size(), journal.path()) + "\n";
  for (const ServiceRow& row : rows)
    text += "  " + LostLine(row) + "\n";
  return text;
}

}  // namespace orvik::service_record
