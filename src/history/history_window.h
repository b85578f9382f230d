#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "service_record/service_row.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace orvik::history {

inline constexpr const char* kHistoryTitle = "Service History";

// The service record's rows, newest first: those of `tag` when given, else every unit's. `problem` is set
// when the record cannot be read.
using RowSource = std::function<std::vector<service_record::ServiceRow>(const std::optional<std::string>& tag,
                                                                        std::string* problem)>;

// The service record as a table: the connected unit's changes by default, every unit's one check box away,
// and the entries shown saved as CSV. It reads the record when shown and on Refresh (F5).
class HistoryWindow : public QMainWindow {
 public:
  // `unitTag` is the connected unit's tag; none (or empty) while it is not known.
  HistoryWindow(RowSource rows, std::optional<std::string> unitTag);

  // Asks where to save; an empty answer cancels. Qt's file dialog unless replaced (tests).
  std::function<QString(const QString& title, const QString& suggestedName, const QString& filter)>
      chooseFile;
  // "Restore the value before this trim" names the selected trim's row; the caller checks, asks and writes.
  std::function<void(std::int64_t rowId)> onUndo;

  // The connected unit changed (or its tag became known): the filter follows it, and the rows are read again.
  void setUnitTag(std::optional<std::string> unitTag);
  bool onlyThisUnit() const;
  void setOnlyThisUnit(bool only);

  void refresh();
  void exportCsv();

  const std::vector<service_record::ServiceRow>& shownRows() const { return shown_; }
  QTableWidget& table() { return *table_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void showUnitTag();
  void fillTable();
  // The selected row when it is the only one selected and a trim whose value before is known, else null.
  const service_record::ServiceRow* selectedTrim() const;
  void showUndoState();

  RowSource rows_;
  std::optional<std::string> unitTag_;
  std::vector<service_record::ServiceRow> shown_;
  QTableWidget* table_ = nullptr;
  QCheckBox* onlyThisUnit_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QLabel* problemLabel_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* undoButton_ = nullptr;
};

// Opens the history window, one at a time, and closes it with the program. Opened again, it brings the
// window forward with the rows read again for the unit connected then.
class HistoryWindowOpener {
 public:
  HistoryWindowOpener(RowSource rows, std::function<std::optional<std::string>()> unitTag)
      : rows_(std::move(rows)), unitTag_(std::move(unitTag)) {}
  ~HistoryWindowOpener();
  HistoryWindowOpener(const HistoryWindowOpener&) = delete;
  HistoryWindowOpener& operator=(const HistoryWindowOpener&) = delete;

  void open();
  HistoryWindow* window() const { return window_.data(); }
  // Handed to every window it opens (HistoryWindow::onUndo).
  std::function<void(std::int64_t rowId)> onUndo;

 private:
  RowSource rows_;
  std::function<std::optional<std::string>()> unitTag_;
  QPointer<HistoryWindow> window_;
};

}  // namespace orvik::history
